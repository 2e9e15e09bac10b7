#include "viewer/prefix_help.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QStringList>
#include <new>

#include "dictionary/dic_lookup.h"
#include "dictionary/limits.h"
#include "forms/dic_headword_test.h"
#include "forms/word_finder.h"
#include "search/similar_headwords.h"
#include "viewer/background_job.h"
#include "viewer/window_style.h"

namespace kebu::viewer {

namespace {

QString FromUtf16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A link of the note: `kind` "search" or "literal", its text the word.
QString Link(const char* kind, const std::u16string& word) {
  const QString text = FromUtf16(word).toHtmlEscaped();
  return QStringLiteral("<a href=\"%1:%2\">%2</a>").arg(QLatin1String(kind), text);
}

}  // namespace

Result<FormsHelp::Found> FormsHelp::Find(const std::u16string& key,
                                         const std::vector<SearchSource>& sources,
                                         forms::LanguageTools& tools) {
  try {
    std::vector<std::shared_ptr<const DicSource>> shared;
    for (const SearchSource& s : sources) shared.push_back(s.source);
    forms::DicHeadwordTest headwords(shared);
    const Result<forms::WordMatch> match = forms::FindWord(key, headwords, tools);
    if (!match.IsOk()) return match.GetStatus();
    Found found;
    for (const forms::FoundForm& form : match->forms) found.forms.push_back(form.headword);
    RecordText texts;
    for (const SearchSource& s : sources) {
      DicLookup lookup(s.source);
      for (const std::u16string& form : found.forms) {
        const int room = kWindowHitLimit - static_cast<int>(found.rows.size());
        if (room <= 0) break;
        const LookupResult looked = lookup.Lookup(form, true, room);
        for (uint32_t i = 0; i < looked.count; ++i) {
          if (!lookup.GetHit(i, &texts)) texts.Clear();
          Hit& row = found.rows.emplace_back();
          row.dictionary = s.dictionary;
          row.position = lookup.HitPosition(i);
          row.headword = FromUtf16(DisplayHeadword(texts.headword, s.source->versionMajor));
          row.attribute = texts.attribute;
          row.reading = FromUtf16(texts.pronunciation);
        }
      }
    }
    if (found.rows.empty()) found.forms.clear();
    return found;
  } catch (const std::bad_alloc&) {
    return Status(StatusCode::kOutOfMemory, "out of memory");
  }
}

QString FormsHelp::Note(const std::u16string& key, const std::vector<std::u16string>& forms) {
  QStringList shown;
  for (const std::u16string& form : forms) shown << FromUtf16(form).toHtmlEscaped();
  return HelpedPrefixSearch::tr("No entry for %1; showing %2")
      .arg(Link("literal", key), shown.join(QStringLiteral(", ")));
}

Result<std::vector<std::u16string>> SuggestionsHelp::Find(const std::u16string& key,
                                                          const std::vector<SearchSource>& sources,
                                                          const std::atomic<bool>* cancel) {
  std::vector<std::shared_ptr<const DicSource>> shared;
  for (const SearchSource& s : sources) shared.push_back(s.source);
  SimilarOptions options;
  options.limit = kLimit;
  options.threads = 0;
  options.cancel = cancel;
  Result<std::vector<SimilarHeadword>> similar = FindSimilarHeadwords(shared, key, options);
  if (!similar.IsOk()) return similar.GetStatus();
  std::vector<std::u16string> words;
  for (const SimilarHeadword& s : *similar) words.push_back(s.headword);
  return words;
}

QString SuggestionsHelp::Note(const std::vector<std::u16string>& words) {
  QStringList links;
  for (const std::u16string& word : words) links << Link("search", word);
  return HelpedPrefixSearch::tr("Did you mean: %1").arg(links.join(QStringLiteral(", ")));
}

HelpedPrefixSearch::HelpedPrefixSearch(DictionaryList& list, QObject* parent)
    : PrefixSearch(list, parent),
      job_(new BackgroundJob(this)),
      delay_(new QTimer(this)),
      tools_(std::make_shared<forms::LanguageTools>()) {
  delay_->setSingleShot(true);
  delay_->setInterval(kHelpDelayMs);
  connect(delay_, &QTimer::timeout, this, &HelpedPrefixSearch::StartHelp);
}

void HelpedPrefixSearch::Forget() {
  delay_->stop();
  job_->Cancel();
  note_.clear();
  formRows_ = -1;
}

void HelpedPrefixSearch::Start(const std::u16string& key) {
  Forget();
  plain_ = false;
  PrefixSearch::Start(key);
}

void HelpedPrefixSearch::StartPlain(const std::u16string& key) {
  Forget();
  plain_ = true;
  PrefixSearch::Start(key);
}

void HelpedPrefixSearch::Reset() {
  Forget();
  PrefixSearch::Reset();
}

QString HelpedPrefixSearch::StatusText() const {
  return formRows_ >= 0 ? HitsText(formRows_) : PrefixSearch::StatusText();
}

void HelpedPrefixSearch::OnNoHits() {
  if (!plain_ && !Key().empty()) delay_->start();
}

void HelpedPrefixSearch::StartHelp() {
  const std::u16string key = Key();
  std::vector<SearchSource> sources = CheckedSources(list_);
  if (sources.empty()) return;
  job_->Start([this, key, sources = std::move(sources), tools = tools_,
               forms = forms_](JobLink& link) {
    // Help only fills in a line: it leaves the processor to the window's
    // thread while the user types on.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    if (forms) {
      Result<FormsHelp::Found> found = FormsHelp::Find(key, sources, *tools);
      if (link.IsCancelled()) return;
      if (found.IsOk() && !found->rows.empty()) {
        link.Post([this, key, found = std::move(*found)] {
          note_ = FormsHelp::Note(key, found.forms);
          formRows_ = static_cast<qint64>(found.rows.size());
          emit RowsReady(found.rows, true);
          emit StatusChanged();
        });
        return;
      }
    }
    Result<std::vector<std::u16string>> words = SuggestionsHelp::Find(key, sources, link.CancelFlag());
    if (!words.IsOk() || words->empty()) return;
    link.Post([this, words = std::move(*words)] {
      note_ = SuggestionsHelp::Note(words);
      emit StatusChanged();
    });
  });
}

}  // namespace kebu::viewer

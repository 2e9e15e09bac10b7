#include "viewer/popup_lookup.h"

#include <algorithm>
#include <new>

#include "dictionary/dic_lookup.h"
#include "dictionary/dic_text.h"
#include "forms/dic_headword_test.h"
#include "forms/word_finder.h"

namespace kebu::viewer {

namespace {

QString FromUtf16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// The worker's lookups over the dictionaries of the last request, made anew
// only when they change.
struct PopupLookup::Finder {
  std::vector<const DicSource*> prepared;
  std::unique_ptr<forms::DicHeadwordTest> headwords;
  std::vector<std::unique_ptr<DicLookup>> entries;

  void Prepare(const std::vector<PopupSource>& sources) {
    std::vector<const DicSource*> wanted;
    std::vector<std::shared_ptr<const DicSource>> shared;
    for (const PopupSource& s : sources) {
      wanted.push_back(s.source.get());
      shared.push_back(s.source);
    }
    if (headwords != nullptr && wanted == prepared) return;
    headwords.reset();
    entries.clear();
    for (const PopupSource& s : sources) entries.push_back(std::make_unique<DicLookup>(s.source));
    headwords = std::make_unique<forms::DicHeadwordTest>(shared);
    prepared = std::move(wanted);
  }

  // Appends the whole-word hits of `headword` in dictionary d; false when
  // memory ran out.
  bool AddEntries(const std::u16string& headword, size_t d, const PopupSource& source,
                  PopupBlock* block) {
    DicLookup& lookup = *entries[d];
    const LookupResult looked =
        lookup.Lookup(headword, true, static_cast<int>(kPopupEntriesPerDictionary));
    if (looked.status.Code() == StatusCode::kOutOfMemory) return false;
    const uint32_t found = looked.count;
    RecordText text;
    for (uint32_t i = 0; i < found && block->entries.size() < kPopupEntriesPerDictionary; ++i) {
      if (!lookup.GetHit(i, &text)) continue;
      PopupEntry entry{FromUtf16(DisplayHeadword(text.headword, source.source->versionMajor)),
                       FromUtf16(text.pronunciation), FromUtf16(text.translation),
                       FromUtf16(text.example)};
      // Two forms may find one record (Run and run in a folding dictionary).
      if (std::find(block->entries.begin(), block->entries.end(), entry) == block->entries.end()) {
        block->entries.push_back(std::move(entry));
      }
    }
    return true;
  }

  // The lookup of `job`; nothing when a newer request superseded it.
  std::optional<PopupResult> Find(const Job& job, forms::LanguageTools& tools,
                                  const std::atomic<quint64>& latest) {
    PopupResult result;
    result.id = job.id;
    result.selection = job.text.trimmed();
    result.word = result.selection;
    result.searched = job.sources.size();
    try {
      Prepare(job.sources);
      const Result<forms::WordMatch> match =
          forms::FindWord(job.text.toStdU16String(), *headwords, tools, {.forms = job.forms});
      if (!match.IsOk()) throw std::bad_alloc();
      result.selection = FromUtf16(match->selection);
      result.description = FromUtf16(match->Description());
      result.missing = match->missing;
      result.word = match->Found() ? FromUtf16(match->forms.front().headword) : result.selection;
      for (size_t d = 0; d < job.sources.size() && match->Found(); ++d) {
        if (latest.load() != job.id) return std::nullopt;
        PopupBlock block{job.sources[d].name, {}};
        for (const forms::FoundForm& form : match->forms) {
          if (!AddEntries(form.headword, d, job.sources[d], &block)) throw std::bad_alloc();
        }
        if (!block.entries.empty()) result.blocks.push_back(std::move(block));
      }
    } catch (const std::bad_alloc&) {
      result.blocks.clear();
      result.outOfMemory = true;
    }
    return result;
  }
};

PopupLookup::PopupLookup(forms::LanguageToolPaths paths, QObject* parent)
    : QObject(parent), tools_(std::move(paths)), finder_(std::make_unique<Finder>()) {}

PopupLookup::~PopupLookup() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    latest_ = 0;  // the word being looked up is abandoned at its next dictionary
  }
  wake_.notify_one();
  if (worker_.joinable()) worker_.join();
}

quint64 PopupLookup::Request(const QString& text, std::vector<PopupSource> sources, bool forms) {
  const quint64 id = latest_.load() + 1;
  {
    std::lock_guard lock(mutex_);
    latest_ = id;
    pending_ = Job{id, text, std::move(sources), forms};
    if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
  }
  wake_.notify_one();
  return id;
}

void PopupLookup::Work() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
      if (stop_) return;
      job = std::move(*pending_);
      pending_.reset();
    }
    std::optional<PopupResult> result = finder_->Find(job, tools_, latest_);
    if (!result) continue;
    QMetaObject::invokeMethod(
        this,
        [this, result = std::move(*result)] {
          if (result.id == latest_.load()) emit Done(result);
        },
        Qt::QueuedConnection);
  }
}

}  // namespace kebu::viewer

#include "viewer/text_search.h"

#include <QRunnable>
#include <QStringView>
#include <chrono>
#include <iterator>
#include <mutex>

#include "search/hit_texts.h"

namespace kebu::viewer {

namespace {

using Clock = std::chrono::steady_clock;

QString FromUtf16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// What the worker has gathered and the window has not taken yet.
struct TextSearch::Outbox {
  std::mutex mutex;
  std::vector<Hit> rows;
  int64_t hits = 0;
  int percent = 0;
  bool finished = false;
  TextScanResult result = TextScanResult::kDone;
  bool queued = false;  // a Deliver call is on its way
};

TextSearch::TextSearch(QObject* parent) : QObject(parent) {
  // One scan at a time: a cancelled one ends within a record area, the next
  // then starts.
  pool_.setMaxThreadCount(1);
}

TextSearch::~TextSearch() {
  Cancel();
  pool_.waitForDone();
}

void TextSearch::Start(const DictionaryList& list, std::u16string query, bool exact, int limit) {
  Cancel();
  TextSearchRequest request;
  for (int d = 0; d < list.Size(); ++d) {
    const Dictionary& dictionary = list.At(d);
    if (dictionary.searched && dictionary.IsOpen()) {
      request.sources.push_back({d, dictionary.reader->Source()});
    }
  }
  request.query = std::move(query);
  request.exact = exact;
  request.take = limit;
  found_ = listed_ = 0;
  showingMore_ = false;
  request_ = request;
  Run(std::move(request));
}

void TextSearch::More(int limit) {
  if (!HasMore()) return;
  TextSearchRequest request = request_;
  request.skip = listed_;
  request.take = limit;
  // The total is known: the scan stops with the page.
  request.countAll = false;
  showingMore_ = true;
  Run(std::move(request));
}

void TextSearch::Cancel() {
  if (cancel_ != nullptr) cancel_->store(true);
  cancel_.reset();
  outbox_.reset();
  if (phase_ == Phase::kRunning) phase_ = Phase::kCancelled;
}

void TextSearch::Reset() {
  Cancel();
  phase_ = Phase::kIdle;
}

void TextSearch::Run(TextSearchRequest request) {
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  outbox_ = std::make_shared<Outbox>();
  phase_ = Phase::kRunning;
  percent_ = 0;
  auto work = [this, request = std::move(request), cancel = cancel_, outbox = outbox_] {
    int64_t entries = 0;
    for (const auto& s : request.sources) entries += s.source->index.EntryLimit();
    std::vector<Hit> rows;
    int64_t hits = 0;
    int64_t taken = 0;
    int64_t before = 0;  // entries of the dictionaries scanned already
    int32_t done = 0;    // and of the one being scanned
    TextScanResult result = TextScanResult::kDone;
    Clock::time_point handed{};  // the first hit goes out at once
    const auto hand = [&](bool finished) {
      const Clock::time_point now = Clock::now();
      if (!finished && now - handed < std::chrono::milliseconds(kBatchMs)) return;
      handed = now;
      std::lock_guard<std::mutex> lock(outbox->mutex);
      outbox->rows.insert(outbox->rows.end(), std::make_move_iterator(rows.begin()),
                          std::make_move_iterator(rows.end()));
      rows.clear();
      outbox->hits = hits;
      outbox->percent = entries > 0 ? static_cast<int>((before + done) * 100 / entries) : 100;
      outbox->finished = finished;
      outbox->result = result;
      if (outbox->queued) return;
      outbox->queued = true;
      QMetaObject::invokeMethod(this, [this, outbox] { Deliver(outbox); }, Qt::QueuedConnection);
    };
    for (const auto& [dictionary, source] : request.sources) {
      HitTextReader texts(source);
      RecordText record;
      TextScanOptions options;
      options.exact = request.exact;
      options.threads = 0;
      options.cancel = cancel.get();
      done = 0;
      options.progress = [&](int32_t scanned, int32_t) {
        done = scanned;
        hand(false);
      };
      result = ScanText(source, request.query, options, [&](const TextHit& hit) {
        if (++hits > request.skip && taken < request.take) {
          if (!texts.Read(hit.position, &record)) record.Clear();
          rows.push_back({.dictionary = dictionary,
                          .headword = FromUtf16(DisplayHeadword(record.headword, source->versionMajor)),
                          .attribute = record.attribute,
                          .position = hit.position,
                          .fields = hit.fields});
          ++taken;
        }
        hand(false);
        return request.countAll || taken < request.take;
      });
      before += source->index.EntryLimit();
      done = 0;
      if (result != TextScanResult::kDone) break;
    }
    if (result == TextScanResult::kStopped) result = TextScanResult::kDone;
    hand(true);
  };
  pool_.start(QRunnable::create(std::move(work)));
}

void TextSearch::Deliver(const std::shared_ptr<Outbox>& outbox) {
  if (outbox != outbox_) return;  // a cancelled scan's
  std::vector<Hit> rows;
  bool finished = false;
  TextScanResult result = TextScanResult::kDone;
  {
    std::lock_guard<std::mutex> lock(outbox->mutex);
    rows.swap(outbox->rows);
    if (!showingMore_) found_ = outbox->hits;
    percent_ = outbox->percent;
    finished = outbox->finished;
    result = outbox->result;
    outbox->queued = false;
  }
  listed_ += static_cast<int64_t>(rows.size());
  if (finished) {
    phase_ = result == TextScanResult::kDone          ? Phase::kDone
             : result == TextScanResult::kOutOfMemory ? Phase::kOutOfMemory
                                                      : Phase::kCancelled;
    showingMore_ = false;
    outbox_.reset();
    cancel_.reset();
  }
  emit Arrived(rows);
}

std::vector<TextRange> PaneMatches(const QString& shown, bool named, std::u16string_view query,
                                   bool exact) {
  const qsizetype from = named ? shown.indexOf(QLatin1Char('\n')) + 1 : 0;
  const QStringView fields = QStringView(shown).mid(from);
  std::vector<TextRange> ranges = FindQueryRanges(
      std::u16string_view(fields.utf16(), static_cast<size_t>(fields.size())), query, exact);
  for (TextRange& range : ranges) {
    range.begin += static_cast<size_t>(from);
    range.end += static_cast<size_t>(from);
  }
  return ranges;
}

}  // namespace kebu::viewer

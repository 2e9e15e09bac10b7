#include "viewer/text_search.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QStringView>
#include <QTimer>
#include <atomic>
#include <iterator>
#include <mutex>
#include <system_error>

#include "dictionary/dic_lookup.h"

namespace kebu::viewer {

namespace {

QString FromUtf16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// What one scan shares with the window's thread: its cancel flag, and what it
// has found and the window has not taken yet.
struct TextSearch::Outbox {
  std::atomic<bool> cancel{false};
  std::atomic<bool> ended{false};  // the thread is about to return
  std::mutex mutex;
  std::vector<Hit> rows;
  int64_t hits = 0;
  int percent = 0;
  bool finished = false;
  StatusCode result = StatusCode::kOk;
  // Damaged record areas of each dictionary scanned to its end.
  std::vector<std::pair<int, int64_t>> damaged;
};

// Rows for the hits from skip to skip + take, every hit counted, everything
// put into `outbox` after each record area.
void TextSearch::Scan(const TextSearchRequest& request, Outbox& outbox) {
  int64_t entries = 0;
  for (const auto& s : request.sources) entries += s.source->index.EntryLimit();
  std::vector<Hit> rows;
  int64_t hits = 0;
  int64_t taken = 0;
  int64_t before = 0;  // entries of the dictionaries scanned already
  StatusCode result = StatusCode::kOk;
  const auto post = [&](int32_t done, bool finished) {
    std::lock_guard<std::mutex> lock(outbox.mutex);
    outbox.rows.insert(outbox.rows.end(), std::make_move_iterator(rows.begin()),
                       std::make_move_iterator(rows.end()));
    rows.clear();
    outbox.hits = hits;
    outbox.percent = entries > 0 ? static_cast<int>((before + done) * 100 / entries) : 100;
    outbox.finished = finished;
    outbox.result = result;
  };
  for (const auto& [dictionary, source] : request.sources) {
    DicLookup texts(source);
    RecordText record;
    TextScanOptions options;
    options.exact = request.exact;
    options.threads = 0;
    options.cancel = &outbox.cancel;
    options.progress = [&](int32_t done, int32_t) { post(done, false); };
    TextScanStats stats;
    result = ScanText(source, request.query, options, [&](const TextHit& hit) {
      if (++hits > request.skip && taken < request.take) {
        texts.GetHit(hit.position, &record);  // empty texts when it cannot be read
        Hit& row = rows.emplace_back();
        row.dictionary = dictionary;
        row.headword = FromUtf16(DisplayHeadword(record.headword, source->versionMajor));
        row.attribute = record.attribute;
        row.reading = FromUtf16(record.pronunciation);
        row.position = hit.position;
        row.fields = hit.fields;
        ++taken;
      }
      return request.countAll || taken < request.take;
    }, &stats).Code();
    before += source->index.EntryLimit();
    if (result != StatusCode::kOk || stats.stopped) break;
    std::lock_guard<std::mutex> lock(outbox.mutex);
    outbox.damaged.emplace_back(dictionary, stats.skippedAreas);
  }
  post(0, true);
}

TextSearch::TextSearch(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
  connect(timer_, &QTimer::timeout, this, &TextSearch::Collect);
}

TextSearch::~TextSearch() {
  Cancel();
  JoinEnded(true);
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
  if (outbox_ != nullptr) outbox_->cancel = true;
  outbox_.reset();
  timer_->stop();
  if (phase_ == Phase::kRunning) phase_ = Phase::kCancelled;
}

void TextSearch::Reset() {
  Cancel();
  phase_ = Phase::kIdle;
}

void TextSearch::Run(TextSearchRequest request) {
  JoinEnded(false);
  outbox_ = std::make_shared<Outbox>();
  damaged_.clear();
  phase_ = Phase::kRunning;
  percent_ = 0;
  try {
    std::thread thread([request = std::move(request), outbox = outbox_] {
      // At nice 10 (the scan's helper threads inherit it) the scan leaves the
      // processor to the window's thread on a busy machine, where it shortened
      // the longest waits of the window's events (docs/PERFORMANCE.md); on an
      // idle machine it runs at full speed.
      ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
      Scan(request, *outbox);
      outbox->ended = true;
    });
    // From here on the thread only ends: it is joined once it has.
    ending_.emplace_back(std::move(thread), outbox_);
  } catch (const std::system_error&) {
    // No thread to be had: the scan ends at once, as when memory runs out.
    std::lock_guard<std::mutex> lock(outbox_->mutex);
    damaged_.clear();
    outbox_->finished = true;
    outbox_->result = StatusCode::kOutOfMemory;
  }
  // The first rows are taken sooner, the rest every kBatchMs.
  timer_->start(kFirstBatchMs);
}

void TextSearch::Collect() {
  JoinEnded(false);
  if (outbox_ == nullptr) return;
  timer_->setInterval(kBatchMs);
  std::vector<Hit> rows;
  bool finished = false;
  StatusCode result = StatusCode::kOk;
  {
    std::lock_guard<std::mutex> lock(outbox_->mutex);
    rows.swap(outbox_->rows);
    if (!showingMore_) found_ = outbox_->hits;
    percent_ = outbox_->percent;
    finished = outbox_->finished;
    result = outbox_->result;
    if (finished) damaged_.swap(outbox_->damaged);
  }
  listed_ += static_cast<int64_t>(rows.size());
  if (finished) {
    // Memory is all that a scan's own callbacks can run out of.
    phase_ = result == StatusCode::kOk          ? Phase::kDone
             : result == StatusCode::kCancelled ? Phase::kCancelled
                                                : Phase::kOutOfMemory;
    showingMore_ = false;
    outbox_.reset();
    timer_->stop();
  }
  emit Arrived(rows);
}

void TextSearch::JoinEnded(bool wait) {
  for (auto it = ending_.begin(); it != ending_.end();) {
    if (wait || it->second->ended) {
      it->first.join();
      it = ending_.erase(it);
    } else {
      ++it;
    }
  }
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

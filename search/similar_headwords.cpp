#include "search/similar_headwords.h"

#include <algorithm>
#include <new>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "dictionary/dic_cursor.h"
#include "dictionary/dic_text.h"
#include "search/similar_distance.h"
#include "search/similar_runs.h"

namespace kebu {

namespace {

using similar_detail::HeadwordDistance;
using similar_detail::RunControl;
using similar_detail::RunRange;

auto RankOf(const SimilarHeadword& s) {
  return std::make_tuple(s.distance, !s.beginsLikeKey, s.dictionary, s.position.indexEntry,
                         s.position.recordOffset);
}

bool Better(const SimilarHeadword& a, const SimilarHeadword& b) { return RankOf(a) < RankOf(b); }

// The best `limit` headwords of one dictionary offered in file order (so
// the first offer of a form is its best), each form once.
class BestForms {
 public:
  explicit BestForms(size_t limit = 0) : limit_(limit) {}

  void Offer(SimilarHeadword&& s) {
    if (forms_.count(s.form) != 0) return;
    if (limit_ == 0 || heap_.size() < limit_) {
      forms_.insert(s.form);
      heap_.push_back(std::move(s));
      std::push_heap(heap_.begin(), heap_.end(), Better);
      return;
    }
    if (!Better(s, heap_.front())) return;
    // The worst goes; a later record of it would rank lower still.
    std::pop_heap(heap_.begin(), heap_.end(), Better);
    forms_.erase(heap_.back().form);
    forms_.insert(s.form);
    heap_.back() = std::move(s);
    std::push_heap(heap_.begin(), heap_.end(), Better);
  }
  std::vector<SimilarHeadword>& Held() { return heap_; }

 private:
  size_t limit_;  // 0: all
  std::vector<SimilarHeadword> heap_;  // the worst on top
  std::unordered_set<std::u16string> forms_;
};

struct Worker {
  DicCursor cursor;
  HeadwordDistance distance;
  std::u16string text;
};

// The best headwords of one dictionary.
Status ScanDictionary(const std::shared_ptr<const DicSource>& source, size_t dictionary,
                      std::u16string_view key, const SimilarOptions& options, int64_t doneBefore,
                      int64_t total, std::vector<SimilarHeadword>* out) {
  const std::u16string form = SimilarKeyForm(key, source->versionMajor);
  if (form.empty()) return Status::Ok();
  const int k = MaxSimilarDistance(form.size());
  const bool bocu = source->IsBocu1();
  const bool searchForm = source->versionMajor >= 6;
  const size_t limit = static_cast<size_t>(std::max(options.limit, 0));
  const DicIndex& index = source->index;
  const int32_t entries = index.EntryLimit();

  RunControl control(options.cancel, [&](int32_t done) {
    if (options.progress) options.progress(doneBefore + done, total);
  });
  const int threads = similar_detail::ThreadCount(options.threads);
  auto makeWorker = [&] { return Worker{DicCursor(source), HeadwordDistance(form, k, bocu, searchForm), {}}; };
  // Every headword of entry n's area lies between its key and the next.
  auto hopeless = [&](const HeadwordDistance& distance, int32_t n) {
    uint32_t block = 0, length = 0, nextLength = 0;
    const uint8_t *key = nullptr, *nextKey = nullptr;
    return n + 1 < entries && index.ReadEntry(static_cast<uint32_t>(n), &block, &key, &length) &&
           index.ReadEntry(static_cast<uint32_t>(n) + 1, &block, &nextKey, &nextLength) &&
           distance.Hopeless(key, length, nextKey, nextLength);
  };
  auto work = [&](Worker& w, const RunRange& range, BestForms& best, RunControl& run,
                  bool callingThread, bool) {
    best = BestForms(limit);
    int32_t passed = 0;  // entries done since the last look at the control
    for (int32_t n = range.first; n < range.stop;) {
      if (hopeless(w.distance, n)) {
        ++passed;
        ++n;
        continue;
      }
      int32_t stop = n + 1;
      while (stop < range.stop && !hopeless(w.distance, stop)) ++stop;
      w.cursor.SeekRun(n, stop, 0);
      RawRecord r;
      for (int32_t at = n;;) {
        const ReadStatus status = w.cursor.NextRecord(&r);
        const int32_t now = status == ReadStatus::kEnd ? stop : std::min(w.cursor.Entry(), stop);
        if (now != at) {
          if (!run.Go(passed + now - at, callingThread)) return;
          passed = 0;
          at = now;
        }
        if (status == ReadStatus::kEnd) break;
        if (status == ReadStatus::kSkippedArea) {
          run.SkippedArea();
          continue;
        }
        const int distance = w.distance.Distance(r.headword, r.fields.headwordLength);
        if (distance < 0) continue;
        SimilarHeadword s;
        s.form = w.distance.Form();
        s.distance = distance;
        s.beginsLikeKey = s.form[0] == form[0];
        s.dictionary = dictionary;
        s.position = r.position;
        DecodeText(bocu, r.headword, r.fields.headwordLength, kWholeTexts.headword, &w.text);
        s.headword = DisplayHeadword(w.text, source->versionMajor);
        best.Offer(std::move(s));
      }
      n = stop;
      if (n < range.stop) {  // hopeless, as the loop above found
        ++passed;
        ++n;
      }
    }
    run.Go(passed, callingThread);
  };
  BestForms best(limit);
  auto deliver = [&](BestForms& runBest) {
    for (SimilarHeadword& s : runBest.Held()) best.Offer(std::move(s));
    return true;
  };
  const Status status = similar_detail::RunInOrder<BestForms>(
      similar_detail::SplitRuns(0, entries, threads), threads, control, makeWorker, work, deliver);
  *out = std::move(best.Held());
  return status;
}

}  // namespace

Result<std::vector<SimilarHeadword>> FindSimilarHeadwords(
    const std::vector<std::shared_ptr<const DicSource>>& sources, std::u16string_view key,
    const SimilarOptions& options) {
  try {
    int64_t total = 0;
    for (const auto& source : sources) total += source != nullptr ? source->index.EntryLimit() : 0;
    // Each dictionary's best, then the best of them, each form at its best.
    std::unordered_map<std::u16string, SimilarHeadword> best;
    int64_t done = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
      if (sources[i] == nullptr) continue;
      std::vector<SimilarHeadword> found;
      const Status status = ScanDictionary(sources[i], i, key, options, done, total, &found);
      if (!status.IsOk()) return status;
      done += sources[i]->index.EntryLimit();
      for (SimilarHeadword& s : found) {
        auto [at, inserted] = best.try_emplace(s.form, s);
        if (!inserted && Better(s, at->second)) at->second = std::move(s);
      }
    }
    std::vector<SimilarHeadword> list;
    list.reserve(best.size());
    for (auto& [form, s] : best) list.push_back(std::move(s));
    std::sort(list.begin(), list.end(), Better);
    if (options.limit > 0 && list.size() > static_cast<size_t>(options.limit)) {
      list.resize(static_cast<size_t>(options.limit));
    }
    if (options.progress) options.progress(total, total);
    return list;
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory();
  }
}

}  // namespace kebu

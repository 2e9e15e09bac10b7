#include "search/headword_pattern.h"

#include <algorithm>
#include <new>
#include <string>

#include "codec/cp932.h"
#include "dictionary/dic_cursor.h"
#include "dictionary/dic_text.h"
#include "search/similar_runs.h"
#include "search/text_decode.h"
#include "search/text_query.h"

namespace kebu {

HeadwordPattern::HeadwordPattern(std::u16string_view pattern) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (c == u'\\' && i + 1 < pattern.size() &&
        (pattern[i + 1] == u'*' || pattern[i + 1] == u'?' || pattern[i + 1] == u'\\')) {
      units_ += pattern[++i];
      kinds_.push_back(kLiteral);
    } else if (c == u'*') {
      if (kinds_.empty() || kinds_.back() != kAny) {
        units_ += u'\0';
        kinds_.push_back(kAny);
      }
    } else if (c == u'?') {
      units_ += u'\0';
      kinds_.push_back(kOne);
    } else {
      units_ += c;
      kinds_.push_back(kLiteral);
    }
  }
  Finish();
}

void HeadwordPattern::Finish() {
  beginning_ = 0;
  while (beginning_ < kinds_.size() && kinds_[beginning_] == kLiteral) ++beginning_;
}

bool HeadwordPattern::HasWildcard(std::u16string_view key) {
  const HeadwordPattern p(key);
  return std::any_of(p.kinds_.begin(), p.kinds_.end(), [](Kind k) { return k != kLiteral; });
}

HeadwordPattern HeadwordPattern::ForVersion(int32_t versionMajor) const {
  HeadwordPattern p = *this;
  if (versionMajor < 6) return p;
  for (size_t i = 0; i < p.units_.size(); ++i) {
    if (p.kinds_[i] != kLiteral) continue;
    // The lookup key's folding, one character at a time (a zero unit,
    // which matches nothing, stays).
    const std::u16string folded = FoldKey(std::u16string_view(&p.units_[i], 1));
    if (!folded.empty()) p.units_[i] = folded[0];
  }
  return p;
}

bool HeadwordPattern::Matches(std::u16string_view text) const {
  // Units left to right; at a mismatch, the last `*` takes one unit more.
  size_t p = 0, t = 0;
  size_t star = SIZE_MAX, starText = 0;
  const size_t n = units_.size();
  while (t < text.size()) {
    if (p < n && (kinds_[p] == kOne || (kinds_[p] == kLiteral && units_[p] == text[t]))) {
      ++p;
      ++t;
    } else if (p < n && kinds_[p] == kAny) {
      star = p++;
      starText = t;
    } else if (star != SIZE_MAX) {
      p = star + 1;
      t = ++starText;
    } else {
      return false;
    }
  }
  while (p < n && kinds_[p] == kAny) ++p;
  return p == n;
}

std::u16string_view HeadwordPattern::LongestLiteral() const {
  size_t best = 0, bestLength = 0;
  for (size_t i = 0; i < kinds_.size();) {
    size_t j = i;
    while (j < kinds_.size() && kinds_[j] == kLiteral) ++j;
    if (j - i > bestLength) {
      best = i;
      bestLength = j - i;
    }
    i = j + 1;
  }
  return std::u16string_view(units_).substr(best, bestLength);
}

namespace {

using similar_detail::RunControl;
using similar_detail::RunRange;

// Whether code page 932 text holds `unit` only as the code that it encodes
// to: it decodes from that one code and from no other.
bool HasOneCode(char16_t unit) {
  static const std::vector<uint8_t> codes = [] {
    std::vector<uint8_t> count(0x10000);
    auto add = [&](const uint8_t* bytes, int32_t length) {
      char16_t u;
      if (Cp932ToUtf16(bytes, length, &u, 1) == 1 && count[u] < 2) ++count[u];
    };
    for (int b = 0; b < 0x100; ++b) {
      const uint8_t one[1] = {static_cast<uint8_t>(b)};
      add(one, 1);
      for (int t = 0x40; t < 0x100; ++t) {
        const uint8_t two[2] = {static_cast<uint8_t>(b), static_cast<uint8_t>(t)};
        char16_t u[2];
        // Only where the two bytes are one character.
        if (Cp932ToUtf16(two, 2, u, 2) == 1) add(two, 2);
      }
    }
    return count;
  }();
  if (codes[unit] != 1) return false;
  uint8_t bytes[2];
  const int32_t n = Utf16ToCp932(&unit, 1, bytes, 2);
  char16_t back = 0;
  return n > 0 && Cp932ToUtf16(bytes, n, &back, 1) == 1 && back == unit;
}

// The units that narrow the scan through the index (see the header).
std::u16string NarrowingBeginning(const HeadwordPattern& pattern, bool bocu) {
  std::u16string beginning(pattern.LiteralBeginning());
  if (!bocu) {
    const auto bad = std::find_if(beginning.begin(), beginning.end(), [](char16_t u) { return !HasOneCode(u); });
    beginning.erase(bad, beginning.end());
  }
  return beginning;
}

struct PatternRun {
  std::vector<RecordPosition> hits;  // the first ones found
  uint64_t count = 0;                // found, kept or not
  bool ended = false;                // a headword behind the beginning: no hit after it
};

struct Worker {
  DicCursor cursor;
  std::optional<ComparisonKey> beginning;
  TextScratch scratch;
  std::vector<char16_t> units;
};

}  // namespace

Result<PatternScanStats> ScanHeadwordPattern(const std::shared_ptr<const DicSource>& source,
                                             const HeadwordPattern& given,
                                             const HeadwordPatternOptions& options,
                                             const std::function<bool(const RecordPosition&)>& onHit) {
  PatternScanStats stats;
  if (source == nullptr) return stats;
  try {
    const HeadwordPattern pattern = given.ForVersion(source->versionMajor);
    const bool bocu = source->IsBocu1();
    const bool searchForm = source->versionMajor >= 6;
    const DicIndex& index = source->index;
    const int32_t entries = index.EntryLimit();

    // The entries to read: all, or those a prefix lookup reads.
    const std::u16string beginning = NarrowingBeginning(pattern, bocu);
    int32_t first = 0, stop = entries;
    if (!beginning.empty()) {
      const ComparisonKey key(beginning, bocu);
      first = stop = key.MatchesNothing() ? entries : index.FindEntry(key);
      for (uint32_t block = 0, length = 0; stop < entries; ++stop) {
        const uint8_t* entryKey = nullptr;
        if (!index.ReadEntry(static_cast<uint32_t>(stop), &block, &entryKey, &length) ||
            key.Compare(entryKey, length) > 0) {
          break;
        }
      }
    }
    const int32_t passStart = first;
    if (options.after) first = std::max(first, options.after->indexEntry);
    stop = std::max(first, stop);
    stats.entries = stop - first;

    // Headwords that cannot hold the longest literal are not decoded.
    const std::u16string_view longest = pattern.LongestLiteral();
    std::optional<TextQuery> literal;
    if (!longest.empty()) literal.emplace(longest, true, bocu);
    if (literal && literal->MatchesNothing()) {
      if (options.progress) options.progress(stats.entries, stats.entries);
      return stats;
    }

    RunControl control(options.cancel, [&](int32_t done) {
      if (options.progress) options.progress(done, stats.entries);
    });
    int threads = similar_detail::ThreadCount(options.threads);
    if (!beginning.empty() && stats.entries < 32) threads = 1;  // a few areas
    const uint64_t limit = options.limit;

    // On the calling thread, in file order: false ends the scan.
    auto sink = [&](const RecordPosition& at) {
      ++stats.hits;
      if (limit == 0 || stats.listed < limit) {
        if (!onHit(at)) {
          stats.stopped = true;
          return false;
        }
        ++stats.listed;
        return true;
      }
      stats.more = true;
      return options.countAll;
    };
    auto makeWorker = [&] {
      Worker w{DicCursor(source), std::nullopt, {}, {}};
      if (!beginning.empty()) w.beginning.emplace(beginning, bocu);
      return w;
    };
    auto matches = [&](Worker& w, const RawRecord& r) {
      const uint32_t length = r.fields.headwordLength;
      if (literal && !literal->MayContain(r.headword, length)) return false;
      w.units.resize(2 * static_cast<size_t>(length) + 1);
      size_t n = DecodeForSearch(bocu, false, r.headword, length, w.units.data());
      std::u16string_view form(w.units.data(), n);
      if (searchForm) form = form.substr(0, form.find(u'\t'));
      return pattern.Matches(form);
    };
    auto work = [&](Worker& w, const RunRange& range, PatternRun& out, RunControl& run,
                    bool callingThread, bool direct) {
      // A run ends early where no hit of it can be listed any more.
      const uint64_t keep = limit == 0 ? UINT64_MAX : limit;
      w.cursor.SeekRun(range.first, range.stop, passStart);
      RawRecord r;
      for (int32_t at = range.first;;) {
        const ReadStatus status = w.cursor.NextRecord(&r);
        const int32_t now =
            status == ReadStatus::kEnd ? range.stop : std::min(w.cursor.Entry(), range.stop);
        if (now != at) {
          if (!run.Go(now - at, callingThread)) return;
          at = now;
        }
        if (status == ReadStatus::kEnd) return;
        if (status == ReadStatus::kSkippedArea) {
          run.SkippedArea();
          continue;
        }
        if (options.after && r.position.indexEntry == options.after->indexEntry &&
            r.position.recordOffset <= options.after->recordOffset) {
          continue;
        }
        if (w.beginning) {
          const int c = w.beginning->Compare(r.headword, r.fields.headwordLength);
          if (c > 0) {
            out.ended = true;
            return;
          }
          if (c < 0) continue;
        }
        if (!matches(w, r)) continue;
        if (direct) {
          if (!sink(r.position)) {
            run.Stop();
            return;
          }
          continue;
        }
        if (out.hits.size() < keep) out.hits.push_back(r.position);
        if (++out.count > keep && !options.countAll) return;
      }
    };
    auto deliver = [&](PatternRun& run) {
      for (const RecordPosition& at : run.hits) {
        if (!sink(at)) return false;
      }
      if (run.count > run.hits.size()) {  // past the limit: counted only
        stats.hits += run.count - run.hits.size();
        stats.more = true;
        if (!options.countAll) return false;
      }
      return !run.ended;
    };
    const Status status = similar_detail::RunInOrder<PatternRun>(
        similar_detail::SplitRuns(first, stop, threads), threads, control, makeWorker, work,
        deliver);
    stats.skippedAreas = control.SkippedAreas();
    if (!status.IsOk()) return status;
    if (options.progress) options.progress(stats.entries, stats.entries);
    return stats;
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory();
  }
}

}  // namespace kebu

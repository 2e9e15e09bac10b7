// Suggestions: the headwords similar to a key that found nothing, read
// straight from the record areas (no index of its own), in one or several
// dictionaries.
//
// Similar: within MaxSimilarDistance(key units) of the key
// (search/similar_distance.h: restricted Damerau-Levenshtein on UTF-16
// units, key and headword as lookup compares them). An empty key has none.
//
// Order: distance; then a headword that begins like the key (its first unit
// is the key's); then the dictionaries' order as given; then file order.
// One headword once: headwords are the same when their compared forms are
// (so "Apple" and "apple" in a version-6 dictionary, whose search forms are
// both "apple", are one); the first record of a headword in that order
// stands for it. Across dictionaries the same holds, each dictionary
// measuring with the key as it compares it: a headword in several takes the
// place of its best record, and `dictionary` and `position` name that
// record. At most `limit` headwords; the rest are not kept (a dictionary's
// threads keep at most `limit` candidates each, whatever the file holds).
//
//   SimilarOptions options;
//   options.limit = 10;
//   options.threads = 0;
//   Result<std::vector<SimilarHeadword>> found =
//       FindSimilarHeadwords({reader.Source()}, u"recieve", options);
//   if (found.IsOk()) for (const SimilarHeadword& s : *found) Show(s.headword);
//
// Thread safety: reads the shared DicSources through cursors of its own,
// like ScanText (search/text_scan.h), so lookups on other threads go on
// undisturbed, and it may run on any thread; `progress` is called on the
// calling thread only; the cancel flag may be set from any thread and is
// looked at between record areas. Failures come back as a Status:
// kCancelled, kOutOfMemory. An exception thrown by `progress` ends the work
// (its helper threads joined) and comes out of the call as it is.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "dictionary/dic_record.h"
#include "dictionary/dic_source.h"

namespace kebu {

struct SimilarHeadword {
  std::u16string headword;  // as shown (version 6: the part after the TAB)
  std::u16string form;      // as compared
  int distance = 0;
  bool beginsLikeKey = false;
  size_t dictionary = 0;    // of the sources given
  RecordPosition position;  // its record there (HitTextReader reads it)
};

struct SimilarOptions {
  // Headwords at most (the window shows 10, kebu 20); 0: all.
  int limit = 10;
  // Threads that read, the calling one included (0: one per core).
  int threads = 1;
  const std::atomic<bool>* cancel = nullptr;
  // Now and then: index entries read of all, over every dictionary.
  std::function<void(int64_t done, int64_t total)> progress;
};

// Null sources (a dictionary that is not open) are passed over.
Result<std::vector<SimilarHeadword>> FindSimilarHeadwords(
    const std::vector<std::shared_ptr<const DicSource>>& sources, std::u16string_view key,
    const SimilarOptions& options);

}  // namespace kebu

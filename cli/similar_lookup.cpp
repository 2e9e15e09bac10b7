#include "cli/similar_lookup.h"

#include <cstdio>
#include <vector>

#include "cli/cli.h"
#include "cli/hit_listing.h"
#include "search/headword_pattern.h"
#include "dictionary/dic_lookup.h"
#include "search/similar_headwords.h"

namespace kebu::cli {

namespace {

// Says why a scan of DICT failed; the exit code.
int Failed(const char* dict, const Status& status) {
  std::fprintf(stderr, "kebu: %s: %s\n", dict,
               status.Code() == StatusCode::kCancelled ? "lookup cancelled" : status.Message().c_str());
  return kExitFailure;
}

}  // namespace

int ListSimilar(DicReader& reader, const char* dict, const std::u16string& key, long long limit,
                bool json) {
  SimilarOptions options;
  // One headword more than the limit tells that the list was cut.
  options.limit = limit > 0 ? static_cast<int>(std::min<long long>(limit + 1, INT32_MAX)) : 0;
  options.threads = 0;
  options.cancel = InstallCancelHandlers();
  Result<std::vector<SimilarHeadword>> found = FindSimilarHeadwords({reader.Source()}, key, options);
  if (!found.IsOk()) return Failed(dict, found.GetStatus());
  std::vector<SimilarHeadword>& list = *found;
  const bool truncated = limit > 0 && list.size() > static_cast<unsigned long long>(limit);
  if (truncated) list.resize(static_cast<size_t>(limit));

  DicLookup texts(reader.Source());
  HitListing listing(dict, "lookup", json, reader.GetVersionMajor(), list.size(), truncated);
  RecordText t;
  for (size_t i = 0; i < list.size(); ++i) {
    if (!texts.GetHit(list[i].position, &t)) return listing.Unreadable(i + 1);
    if (!listing.Add(t, json ? "\"distance\": " + std::to_string(list[i].distance) : "")) break;
  }
  return listing.Finish();
}

int ListPattern(DicReader& reader, const char* dict, const std::u16string& pattern, long long limit,
                bool json) {
  HeadwordPatternOptions options;
  options.threads = 0;
  options.cancel = InstallCancelHandlers();
  options.limit = static_cast<uint64_t>(limit);
  std::vector<RecordPosition> hits;
  Result<PatternScanStats> scanned =
      ScanHeadwordPattern(reader.Source(), HeadwordPattern(pattern), options, [&](const RecordPosition& at) {
        hits.push_back(at);
        return true;
      });
  if (!scanned.IsOk()) return Failed(dict, scanned.GetStatus());

  DicLookup texts(reader.Source());
  HitListing listing(dict, "lookup", json, reader.GetVersionMajor(), hits.size(), scanned->more);
  RecordText t;
  for (size_t i = 0; i < hits.size(); ++i) {
    if (!texts.GetHit(hits[i], &t)) return listing.Unreadable(i + 1);
    if (!listing.Add(t)) break;
  }
  return listing.Finish();
}

void SuggestSimilar(DicReader& reader, const std::u16string& key) {
  SimilarOptions options;
  options.limit = kDidYouMeanLimit;
  options.threads = 0;
  Result<std::vector<SimilarHeadword>> found = FindSimilarHeadwords({reader.Source()}, key, options);
  if (!found.IsOk() || found->empty()) return;
  std::string line = "no hits; did you mean: ";
  for (size_t i = 0; i < found->size(); ++i) {
    if (i > 0) line += ", ";
    AppendForPeople((*found)[i].headword, StderrIsTerminal(), &line);
  }
  line += '\n';
  std::fputs(line.c_str(), stderr);
}

}  // namespace kebu::cli

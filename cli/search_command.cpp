// kebu search: every record whose headword, translation or example contains
// a text, in file order.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/hit_listing.h"
#include "search/text_scan.h"

namespace kebu::cli {

namespace {

// The fields a hit matched in, as the JSON member "in".
std::string MatchedFields(uint8_t fields) {
  std::string out = "\"in\": [";
  const char* separator = "";
  for (const auto& [bit, name] : {std::pair{kInHeadword, "headword"},
                                  std::pair{kInTranslation, "translation"},
                                  std::pair{kInExample, "example"}}) {
    if ((fields & bit) == 0) continue;
    out += separator;
    out += '"';
    out += name;
    out += '"';
    separator = ", ";
  }
  return out + ']';
}

int RunSearch(const std::vector<const char*>& argv) {
  Args args;
  std::string problem;
  if (!args.Parse(argv, {{"--exact", false}, {"--limit", true}, {"--json", false}}, &problem)) {
    return Usage(kSearchCommand, problem);
  }
  if (args.Operands().size() != 2) return Usage(kSearchCommand, "search takes a dictionary and a text");
  const char* dict = args.Operands()[0];
  long long limit = kWindowHitLimit;
  if (args.Has("--limit") && !ParseNumber(args.Value("--limit"), INT64_MIN, INT64_MAX, &limit)) {
    return Usage(kSearchCommand, "--limit takes a whole number");
  }
  limit = std::max<long long>(limit, 0);
  std::u16string query;
  if (!DecodeArgument(args.Operands()[1], &query)) {
    return Usage(kSearchCommand, "the text is not valid UTF-8");
  }
  const bool json = args.Has("--json");

  DicReader reader;
  if (!OpenDictionary(reader, dict)) return kExitFailure;
  TextScanOptions options;
  options.exact = args.Has("--exact");
  options.threads = 0;
  options.cancel = InstallCancelHandlers();
  SayWhenCancelled(std::string("kebu: ") + dict + ": search cancelled");
  ProgressLine progressLine("index entries", reader.Source()->index.EntryLimit());
  options.progress = [&](int32_t done, int32_t) { progressLine.Update(done); };
  // One hit more than the limit tells that the list was cut.
  std::vector<TextHit> hits;
  bool truncated = false;
  TextScanStats stats;
  const Status scanned = ScanText(reader.Source(), query, options, [&](const TextHit& hit) {
    if (limit > 0 && hits.size() >= static_cast<unsigned long long>(limit)) {
      truncated = true;
      return false;
    }
    hits.push_back(hit);
    return true;
  }, &stats);
  progressLine.Finish(stats.entries);
  if (scanned.Code() == StatusCode::kCancelled) {
    std::fprintf(stderr, "kebu: %s: search cancelled\n", dict);
    return kExitFailure;
  }
  if (scanned.Code() == StatusCode::kOutOfMemory) {
    std::fprintf(stderr, "kebu: %s: out of memory after %zu hits\n", dict, hits.size());
    return kExitFailure;
  }
  if (!scanned.IsOk()) {
    std::fprintf(stderr, "kebu: %s: %s\n", dict, scanned.Message().c_str());
    return kExitFailure;
  }
  if (stats.skippedAreas > 0) {
    std::fprintf(stderr, "kebu: %s: %lld damaged record areas passed over\n", dict,
                 static_cast<long long>(stats.skippedAreas));
  }

  HitListing listing(dict, "search", json, reader.GetVersionMajor(), hits.size(), truncated);
  RecordText t;
  for (size_t i = 0; i < hits.size(); ++i) {
    if (!reader.GetHit(hits[i].position, &t)) return listing.Unreadable(i + 1);
    if (!listing.Add(t, json ? MatchedFields(hits[i].fields) : "")) break;
  }
  return listing.Finish();
}

}  // namespace

const Command kSearchCommand = {
    "search", "kebu search DICT TEXT [--exact] [--limit N] [--json]",
    "Lists every record whose headword, translation or example contains TEXT\n"
    "(UTF-8), in file order. Letters match in either case, full-width letters\n"
    "and digits match their ASCII forms, katakana match hiragana; --exact\n"
    "compares the characters as they are. Texts are searched whole; they are\n"
    "shown as the window shows them.\n"
    "  --exact       no folding of case, width or kana\n"
    "  --limit N     at most N hits (default 10000; 0: no limit)\n"
    "  --json        as kebu lookup --json, and \"in\": the fields that matched\n"
    "                ([\"headword\", \"translation\", \"example\"], those that did)\n"
    "  --            ends the options: a text may begin with '-'\n",
    RunSearch};

}  // namespace kebu::cli

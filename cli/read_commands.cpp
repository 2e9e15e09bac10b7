// kebu header, lookup, dump and export: reading a dictionary.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/hit_listing.h"
#include "cli/lookup_forms.h"
#include "cli/similar_lookup.h"
#include "export/plain_text_export.h"
#include "export/record_lines.h"

namespace kebu::cli {

namespace {

// A dictionary operand and nothing else.
bool OneDictionary(const Command& command, const Args& args, int* exit) {
  if (args.Operands().size() == 1) return true;
  *exit = Usage(command, std::string(command.name) + " takes one dictionary");
  return false;
}

int RunHeader(const std::vector<const char*>& argv) {
  Args args;
  std::string problem;
  if (!args.Parse(argv, {}, &problem)) return Usage(kHeaderCommand, problem);
  int exit = kExitOk;
  if (!OneDictionary(kHeaderCommand, args, &exit)) return exit;
  DicReader reader;
  if (!OpenDictionary(reader, args.Operands()[0])) return kExitFailure;
  char report[2048];
  reader.DumpHeaderInfo(report, sizeof report);
  WriteOut(report);
  return FinishStdout();
}

int RunLookup(const std::vector<const char*>& argv) {
  Args args;
  std::string problem;
  if (!args.Parse(argv, {{"--whole-word", false}, {"--limit", true}, {"--json", false},
                         {"--similar", false}, {"--glob", false}, {"--forms", false}},
                  &problem)) {
    return Usage(kLookupCommand, problem);
  }
  if (args.Operands().size() != 2) return Usage(kLookupCommand, "lookup takes a dictionary and a key");
  const bool similar = args.Has("--similar");
  const bool glob = args.Has("--glob");
  if (similar + glob + args.Has("--whole-word") > 1) {
    return Usage(kLookupCommand, "--whole-word, --similar and --glob exclude each other");
  }
  const char* dict = args.Operands()[0];
  long long limit = similar ? kSimilarListLimit : kWindowHitLimit;
  if (args.Has("--limit") && !ParseNumber(args.Value("--limit"), INT64_MIN, INT64_MAX, &limit)) {
    return Usage(kLookupCommand, "--limit takes a whole number");
  }
  limit = std::clamp<long long>(limit, 0, INT32_MAX);
  std::u16string key;
  if (!DecodeArgument(args.Operands()[1], &key)) {
    return Usage(kLookupCommand, "the key is not valid UTF-8");
  }
  const bool json = args.Has("--json");

  DicReader reader;
  if (!OpenDictionary(reader, dict)) return kExitFailure;
  if (similar) return ListSimilar(reader, dict, key, limit, json);
  if (glob) return ListPattern(reader, dict, key, limit, json);
  int formsExit = kExitOk;
  if (args.Has("--forms") && ListFormHits(reader, dict, key, json, static_cast<int>(limit), &formsExit)) {
    return formsExit;
  }
  const LookupResult found = reader.Lookup(key, args.Has("--whole-word"), static_cast<int>(limit));
  const uint32_t count = found.count;
  if (found.status.Code() == StatusCode::kOutOfMemory) {
    std::fprintf(stderr, "kebu: %s: out of memory after %u hits\n", dict, count);
    return kExitFailure;
  }

  SayWhenCancelled(std::string("kebu: ") + dict + ": lookup cancelled");
  HitListing listing(dict, "lookup", json, reader.GetVersionMajor(), count, found.truncated);
  RecordText t;
  for (uint32_t i = 0; i < count; ++i) {
    if (!reader.GetHit(i, &t)) return listing.Unreadable(i + 1);
    if (!listing.Add(t)) break;
  }
  const int exit = listing.Finish();
  if (count == 0) SuggestSimilar(reader, key);
  return exit;
}

int RunDump(const std::vector<const char*>& argv) {
  Args args;
  std::string problem;
  if (!args.Parse(argv, {{"--json", false}}, &problem)) return Usage(kDumpCommand, problem);
  int exit = kExitOk;
  if (!OneDictionary(kDumpCommand, args, &exit)) return exit;
  if (!args.Has("--json")) return Usage(kDumpCommand, "dump writes JSON only: give --json");
  DicReader reader;
  if (!OpenDictionary(reader, args.Operands()[0])) return kExitFailure;
  // The same lines as `kebu convert --to jsonl`: whole texts.
  std::fflush(stdout);
  ExportHooks hooks;
  hooks.cancel = InstallCancelHandlers();
  SayWhenCancelled(OutputCancelled("-", "dump"));
  ExportStats stats;
  AtomicOutput out;
  out.CreateOn(STDOUT_FILENO);
  const Status written = WriteRecordLines(reader.Source(), out, LineFormat::kJsonl, hooks, &stats);
  return ReportOutput(written, stats, args.Operands()[0], "-", "dump");
}

int RunExport(const std::vector<const char*>& argv) {
  Args args;
  std::string problem;
  if (!args.Parse(argv, {{"--stop-after-entry", true}}, &problem)) return Usage(kExportCommand, problem);
  const auto& operands = args.Operands();
  if (operands.empty() || operands.size() > 2) {
    return Usage(kExportCommand, "export takes a dictionary and an output");
  }
  long long stop = -1;
  if (args.Has("--stop-after-entry") &&
      !ParseNumber(args.Value("--stop-after-entry"), 0, INT32_MAX, &stop)) {
    return Usage(kExportCommand, "--stop-after-entry takes an index entry number (0 or more)");
  }
  const char* dict = operands[0];
  const std::string target = operands.size() == 2 ? operands[1] : "-";
  if (target.empty()) return Usage(kExportCommand, "the output's name is empty");
  DicReader reader;
  if (!OpenDictionary(reader, dict)) return kExitFailure;

  ExportOptions options;
  options.stopAfterEntry = static_cast<int32_t>(stop);
  ExportHooks hooks;
  hooks.cancel = InstallCancelHandlers();
  SayWhenCancelled(OutputCancelled(target, "export"));
  ProgressLine progress("records", reader.GetHeader().nword());
  hooks.progress = [&progress](const ExportStats& stats) { progress.Update(stats.written); };
  ExportStats stats;
  Status result;
  const bool toStdout = target == "-";
  if (toStdout) {
    std::unique_ptr<DicCursor> cursor = reader.NewCursor();
    cursor->Rewind();
    AtomicOutput out;
    out.CreateOn(STDOUT_FILENO);
    result = ExportToOutput(*cursor, out, hooks, options, &stats);
  } else {
    result = ExportPlainText(reader.Source(), target, hooks, options, &stats);
  }
  progress.Finish(stats.written);
  return ReportOutput(result, stats, dict, target, "export");
}

}  // namespace

const Command kHeaderCommand = {
    "header", "kebu header DICT",
    "Prints the fifteen-line header report of DICT (CR LF line ends, as the\n"
    "window shows it).\n",
    RunHeader};

const Command kLookupCommand = {
    "lookup", "kebu lookup DICT KEY [--whole-word | --similar | --glob] [--limit N] [--json] [--forms]",
    "Lists every headword that begins with KEY (UTF-8), or equals it with\n"
    "--whole-word, in file order. When nothing is found, the headwords most\n"
    "like KEY follow on standard error: \"no hits; did you mean: ...\".\n"
    "  --similar     the headwords within one edit of KEY (two for a KEY of five\n"
    "                units or more: insert, delete, change a unit, swap two),\n"
    "                closest first, each once, with its first entry\n"
    "  --glob        KEY is a pattern for whole headwords: * any run of\n"
    "                characters, ? one; \\*, \\? and \\\\ stand for themselves\n"
    "  --limit N     at most N hits (default 10000, with --similar 20; 0: no limit)\n"
    "  --json        {\"count\", \"truncated\", \"hits\": [{\"headword\", \"translation\",\n"
    "                \"example\", \"pronunciation\", \"attribute\", \"indexEntry\",\n"
    "                \"block\", \"recordOffset\"}]}; with --similar also \"distance\"\n"
    "  --forms       when KEY is no headword, the hits of its dictionary forms\n"
    "                (running: run, went: go, 食べました: 食べる; the longest\n"
    "                leading headword of a phrase), each JSON hit with \"form\";\n"
    "                what was done is said on standard error\n"
    "  --            ends the options: a key may begin with '-'\n",
    RunLookup};

const Command kDumpCommand = {
    "dump", "kebu dump DICT --json",
    "Prints every record in file order, one JSON object per line: indexEntry,\n"
    "block, recordOffset, headword, translation, example, pronunciation,\n"
    "attribute; texts whole (as kebu convert --to jsonl writes them).\n",
    RunDump};

const Command kExportCommand = {
    "export", "kebu export DICT [OUT|-] [--stop-after-entry N]",
    "Writes every record as UTF-8 text (the window's export format) to OUT or\n"
    "standard output. OUT is written under a temporary name and renamed when\n"
    "complete; it may not be the dictionary itself.\n"
    "  --stop-after-entry N   end after the first record of an index entry\n"
    "                         beyond N, as the window's export does with 10000\n",
    RunExport};

}  // namespace kebu::cli

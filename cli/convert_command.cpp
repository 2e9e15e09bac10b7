// kebu convert: a dictionary in another format (StarDict, TSV, JSON Lines).
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"
#include "codec/utf8.h"
#include "export/record_lines.h"
#include "export/stardict_export.h"

namespace kebu::cli {

namespace {

int RunConvert(const std::vector<const char*>& argv) {
  Args args;
  std::string problem;
  if (!args.Parse(argv, {{"--to", true}, {"--name", true}}, &problem)) {
    return Usage(kConvertCommand, problem);
  }
  if (args.Operands().size() != 2) {
    return Usage(kConvertCommand, "convert takes a dictionary and an output");
  }
  const char* format = args.Value("--to");
  if (format == nullptr) return Usage(kConvertCommand, "give the output's format with --to");
  const bool stardict = std::strcmp(format, "stardict") == 0;
  LineFormat lines = LineFormat::kTsv;
  if (std::strcmp(format, "jsonl") == 0) {
    lines = LineFormat::kJsonl;
  } else if (!stardict && std::strcmp(format, "tsv") != 0) {
    return Usage(kConvertCommand, std::string("unknown format ") + format +
                                      " (stardict, tsv or jsonl)");
  }
  if (!stardict && args.Has("--name")) {
    return Usage(kConvertCommand, "--name names a StarDict dictionary (--to stardict)");
  }
  const char* dict = args.Operands()[0];
  const std::string target = args.Operands()[1];
  if (target.empty()) return Usage(kConvertCommand, "the output's name is empty");
  if (stardict && target == "-") {
    return Usage(kConvertCommand, "a StarDict dictionary is a folder, not standard output");
  }
  DicReader reader;
  if (!OpenDictionary(reader, dict)) return kExitFailure;

  ExportHooks hooks;
  hooks.cancel = InstallCancelHandlers();
  SayWhenCancelled(OutputCancelled(target, "conversion"));
  ProgressLine progress("records", reader.GetHeader().nword());
  hooks.progress = [&progress](const ExportStats& stats) { progress.Update(stats.written); };
  ExportStats stats;
  Status result;
  StarDictReport report;
  if (stardict) {
    StarDictOptions options;
    options.name = args.Has("--name") ? args.Value("--name") : StarDictNameFromPath(dict);
    result = ExportStarDict(reader.Source(), target, options, hooks, &stats, &report);
  } else {
    result = ConvertToLines(reader.Source(), target, lines, hooks, &stats);
  }
  progress.Finish(stats.written);
  if (result.IsOk() && report.cutHeadwords > 0) {
    std::string line = "kebu: " + target + ": " + std::to_string(report.cutHeadwords) +
                       (report.cutHeadwords == 1 ? " headword" : " headwords") +
                       " longer than StarDict's 255 bytes cut to fit (the first: ";
    AppendForPeople(Utf8ToUtf16(report.firstCutHeadword), StderrIsTerminal(), &line);
    line += ")\n";
    std::fputs(line.c_str(), stderr);
  }
  return ReportOutput(result, stats, dict, target, "conversion");
}

}  // namespace

const Command kConvertCommand = {
    "convert", "kebu convert DICT --to stardict|tsv|jsonl OUT [--name NAME]",
    "Writes every record of DICT, in file order and with whole texts, in another\n"
    "format:\n"
    "  --to stardict  a StarDict dictionary (version 2.4.2) in the folder OUT:\n"
    "                 NAME.ifo, NAME.idx, NAME.dict.dz (dictzip), and NAME.syn for\n"
    "                 the search forms of a version-6 dictionary. One entry a\n"
    "                 headword: a part for each of its records in file order,\n"
    "                 \"[pronunciation] (attribute N)\" on its first line, then\n"
    "                 the translation and the example; line ends LF. Headwords\n"
    "                 over 255 bytes are cut (and counted on stderr). OUT must\n"
    "                 not exist or be an empty folder.\n"
    "  --to tsv       headword, translation, example, pronunciation, attribute:\n"
    "                 one record a line, TAB between the texts, and TAB, line\n"
    "                 ends and backslashes in them written \\t \\n \\r \\\\ (kebu\n"
    "                 make reads it back)\n"
    "  --to jsonl     one JSON object a record, as kebu dump --json prints them\n"
    "  --name NAME    the StarDict dictionary's name (default: DICT's file name\n"
    "                 without its extension); the files' name is NAME without\n"
    "                 control characters, '/' and leading dots\n"
    "OUT (\"-\": standard output, for tsv and jsonl) is made under a temporary\n"
    "name and renamed when complete; a failed or interrupted conversion leaves\n"
    "nothing behind. It may not be the dictionary itself.\n",
    RunConvert};

}  // namespace kebu::cli

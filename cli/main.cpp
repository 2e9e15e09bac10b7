// kebu: the command-line tool for dictionary files.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace kebu::cli {
namespace {

const Command* const kCommands[] = {
    &kHeaderCommand, &kLookupCommand, &kSearchCommand, &kDumpCommand, &kExportCommand,
    &kConvertCommand, &kMakeCommand,
};

void PrintUsage(std::FILE* out) {
  std::fputs("usage:", out);
  for (const Command* command : kCommands) std::fprintf(out, "  %s\n      ", command->usage);
  std::fputs("kebu --help | kebu COMMAND --help | kebu --version\n", out);
}

}  // namespace

int Main(int argc, char** argv) {
  // A file size limit makes a write fail (EFBIG, "File too large"), which
  // the output reports and cleans up after, instead of killing the process.
  ::signal(SIGXFSZ, SIG_IGN);
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  const std::string first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    PrintUsage(stdout);
    std::fputs("\nExit status: 0 done (also with no hits), 1 a dictionary or a word list\n"
               "cannot be read or an output cannot be written, 2 wrong usage.\n",
               stdout);
    return FinishStdout();
  }
  if (first == "--version") {
    std::printf("kebu %s\n", KEBU_VERSION);
    return FinishStdout();
  }
  for (const Command* command : kCommands) {
    if (first != command->name) continue;
    const std::vector<const char*> args(argv + 2, argv + argc);
    for (const char* arg : args) {
      if (std::strcmp(arg, "--") == 0) break;
      if (std::strcmp(arg, "--help") == 0) {
        std::printf("usage: %s\n\n%s", command->usage, command->help);
        return FinishStdout();
      }
    }
    // The last resort: an output being written is abandoned by the
    // unwinding, so the message is all that is left.
    try {
      const int exit = command->run(args);
      StopCancelTicks();
      return exit;
    } catch (const std::bad_alloc&) {
      std::fprintf(stderr, "kebu: out of memory\n");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kebu: %s\n", e.what());
    }
    return kExitFailure;
  }
  std::fprintf(stderr, "kebu: unknown command %s\n", first.c_str());
  PrintUsage(stderr);
  return kExitUsage;
}

}  // namespace kebu::cli

int main(int argc, char** argv) { return kebu::cli::Main(argc, argv); }

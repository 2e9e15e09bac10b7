// What the commands of the kebu tool share: exit codes, argument parsing,
// opening a dictionary, and output for people and programs.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"
#include "dictionary/dic_reader.h"
#include "export/output.h"

namespace kebu::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a dictionary or an output failed
inline constexpr int kExitUsage = 2;    // wrong usage

// One command: its name, its usage lines and what it does, and its body.
struct Command {
  const char* name;
  const char* usage;  // "kebu lookup DICT KEY [--whole-word] ..."
  const char* help;   // the options and what the command does
  int (*run)(const std::vector<const char*>& args);
};

// A command's option: "--name" alone, or "--name VALUE" / "--name=VALUE".
struct OptionSpec {
  const char* name;
  bool takesValue;
};

// The arguments of one command: options anywhere up to "--", the rest
// (and everything behind "--") in order as operands. A lone "-" is an
// operand.
class Args {
 public:
  // False with *problem set for an unknown option or a missing value.
  bool Parse(const std::vector<const char*>& args, const std::vector<OptionSpec>& specs,
             std::string* problem);
  bool Has(const char* name) const;
  // The value of the option's last occurrence, or null.
  const char* Value(const char* name) const;
  const std::vector<const char*>& Operands() const { return operands_; }

 private:
  std::vector<std::pair<std::string, const char*>> options_;
  std::vector<const char*> operands_;
};

// Prints "kebu: PROBLEM" and the command's usage on stderr; returns 2.
int Usage(const Command& command, const std::string& problem);
// A whole number from `text` within [min, max], or false.
bool ParseNumber(const char* text, long long min, long long max, long long* value);
// `text` as UTF-16 when it is well-formed UTF-8, or false.
bool DecodeArgument(const char* text, std::u16string* out);

// How an export or a conversion of DICT into `target` ("-": standard
// output) ended, said on stderr as one line where there is something to say
// (`what`: "export", "conversion"); the exit code.
// What ReportOutput says of a cancelled output, without the line end.
std::string OutputCancelled(const std::string& target, const char* what);
int ReportOutput(const Status& result, const ExportStats& stats, const char* dict,
                 const std::string& target, const char* what);

// Opens DICT or says why not on stderr ("kebu: DICT: cause").
bool OpenDictionary(DicReader& reader, const char* path);

// Output on stdout; false after a write error.
bool WriteOut(const std::string& text);
// Flushes stdout; on a write error says so and returns 1, else 0.
int FinishStdout();
bool StdoutIsTerminal();
bool StderrIsTerminal();
// Text from a dictionary for people: on a terminal its control characters
// become visible escapes; into files and pipes it goes unchanged.
void AppendForPeople(std::u16string_view text, bool terminal, std::string* out);

// "kebu: " and `problem` as a line on stderr; on a terminal its control
// characters (from a word list or a dictionary) go as visible escapes.
void SayProblem(const std::string& problem);

// Set by SIGINT, SIGTERM and SIGHUP once InstallCancelHandlers has run:
// long work looks at it and stops cleanly, leaving no half-written output.
// From the signal on, a tick every 100 ms ends any call that waits (a write
// into a slow reader); 600 ms after it, work that has not ended is ended
// where it stands: the temporary names of its outputs are removed, the line
// of SayWhenCancelled goes to standard error, and the exit code is 1.
const std::atomic<bool>* InstallCancelHandlers();
// The line said when a command is ended where it stands ("kebu:
// cancelled" unless a command says better).
void SayWhenCancelled(const std::string& line);
// Ends the ticks: the command has said how it ended.
void StopCancelTicks();

// A progress line on stderr, only on a terminal: "done / total what", the
// percentage and the rate, at most ten times a second.
class ProgressLine {
 public:
  ProgressLine(const char* what, int64_t total);
  void Update(int64_t done);
  void Finish(int64_t done);

 private:
  using Clock = std::chrono::steady_clock;
  void Show(int64_t done, bool final);
  const char* what_;
  int64_t total_;
  bool enabled_;
  Clock::time_point start_;
  Clock::time_point last_;
};

}  // namespace kebu::cli

#include "cli/cli.h"

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "codec/utf8.h"
#include "export/temporary_names.h"

namespace kebu::cli {

bool Args::Parse(const std::vector<const char*>& args, const std::vector<OptionSpec>& specs,
                 std::string* problem) {
  options_.clear();
  operands_.clear();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = args[i];
    if (arg == "--") {
      operands_.insert(operands_.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      return true;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      operands_.push_back(args[i]);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionSpec* known = nullptr;
    for (const OptionSpec& s : specs) {
      if (name == s.name) known = &s;
    }
    if (known == nullptr) {
      *problem = "unknown option " + name + " (use -- before an operand that begins with '-')";
      return false;
    }
    const char* value = nullptr;
    if (known->takesValue) {
      if (equals != std::string::npos) {
        value = args[i] + equals + 1;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        *problem = name + " needs a value";
        return false;
      }
    } else if (equals != std::string::npos) {
      *problem = name + " takes no value";
      return false;
    }
    options_.emplace_back(known->name, value);
  }
  return true;
}

bool Args::Has(const char* name) const {
  for (const auto& option : options_) {
    if (option.first == name) return true;
  }
  return false;
}

const char* Args::Value(const char* name) const {
  const char* value = nullptr;
  for (const auto& option : options_) {
    if (option.first == name) value = option.second;
  }
  return value;
}

int Usage(const Command& command, const std::string& problem) {
  std::fprintf(stderr, "kebu: %s\nusage: %s\n(kebu %s --help tells more)\n", problem.c_str(),
               command.usage, command.name);
  return kExitUsage;
}

bool ParseNumber(const char* text, long long min, long long max, long long* value) {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < min || v > max) return false;
  *value = v;
  return true;
}

bool DecodeArgument(const char* text, std::u16string* out) {
  bool wellFormed = false;
  *out = Utf8ToUtf16(text, &wellFormed);
  return wellFormed;
}

std::string OutputCancelled(const std::string& target, const char* what) {
  return target == "-" ? std::string("kebu: standard output: ") + what + " cancelled"
                       : "kebu: " + target + ": " + what + " cancelled; nothing was written";
}

int ReportOutput(const Status& result, const ExportStats& stats, const char* dict,
                 const std::string& target, const char* what) {
  const bool toStdout = target == "-";
  const char* name = toStdout ? "standard output" : target.c_str();
  const char* message = result.Message().c_str();
  switch (result.Code()) {
    case StatusCode::kOk:
      if (stats.skippedAreas > 0) {
        std::fprintf(stderr, "kebu: %s: %lld damaged record areas passed over\n", dict,
                     static_cast<long long>(stats.skippedAreas));
      }
      return kExitOk;
    case StatusCode::kCancelled:
      std::fprintf(stderr, "%s\n", OutputCancelled(target, what).c_str());
      return kExitFailure;
    case StatusCode::kCorrupt:  // the dictionary's fault: no record could be read
      std::fprintf(stderr, "kebu: %s: %s; %s left as it was\n", dict, message, name);
      return kExitFailure;
    case StatusCode::kOutOfMemory:  // reading the dictionary took it all
      std::fprintf(stderr, "kebu: %s: %s%s%s\n", dict, message, toStdout ? "" : "; nothing was written to ",
                   toStdout ? "" : name);
      return kExitFailure;
    default:
      std::fprintf(stderr, "kebu: %s: %s\n", name, message);
      return kExitFailure;
  }
}

bool OpenDictionary(DicReader& reader, const char* path) {
  const Status opened = reader.Open(path);
  if (opened.IsOk()) return true;
  std::fprintf(stderr, "kebu: %s: %s\n", path, opened.Message().c_str());
  return false;
}

bool WriteOut(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

int FinishStdout() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "kebu: standard output: %s\n", std::strerror(errno));
    return kExitFailure;
  }
  return kExitOk;
}

bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) != 0; }
bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

void AppendForPeople(std::u16string_view text, bool terminal, std::string* out) {
  if (terminal) {
    AppendVisibleUtf8(text, out);
  } else {
    *out += Utf16ToUtf8(text);
  }
}

void SayProblem(const std::string& problem) {
  std::string line = "kebu: ";
  if (StderrIsTerminal()) {
    AppendVisibleUtf8(Utf8ToUtf16(problem), &line);
  } else {
    line += problem;
  }
  line += '\n';
  std::fputs(line.c_str(), stderr);
}

namespace {

std::atomic<bool> gCancelled{false};
std::atomic<int> gTicks{0};
char gCancelLine[1024] = "kebu: cancelled\n";
std::atomic<size_t> gCancelLineSize{16};

// Ticks of 100 ms after a signal before the command is ended where it
// stands: work that looks at the flag has ended long before.
constexpr int kTicksBeforeExit = 6;

void OnSignal(int) {
  if (gCancelled.exchange(true)) return;
  // From now on a tick every 100 ms: a call that waits (a write into a slow
  // reader, a read from a FIFO) returns with EINTR and its caller sees the
  // flag.
  const itimerval every{{0, 100000}, {0, 100000}};
  ::setitimer(ITIMER_REAL, &every, nullptr);
}

void OnTick(int) {
  if (gTicks.fetch_add(1) + 1 < kTicksBeforeExit) return;
  RemoveTemporaryNames();
  const ssize_t ignored = ::write(STDERR_FILENO, gCancelLine, gCancelLineSize.load());
  (void)ignored;
  ::_exit(kExitFailure);
}

}  // namespace

const std::atomic<bool>* InstallCancelHandlers() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = OnSignal;  // no SA_RESTART: waiting calls return
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    action.sa_handler = OnTick;
    sigaction(SIGALRM, &action, nullptr);
    return true;
  }();
  (void)installed;
  return &gCancelled;
}

void SayWhenCancelled(const std::string& line) {
  std::string text = line.substr(0, sizeof gCancelLine - 2) + "\n";
  gCancelLineSize.store(0);
  std::memcpy(gCancelLine, text.data(), text.size());
  gCancelLineSize.store(text.size());
}

void StopCancelTicks() {
  const itimerval none{};
  ::setitimer(ITIMER_REAL, &none, nullptr);
}

ProgressLine::ProgressLine(const char* what, int64_t total)
    : what_(what), total_(total), enabled_(StderrIsTerminal()), start_(Clock::now()), last_(start_) {}

void ProgressLine::Update(int64_t done) {
  if (!enabled_) return;
  const auto now = Clock::now();
  if (now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  Show(done, false);
}

void ProgressLine::Finish(int64_t done) {
  if (enabled_) Show(done, true);
}

void ProgressLine::Show(int64_t done, bool final) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  char percent[16] = "";
  if (total_ > 0) {
    std::snprintf(percent, sizeof percent, " %3lld%%", static_cast<long long>(done * 100 / total_));
  }
  std::fprintf(stderr, "\r%lld / %lld %s%s  %.0f/s%s", static_cast<long long>(done),
               static_cast<long long>(total_), what_, percent, seconds > 0 ? done / seconds : 0.0,
               final ? "\n" : "");
}

}  // namespace kebu::cli

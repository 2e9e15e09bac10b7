// kebu: the dictionary viewer's command-line tool.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/json.h"
#include "codec/utf8.h"
#include "dictionary/dic_reader.h"
#include "dictionary/dic_text.h"
#include "dictionary/text_buffers.h"
#include "export/plain_text_export.h"

namespace kebu {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: kebu header DICT\n"
    "       kebu lookup DICT KEY [--whole-word] [--limit N] [--json]\n"
    "       kebu dump DICT --json\n"
    "       kebu export DICT [OUT|-] [--stop-after-entry N]\n"
    "\n"
    "  header   print the header report of DICT\n"
    "  lookup   list the headwords that begin with KEY (or equal it, with\n"
    "           --whole-word); at most N hits (default 10000, 0: no limit)\n"
    "  dump     every record in file order, one JSON object per line\n"
    "  export   every record as UTF-8 text into OUT (default: standard output);\n"
    "           with --stop-after-entry N the export ends after the first\n"
    "           record of an index entry beyond N, as the viewer's does\n";

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "kebu: %s\n", problem);
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

bool ParseInt(const char* text, long long* value) {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0') return false;
  *value = v;
  return true;
}

// Opens DICT or says why not on stderr.
bool OpenDictionary(DicReader& reader, const char* path) {
  const std::u16string wide = Utf8ToUtf16(path);
  if (reader.Open(wide.c_str()) == 0) return true;
  std::fprintf(stderr, "kebu: %s: %s\n", path, reader.LastError().c_str());
  return false;
}

std::string Utf8(const char16_t* text) { return Utf16ToUtf8(std::u16string_view(text)); }

void AppendField(std::string& out, const char* name, const char16_t* text) {
  out += '"';
  out += name;
  out += "\": ";
  AppendJsonString(out, text);
  out += ", ";
}

void AppendNumber(std::string& out, const char* name, long long value, bool last = false) {
  out += '"';
  out += name;
  out += "\": ";
  out += std::to_string(value);
  if (!last) out += ", ";
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

int Header(const std::vector<const char*>& args) {
  if (args.size() != 1) return Usage("header takes one dictionary");
  DicReader reader;
  if (!OpenDictionary(reader, args[0])) return kExitFailure;
  char report[2048];
  reader.DumpHeaderInfo(report, sizeof report);
  WriteOut(report);
  return FinishStdout();
}

// The viewer shows a version-6 headword from the character after its first
// TAB on.
const char16_t* DisplayHeadword(const char16_t* headword, int versionMajor) {
  if (versionMajor < 6) return headword;
  for (const char16_t* p = headword; *p != 0; ++p) {
    if (*p == u'\t') return p + 1;
  }
  return headword;
}

int Lookup(const std::vector<const char*>& args) {
  const char* dict = nullptr;
  const char* key = nullptr;
  bool wholeWord = false;
  bool json = false;
  long long limit = 10000;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string a = args[i];
    if (a == "--whole-word") {
      wholeWord = true;
    } else if (a == "--json") {
      json = true;
    } else if (a == "--limit") {
      if (i + 1 >= args.size() || !ParseInt(args[i + 1], &limit)) {
        return Usage("--limit takes a whole number");
      }
      ++i;
    } else if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      return Usage(("unknown option " + a).c_str());
    } else if (dict == nullptr) {
      dict = args[i];
    } else if (key == nullptr) {
      key = args[i];
    } else {
      return Usage("lookup takes one dictionary and one key");
    }
  }
  if (dict == nullptr || key == nullptr) return Usage("lookup needs a dictionary and a key");
  if (limit > INT32_MAX) limit = INT32_MAX;
  if (limit < 0) limit = 0;

  DicReader reader;
  if (!OpenDictionary(reader, dict)) return kExitFailure;
  const std::u16string wideKey = Utf8ToUtf16(key);
  int truncated = 0;
  const uint32_t count =
      reader.Lookup(wideKey.c_str(), wholeWord ? 1 : 0, static_cast<int>(limit), &truncated);

  TextBuffers t;
  std::string out;
  if (json) {
    out = "{\"count\": " + std::to_string(count) +
          ", \"truncated\": " + (truncated ? "true" : "false") + ", \"hits\": [";
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (t.FetchHit(reader, static_cast<int>(i)) != 0) {
      std::fprintf(stderr, "kebu: %s: hit %u could not be read\n", dict, i + 1);
      break;
    }
    const SearchHit* hit = reader.GetHitInfo(static_cast<int>(i));
    if (json) {
      out += i == 0 ? "\n  {" : ",\n  {";
      AppendField(out, "headword", t.headword.data());
      AppendField(out, "translation", t.translation.data());
      AppendField(out, "example", t.example.data());
      AppendField(out, "pronunciation", t.pronunciation.data());
      AppendNumber(out, "attribute", t.attribute);
      AppendNumber(out, "indexEntry", hit->indexEntry);
      AppendNumber(out, "block", hit->block);
      AppendNumber(out, "recordOffset", hit->recordOffset, true);
      out += '}';
    } else {
      char number[32];
      std::snprintf(number, sizeof number, "%6u  ", i + 1);
      out += number;
      out += Utf8(DisplayHeadword(t.headword.data(), reader.GetVersionMajor()));
      if (t.pronunciation[0] != 0) out += "  [" + Utf8(t.pronunciation.data()) + "]";
      if (t.attribute > 0) out += "  (attribute " + std::to_string(t.attribute) + ")";
      out += "\n        " + Utf8(t.translation.data()) + "\n";
      if (t.example[0] != 0) out += "        / " + Utf8(t.example.data()) + "\n";
    }
    if (out.size() > (1 << 16)) {
      WriteOut(out);
      out.clear();
    }
  }
  if (json) {
    out += count > 0 ? "\n]}\n" : "]}\n";
  } else if (count == 0) {
    out += "no hits\n";
  } else if (truncated) {
    out += "(list cut at " + std::to_string(count) + " hits; --limit 0 lists all)\n";
  }
  WriteOut(out);
  return FinishStdout();
}

int Dump(const std::vector<const char*>& args) {
  const char* dict = nullptr;
  bool json = false;
  for (const char* arg : args) {
    if (std::strcmp(arg, "--json") == 0) {
      json = true;
    } else if (arg[0] == '-' && arg[1] == '-') {
      return Usage("dump takes --json only");
    } else if (dict == nullptr) {
      dict = arg;
    } else {
      return Usage("dump takes one dictionary");
    }
  }
  if (dict == nullptr || !json) return Usage("usage is: kebu dump DICT --json");
  DicReader reader;
  if (!OpenDictionary(reader, dict)) return kExitFailure;
  TextBuffers t;
  RecordPosition position;
  std::string out;
  if (reader.Rewind() == 0) {
    while (t.ReadNext(reader, &position) == 0) {
      out += '{';
      AppendNumber(out, "indexEntry", position.indexEntry);
      AppendNumber(out, "block", position.block);
      AppendNumber(out, "recordOffset", position.recordOffset);
      AppendField(out, "headword", t.headword.data());
      AppendField(out, "translation", t.translation.data());
      AppendField(out, "example", t.example.data());
      AppendField(out, "pronunciation", t.pronunciation.data());
      AppendNumber(out, "attribute", t.attribute, true);
      out += "}\n";
      if (out.size() > (1 << 20)) {
        if (!WriteOut(out)) break;
        out.clear();
      }
    }
  }
  WriteOut(out);
  return FinishStdout();
}

// Progress on a terminal: records done of nword, percent, rate.
class ProgressBar {
 public:
  ProgressBar(const ExportStats* stats, int32_t nword)
      : stats_(stats), nword_(nword), start_(Clock::now()), last_(start_) {}

  void Tick() {
    if ((++calls_ & 4095) != 0) return;
    const auto now = Clock::now();
    if (now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    Show(now, false);
  }
  void Finish() { Show(Clock::now(), true); }

 private:
  using Clock = std::chrono::steady_clock;
  void Show(Clock::time_point now, bool final) {
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? stats_->written / seconds : 0;
    char percent[16] = "";
    if (nword_ > 0) {
      std::snprintf(percent, sizeof percent, " %3lld%%",
                    static_cast<long long>(stats_->written * 100 / nword_));
    }
    std::fprintf(stderr, "\r%lld / %d records%s  %.0f records/s%s",
                 static_cast<long long>(stats_->written), nword_, percent, rate,
                 final ? "\n" : "");
  }
  const ExportStats* stats_;
  int32_t nword_;
  Clock::time_point start_;
  Clock::time_point last_;
  uint64_t calls_ = 0;
};

int Export(const std::vector<const char*>& args) {
  const char* dict = nullptr;
  const char* target = nullptr;
  long long stop = -1;
  for (size_t i = 0; i < args.size(); ++i) {
    if (std::strcmp(args[i], "--stop-after-entry") == 0) {
      if (i + 1 >= args.size() || !ParseInt(args[i + 1], &stop) || stop < 0 ||
          stop > INT32_MAX) {
        return Usage("--stop-after-entry takes an index entry number (0 or more)");
      }
      ++i;
    } else if (args[i][0] == '-' && args[i][1] == '-') {
      return Usage((std::string("unknown option ") + args[i]).c_str());
    } else if (dict == nullptr) {
      dict = args[i];
    } else if (target == nullptr) {
      target = args[i];
    } else {
      return Usage("export takes one dictionary and one output");
    }
  }
  if (dict == nullptr) return Usage("export needs a dictionary");
  DicReader reader;
  if (!OpenDictionary(reader, dict)) return kExitFailure;

  const bool toStdout = target == nullptr || std::strcmp(target, "-") == 0;
  const char* name = toStdout ? "standard output" : target;
  std::FILE* out = toStdout ? stdout : std::fopen(target, "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "kebu: %s: cannot create: %s\n", target, std::strerror(errno));
    return kExitFailure;
  }
  std::setvbuf(out, nullptr, _IONBF, 0);

  ExportStats stats;
  ExportHooks hooks;
  ExportOptions options;
  options.stopAfterEntry = static_cast<int32_t>(stop);
  const bool progress = isatty(STDERR_FILENO) != 0;
  ProgressBar bar(&stats, reader.GetHeader().nword());
  if (progress) hooks.pump = [&bar] { bar.Tick(); };

  ExportResult result = ExportToStream(reader, out, hooks, options, &stats);
  if (progress) bar.Finish();
  if (!toStdout && std::fclose(out) != 0 && result == ExportResult::kDone) {
    stats.error = std::strerror(errno);
    result = ExportResult::kWriteError;
  }
  switch (result) {
    case ExportResult::kDone:
      return kExitOk;
    case ExportResult::kNothingToRead:
      // An empty dictionary exports to an empty file.
      return kExitOk;
    case ExportResult::kWriteError:
      std::fprintf(stderr, "kebu: %s: write failed: %s\n", name, stats.error.c_str());
      return kExitFailure;
    case ExportResult::kCannotCreate:
      break;
  }
  std::fprintf(stderr, "kebu: %s: cannot create: %s\n", name, stats.error.c_str());
  return kExitFailure;
}

}  // namespace
}  // namespace kebu

int main(int argc, char** argv) {
  if (argc < 2) return kebu::Usage(nullptr);
  const std::string command = argv[1];
  const std::vector<const char*> args(argv + 2, argv + argc);
  if (command == "header") return kebu::Header(args);
  if (command == "lookup") return kebu::Lookup(args);
  if (command == "dump") return kebu::Dump(args);
  if (command == "export") return kebu::Export(args);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kebu::kUsage, stdout);
    return 0;
  }
  return kebu::Usage(("unknown command " + command).c_str());
}

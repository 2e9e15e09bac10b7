// kebu make: a dictionary file from a word list (TSV, CSV, EDICT or JSON Lines).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>

#include "cli/commands.h"
#include "dictionary/limits.h"
#include "export/atomic_output.h"
#include "writer/dic_writer.h"
#include "writer/list_records.h"
#include "writer/word_list.h"

namespace kebu::cli {

namespace {

using writer::Encoding;
using writer::ListFormat;

// The whole file at `path`; a cancel ends a read that waits (a FIFO) with
// "cancelled".
bool ReadWholeFile(const char* path, const std::atomic<bool>& cancel, std::string* bytes,
                   std::string* problem) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    *problem = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    *problem = "is a folder";
    return false;
  }
  bytes->clear();
  if (S_ISREG(st.st_mode)) bytes->reserve(static_cast<size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    if (cancel.load()) {
      *problem = "cancelled";
      ::close(fd);
      return false;
    }
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *problem = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool SameFile(const char* a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a, &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// The list's format from its file name: .tsv, .csv, .jsonl, else EDICT
// (whose files have no extension: edict, enamdict).
ListFormat FormatOf(const std::string& path) {
  if (path.ends_with(".tsv")) return ListFormat::kTsv;
  if (path.ends_with(".csv")) return ListFormat::kCsv;
  if (path.ends_with(".jsonl")) return ListFormat::kJsonl;
  return ListFormat::kEdict;
}

int Fail(const std::string& path, const std::string& problem) {
  SayProblem(path + ": " + problem);
  return kExitFailure;
}

int FailAt(const char* path, size_t line, const std::string& problem) {
  SayProblem(std::string(path) + ":" + std::to_string(line) + ": " + problem);
  return kExitFailure;
}

// 1,027 as the messages write numbers.
std::string Grouped(size_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// The first record whose headword (in version 6 its search form, TAB and
// headword) is longer encoded than a dictionary holds: false, with its line
// and what is wrong. Checked before the build, whose record areas a
// headword of megabytes would overflow first.
bool HeadwordsFit(const writer::WordList& list, Encoding encoding, size_t* badLine,
                  std::string* problem) {
  for (size_t i = 0; i < list.records.size(); ++i) {
    const std::string& headword = list.records[i].headword;
    // A character takes at most three times its UTF-8 bytes in BOCU-1.
    if (headword.size() * 3 <= kMaxHeadwordBytes) continue;
    const size_t bytes = writer::EncodeText(encoding, headword).size();
    if (bytes <= kMaxHeadwordBytes) continue;
    const bool v6 = headword.find('\t') != std::string::npos;
    *badLine = list.lines[i];
    *problem = std::string(v6 ? "the search form, TAB and headword take " : "the headword takes ") +
               Grouped(bytes) + " bytes in " +
               (encoding == Encoding::kCp932 ? "code page 932" : "BOCU-1") +
               "; a dictionary holds at most " + Grouped(kMaxHeadwordBytes) +
               (v6 ? " for the three together" : "");
    return false;
  }
  return true;
}

// A value of an option among its choices: the index of `value` in
// `choices` (written in the order of the enum they stand for), or -1.
int Choice(const char* value, std::initializer_list<const char*> choices) {
  int i = 0;
  for (const char* c : choices) {
    if (std::strcmp(value, c) == 0) return i;
    ++i;
  }
  return -1;
}

int RunMake(const std::vector<const char*>& argv) {
  Args args;
  std::string problem;
  if (!args.Parse(argv, {{"--from", true}, {"--encoding", true}, {"--version", true},
                         {"--input-encoding", true}, {"--header", false}, {"--no-escapes", false},
                         {"--index-readings", false}, {"--replace", false}},
                  &problem)) {
    return Usage(kMakeCommand, problem);
  }
  if (args.Operands().size() != 2) return Usage(kMakeCommand, "make takes a word list and an output");
  const char* in = args.Operands()[0];
  const std::string out = args.Operands()[1];
  if (out.empty()) return Usage(kMakeCommand, "the output's name is empty");
  const bool toStdout = out == "-";
  if (toStdout && StdoutIsTerminal()) {
    return Usage(kMakeCommand, "a dictionary is not written to a terminal (- is for a pipe or a file)");
  }
  const std::string outName = toStdout ? "standard output" : out;
  writer::ListOptions listOptions;
  listOptions.format = FormatOf(in);
  if (const char* from = args.Value("--from")) {
    const int f = Choice(from, {"tsv", "csv", "edict", "jsonl"});
    if (f < 0) return Usage(kMakeCommand, "--from takes tsv, csv, edict or jsonl");
    listOptions.format = static_cast<ListFormat>(f);
  }
  if (const char* name = args.Value("--input-encoding")) {
    const int e = Choice(name, {"utf-8", "euc-jp", "shift_jis", "utf-16"});
    if (e < 0) return Usage(kMakeCommand, "--input-encoding takes utf-8, euc-jp, shift_jis or utf-16");
    listOptions.encoding = static_cast<writer::InputEncoding>(e + 1);
  }
  const bool table = listOptions.format == ListFormat::kTsv || listOptions.format == ListFormat::kCsv;
  listOptions.header = args.Has("--header");
  listOptions.escapes = !args.Has("--no-escapes");
  if (listOptions.header && !table) return Usage(kMakeCommand, "--header is for tsv and csv lists");
  if (!listOptions.escapes && listOptions.format != ListFormat::kTsv) {
    return Usage(kMakeCommand, "--no-escapes is for tsv lists");
  }
  const char* encodingName = args.Value("--encoding");
  const char* versionName = args.Value("--version");
  if (encodingName != nullptr && Choice(encodingName, {"cp932", "bocu1"}) < 0) {
    return Usage(kMakeCommand, "--encoding takes cp932 or bocu1");
  }
  if (versionName != nullptr && Choice(versionName, {"5", "6"}) < 0) {
    return Usage(kMakeCommand, "--version takes 5 or 6");
  }
  // Each defaults to what goes with the other: BOCU-1 with version 6.
  const bool bocu = encodingName != nullptr ? std::strcmp(encodingName, "bocu1") == 0
                                            : versionName != nullptr && versionName[0] == '6';
  const bool v6 = versionName != nullptr ? versionName[0] == '6' : bocu;
  const Encoding encoding = bocu ? Encoding::kBocu1 : Encoding::kCp932;
  if (!toStdout && SameFile(in, out)) return Fail(out, "is the word list; choose another file");

  const std::atomic<bool>* cancel = InstallCancelHandlers();
  const char* const kCancelled = "cancelled; nothing was written";
  SayWhenCancelled("kebu: " + outName + ": " + kCancelled);
  try {
    std::string bytes;
    if (!ReadWholeFile(in, *cancel, &bytes, &problem)) {
      return cancel->load() ? Fail(outName, kCancelled) : Fail(in, problem);
    }
    size_t badLine = 0;
    Result<writer::WordList> read = writer::ReadWordList(bytes, listOptions, &badLine);
    if (!read.IsOk()) {
      std::string message = read.GetStatus().Message();
      if (!args.Has("--from") && listOptions.format == ListFormat::kEdict && badLine == 1) {
        message += " (read as EDICT; --from tsv, csv or jsonl says otherwise)";
      }
      return badLine > 0 ? FailAt(in, badLine, message) : Fail(in, message);
    }
    bytes = std::string();
    writer::WordList list = std::move(*read);
    if (args.Has("--index-readings")) writer::AddReadingEntries(&list, v6);
    writer::SetHeadwordForms(&list, v6);
    if (const Status texts = writer::CheckTexts(list, encoding, &badLine); !texts.IsOk()) {
      return FailAt(in, badLine, texts.Message());
    }
    if (!HeadwordsFit(list, encoding, &badLine, &problem)) return FailAt(in, badLine, problem);
    if (cancel->load()) return Fail(outName, kCancelled);
    writer::Options options;
    options.version = v6 ? 0x0600 : 0x0500;
    options.encoding = encoding;
    options.block_size = 1024;
    options.areaBlocks = 4;
    options.autoIndex32 = true;
    options.recordLayout = false;
    const size_t count = list.records.size();
    const std::vector<uint32_t> lines = std::move(list.lines);
    const Result<writer::BuiltDictionary> built = writer::BuildDictionary(std::move(list.records), options);
    if (!built.IsOk()) return Fail(in, built.GetStatus().Message());
    const writer::BuiltDictionary& dic = *built;
    if (dic.substitutions > 0 && !args.Has("--replace")) {
      return FailAt(in, lines[*dic.firstSubstituted],
                    std::to_string(dic.substitutions) +
                        " characters that code page 932 does not have, the first on this "
                        "line; --replace writes '?' for them, --encoding bocu1 keeps them");
    }
    if (cancel->load()) return Fail(outName, kCancelled);
    AtomicOutput output;
    output.SetCancel(cancel);
    Status written;
    if (toStdout) {
      std::fflush(stdout);
      output.CreateOn(STDOUT_FILENO);
    } else {
      written = output.Create(out);
    }
    if (written.IsOk()) written = output.Write(dic.bytes.data(), dic.bytes.size());
    if (written.IsOk() && cancel->load()) written = Status::Cancelled();
    if (written.IsOk()) written = output.Commit();
    if (written.Code() == StatusCode::kCancelled) return Fail(outName, kCancelled);
    if (!written.IsOk()) return Fail(outName, written.Message());
    if (StderrIsTerminal()) {
      std::fprintf(stderr, "kebu: %s: %zu records, %zu bytes%s\n", outName.c_str(), count,
                   dic.bytes.size(),
                   dic.substitutions > 0
                       ? (", " + std::to_string(dic.substitutions) + " characters replaced by '?'")
                             .c_str()
                       : "");
    }
    return kExitOk;
  } catch (const std::bad_alloc&) {
    return Fail(in, "out of memory");
  } catch (const std::exception& e) {
    return Fail(in, e.what());
  }
}

}  // namespace

const Command kMakeCommand = {
    "make",
    "kebu make IN OUT|- [--from tsv|csv|edict|jsonl] [--input-encoding E] [--header] "
    "[--no-escapes] [--index-readings] [--encoding cp932|bocu1] [--version 5|6] [--replace]",
    "Makes the dictionary file OUT from the word list IN: records sorted as lookup\n"
    "compares them, headwords prefix-compressed, 1,024-byte blocks.\n"
    "  --from FORMAT   tsv: headword, translation[, example[, pronunciation[,\n"
    "                  attribute]]] a line, TAB between them, \\t \\n \\r \\\\ in\n"
    "                  the texts (what kebu convert --to tsv writes); csv: the\n"
    "                  same columns separated by commas, \"quoted\" fields with\n"
    "                  commas, line breaks and \"\" inside (RFC 4180); edict:\n"
    "                  EDICT or EDICT2 lines, WORD;WORD [READING;READING] /gloss/,\n"
    "                  one record per headword with its readings, markers such as\n"
    "                  (P) and the EntL number left out; jsonl: what kebu dump\n"
    "                  --json prints. Default: by IN's name: .tsv, .csv, .jsonl,\n"
    "                  anything else EDICT\n"
    "  --input-encoding E  utf-8, euc-jp, shift_jis (code page 932) or utf-16.\n"
    "                  Default: a byte order mark decides, else UTF-8 or EUC-JP,\n"
    "                  whichever reads the whole list. Line ends: LF, CR LF, CR\n"
    "  --header        the first line of a TSV or CSV list names the columns, in\n"
    "                  any order: headword (word, 見出し), translation (meaning,\n"
    "                  訳語, 意味), example (例文), pronunciation (reading, 読み),\n"
    "                  attribute (属性). Without it a first line of such names\n"
    "                  is taken as the header all the same\n"
    "  --no-escapes    a backslash in a TSV list is text (C:\\dic), not an escape\n"
    "  --index-readings  a record with a pronunciation is also found by each of\n"
    "                  its readings (separated by ';'): version 6 adds an entry\n"
    "                  whose search form is the reading and whose headword is the\n"
    "                  record's; version 5 an entry whose headword is the reading\n"
    "                  and whose translation is 【headword】 and the translation\n"
    "  --encoding E    cp932 or bocu1 (default: bocu1 with --version 6, else cp932)\n"
    "  --version V     5 or 6 (default: 6 with --encoding bocu1, else 5). Version 6\n"
    "                  stores each headword as its folded search form, a TAB and\n"
    "                  the headword; a headword that holds a TAB is taken as that\n"
    "                  (version 5 keeps what follows the TAB)\n"
    "  --replace       write '?' for characters that code page 932 does not have\n"
    "                  (without it they fail the make, naming the first line)\n"
    "A bad line fails the make with its line number (kebu: IN:12: ...), and so\n"
    "does a text a dictionary cannot hold: a NUL character, or a translation,\n"
    "example or pronunciation over 65,535 bytes encoded, or a headword over\n"
    "1,027 (in version 6 its search form, TAB and headword together). OUT is\n"
    "made when complete, so that a failed or interrupted make leaves nothing\n"
    "behind; \"-\" writes the dictionary to standard output (not a terminal).\n",
    RunMake};

}  // namespace kebu::cli

// kebu make: a dictionary file from a word list (TSV, EDICT or JSON Lines).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "cli/commands.h"
#include "dictionary/limits.h"
#include "export/atomic_output.h"
#include "writer/dic_writer.h"
#include "writer/word_list.h"

namespace kebu::cli {

namespace {

using writer::Encoding;
using writer::ListFormat;

bool ReadWholeFile(const char* path, std::string* bytes, std::string* problem) {
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

// The list's format from its file name: .tsv, .jsonl, else EDICT (whose
// files have no extension: edict, enamdict).
ListFormat FormatOf(const std::string& path) {
  if (path.ends_with(".tsv")) return ListFormat::kTsv;
  if (path.ends_with(".jsonl")) return ListFormat::kJsonl;
  return ListFormat::kEdict;
}

int Fail(const char* path, const std::string& problem) {
  std::fprintf(stderr, "kebu: %s: %s\n", path, problem.c_str());
  return kExitFailure;
}

int FailAt(const char* path, size_t line, const std::string& problem) {
  std::fprintf(stderr, "kebu: %s:%zu: %s\n", path, line, problem.c_str());
  return kExitFailure;
}

int RunMake(const std::vector<const char*>& argv) {
  Args args;
  std::string problem;
  if (!args.Parse(argv, {{"--from", true}, {"--encoding", true}, {"--version", true},
                         {"--replace", false}},
                  &problem)) {
    return Usage(kMakeCommand, problem);
  }
  if (args.Operands().size() != 2) return Usage(kMakeCommand, "make takes a word list and an output");
  const char* in = args.Operands()[0];
  const std::string out = args.Operands()[1];
  ListFormat format = FormatOf(in);
  if (const char* from = args.Value("--from")) {
    const std::string f = from;
    if (f == "tsv") {
      format = ListFormat::kTsv;
    } else if (f == "edict") {
      format = ListFormat::kEdict;
    } else if (f == "jsonl") {
      format = ListFormat::kJsonl;
    } else {
      return Usage(kMakeCommand, "--from takes tsv, edict or jsonl");
    }
  }
  const char* encodingName = args.Value("--encoding");
  const char* versionName = args.Value("--version");
  if (encodingName != nullptr && std::strcmp(encodingName, "cp932") != 0 &&
      std::strcmp(encodingName, "bocu1") != 0) {
    return Usage(kMakeCommand, "--encoding takes cp932 or bocu1");
  }
  if (versionName != nullptr && std::strcmp(versionName, "5") != 0 &&
      std::strcmp(versionName, "6") != 0) {
    return Usage(kMakeCommand, "--version takes 5 or 6");
  }
  // Each defaults to what goes with the other: BOCU-1 with version 6.
  const bool bocu = encodingName != nullptr ? std::strcmp(encodingName, "bocu1") == 0
                                            : versionName != nullptr && versionName[0] == '6';
  const bool v6 = versionName != nullptr ? versionName[0] == '6' : bocu;
  if (out != "-" && SameFile(in, out)) return Fail(out.c_str(), "is the word list; choose another file");

  const std::atomic<bool>* cancel = InstallCancelHandlers();
  std::string bytes;
  if (!ReadWholeFile(in, &bytes, &problem)) return Fail(in, problem);
  writer::WordList list;
  size_t badLine = 0;
  try {
    if (const Status read = writer::ReadWordList(bytes, format, &list, &badLine); !read.IsOk()) {
      if (badLine == 0) return Fail(in, read.Message());
      std::string message = read.Message();
      if (!args.Has("--from") && format == ListFormat::kEdict && badLine == 1) {
        message += " (read as EDICT; --from tsv or --from jsonl says otherwise)";
      }
      return FailAt(in, badLine, message);
    }
    bytes = std::string();
    if (v6) {
      // "folded search form<TAB>display form"; a headword with a TAB is
      // taken as that already (what convert --to tsv writes when the two
      // do not go together so).
      for (writer::Record& r : list.records) {
        if (r.headword.find('\t') == std::string::npos) r.headword = writer::V6Headword(r.headword);
      }
    }
    writer::Options options;
    options.version = v6 ? 0x0600 : 0x0500;
    options.encoding = bocu ? Encoding::kBocu1 : Encoding::kCp932;
    options.block_size = 1024;
    options.areaBlocks = 4;
    options.autoIndex32 = true;
    options.recordLayout = false;
    options.maxHeadwordBytes = kMaxHeadwordBytes;
    const size_t count = list.records.size();
    const std::vector<uint32_t> lines = std::move(list.lines);
    const Result<writer::BuiltDictionary> built = writer::BuildDictionary(std::move(list.records), options);
    if (!built.IsOk()) return Fail(in, built.GetStatus().Message());
    const writer::BuiltDictionary& dic = *built;
    if (dic.firstLongHeadword) {
      return FailAt(in, lines[*dic.firstLongHeadword],
                    "the headword is longer than the " + std::to_string(kMaxHeadwordBytes) +
                        " bytes a dictionary holds");
    }
    if (dic.substitutions > 0 && !args.Has("--replace")) {
      return FailAt(in, lines[*dic.firstSubstituted],
                    std::to_string(dic.substitutions) +
                        " characters that code page 932 does not have, the first on this "
                        "line; --replace writes '?' for them, --encoding bocu1 keeps them");
    }
    if (cancel->load()) return Fail(out.c_str(), "cancelled; nothing was written");
    AtomicOutput output;
    Status written = output.Create(out);
    if (written.IsOk()) written = output.Write(dic.bytes.data(), dic.bytes.size());
    if (written.IsOk() && cancel->load()) written = Status::Cancelled("cancelled; nothing was written");
    if (written.IsOk()) written = output.Commit();
    if (!written.IsOk()) return Fail(out.c_str(), written.Message());
    if (StderrIsTerminal()) {
      std::fprintf(stderr, "kebu: %s: %zu records, %zu bytes%s\n", out.c_str(), count,
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
    "kebu make IN OUT [--from tsv|edict|jsonl] [--encoding cp932|bocu1] [--version 5|6] "
    "[--replace]",
    "Makes the dictionary file OUT from the word list IN: records sorted as lookup\n"
    "compares them, headwords prefix-compressed, 1,024-byte blocks.\n"
    "  --from FORMAT   tsv: headword, translation[, example[, pronunciation[,\n"
    "                  attribute]]] a line, TAB between them, \\t \\n \\r \\\\ in\n"
    "                  the texts (what kebu convert --to tsv writes; a first line\n"
    "                  of column names is passed over); edict: the EDICT format in\n"
    "                  EUC-JP; jsonl: what kebu dump --json prints. Default: by\n"
    "                  IN's name: .tsv, .jsonl, anything else EDICT\n"
    "  --encoding E    cp932 or bocu1 (default: bocu1 with --version 6, else cp932)\n"
    "  --version V     5 or 6 (default: 6 with --encoding bocu1, else 5). Version 6\n"
    "                  stores each headword as its folded search form, a TAB and\n"
    "                  the headword; a headword that holds a TAB is taken as that\n"
    "  --replace       write '?' for characters that code page 932 does not have\n"
    "                  (without it they fail the make, naming the first line)\n"
    "A bad line fails the make with its line number (kebu: IN:12: ...). OUT is\n"
    "written under a temporary name and renamed when complete.\n",
    RunMake};

}  // namespace kebu::cli

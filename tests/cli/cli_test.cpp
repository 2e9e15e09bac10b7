// The command-line tool run as a program: usage and exit codes, its output
// against the library's answers, text made safe for terminals, and outputs
// that never destroy data.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <chrono>
#include <cstring>
#include <thread>

#include "export/plain_text_export.h"
#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

using nlohmann::json;

RunResult Kebu(const std::vector<std::string>& args, const RunOptions& options = {}) {
  return Run(KEBU_BINARY, args, options);
}

std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

struct Files {
  Files() {
    std::mt19937 random(4);
    records = RandomRecords(random, 300, true, true);
    records.push_back({.headword = V6Headword("-dash"),
                       .translation = "t\x1b]0;title\x07\x01\"\\\xc2\x9b\x7f", .example = "\x1b[2J"});
    Options o;
    o.encoding = Encoding::kBocu1;
    o.version = 0x0600;
    o.block_size = 128;
    WriteFile(dic, MakeDictionary(records, o).bytes);
    Options v3;
    v3.version = 0x0301;
    WriteFile(refused, MakeHeader(v3));
    ::mkfifo(fifo.c_str(), 0600);
  }
  TempDir dir;
  std::vector<Record> records;
  std::string dic = dir.File("t.dic"), refused = dir.File("v3.dic"), fifo = dir.File("fifo");
};

TEST(Kebu, UsageAndRefusalsGiveTheirExitCodes) {
  Files f;
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string says;  // found in standard error (or output, for status 0)
  };
  const Case cases[] = {
      {{}, 2, "usage:"},
      {{"--help"}, 0, "kebu lookup DICT KEY"},
      {{"lookup", "--help"}, 0, "--whole-word"},
      {{"export", f.dic, "x", "--help"}, 0, "--stop-after-entry"},
      {{"--version"}, 0, "kebu 1."},
      {{"nosuch"}, 2, "unknown command nosuch"},
      {{"lookup", f.dic}, 2, "a dictionary and a key"},
      {{"lookup", f.dic, "a", "--limit", "x"}, 2, "--limit takes a whole number"},
      {{"lookup", f.dic, "-a"}, 2, "unknown option -a"},
      {{"lookup", f.dic, "--json=1", "a"}, 2, "takes no value"},
      {{"lookup", f.dic, "\xff"}, 2, "not valid UTF-8"},
      {{"lookup", f.dic, "a\xe3\x81"}, 2, "not valid UTF-8"},
      {{"dump", f.dic}, 2, "--json"},
      {{"export"}, 2, "a dictionary and an output"},
      {{"export", f.dic, "a", "b"}, 2, "a dictionary and an output"},
      {{"export", f.dic, "--stop-after-entry", "-1"}, 2, "--stop-after-entry"},
      {{"header", f.dir.File("none.dic")}, 1, "No such file"},
      {{"header", f.fifo}, 1, "is a FIFO"},
      {{"lookup", f.refused, "a"}, 1, "version 3.01 below 4.00"},
      {{"export", f.dic, f.dic}, 1, "is the dictionary being read"},
      {{"export", f.dic, "/dev/full"}, 1, "write failed: No space left"},
      {{"export", f.dic, f.dir.path()}, 1, "is a folder"},
      {{"lookup", f.dic, "--", "-dash"}, 0, "-dash"},
      {{"export", f.dic, "/dev/stdout"}, 0, "[index=0 data=0:"},  // a pipe
      // An empty output's name is wrong usage, said before any work.
      {{"export", f.dic, ""}, 2, "the output's name is empty"},
      {{"convert", f.dic, "--to", "tsv", ""}, 2, "the output's name is empty"},
      {{"make", f.dic, ""}, 2, "the output's name is empty"},
  };
  const std::vector<uint8_t> before = ReadFile(f.dic);
  for (const Case& c : cases) {
    const RunResult r = Kebu(c.args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.says), std::string::npos)
        << ::testing::PrintToString(c.args) << "\n" << r.out << r.err;
    if (c.status == 1) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
  }
  EXPECT_EQ(ReadFile(f.dic), before);
  // Help that cannot be written is a failure; a dictionary is not written to
  // a terminal.
  for (const auto& args : {std::vector<std::string>{"--help"}, {"--version"}, {"lookup", "--help"}}) {
    EXPECT_EQ(Kebu(args, {.stdoutFile = "/dev/full"}).status, 1) << args[0];
  }
  EXPECT_EQ(Kebu({"make", f.dic, "-"}, {.terminal = true}).status, 2);
}

// Every option of every command changes what it should: with the option the
// output and "exit N" hold `expect` (or, for "!text", do not), without it
// not (or do). $D is a dictionary, $L a word list (its text `list`), $O an
// output; `then` is run after and its output checked too, and so is $O's
// folder.
TEST(Kebu, EveryOptionDoesWhatItSays) {
  TempDir dir;
  std::vector<Record> records = {{.headword = "ab", .translation = "x1"}, {.headword = "abc", .translation = "x2"},
                                 {.headword = "cat", .translation = "feline"}, {.headword = "Rail", .translation = "track"}};
  for (int i = 100; i < 120; ++i) records.push_back({.headword = "w" + std::to_string(i), .translation = "t"});
  WriteFile(dir.File("d.dic"), MakeDictionary(records, {.recordsPerArea = 1}).bytes);
  struct Case {
    std::vector<std::string> args, option;
    std::string expect;
    std::string list = "";
    std::vector<std::string> then = {};
  };
  const std::vector<std::string> dump = {"dump", "$O", "--json"}, header = {"header", "$O"};
  const Case cases[] = {
      {{"lookup", "$D", "ab"}, {"--whole-word"}, "!abc"},
      {{"lookup", "$D", "w1"}, {"--limit", "1"}, "!     2  "},
      {{"lookup", "$D", "ab"}, {"--json"}, "\"count\": 2"},
      {{"lookup", "$D", "abx"}, {"--similar"}, "abc"},
      {{"lookup", "$D", "a?c"}, {"--glob"}, "abc"},
      {{"lookup", "$D", "cats"}, {"--forms"}, "feline"},
      {{"search", "$D", "rail"}, {"--exact"}, "!track"},
      {{"search", "$D", "w1"}, {"--limit", "1"}, "!     2  "},
      {{"search", "$D", "feline"}, {"--json"}, "\"in\": [\"translation\"]"},
      {{"dump", "$D"}, {"--json"}, "\"headword\": \"cat\""},
      {{"export", "$D", "-"}, {"--stop-after-entry", "0"}, "]\nab\nx1\nexit 0"},  // entry 0, then 1's first
      {{"convert", "$D", "-"}, {"--to", "jsonl"}, "{\"indexEntry\": 0"},
      {{"convert", "$D", "--to", "stardict", "$O"}, {"--name", "Named"}, "Named.ifo"},
      {{"make", "$L", "$O"}, {"--from", "tsv"}, "\"translation\": \"b\"", "a\tb\n", dump},
      {{"make", "$L", "$O"}, {"--encoding", "bocu1"}, "BOCU-1", "a\tb\n", header},
      {{"make", "$L", "$O"}, {"--version", "6"}, "version = 6.00", "a\tb\n", header},
      {{"make", "$L", "$O"}, {"--input-encoding", "shift_jis"}, "\"translation\": \"あ\"", "a\t\x82\xa0\n", dump},
      {{"make", "$L", "$O"}, {"--header"}, "exit 1", "word\tfoo\nabc\tdef\n", dump},
      {{"make", "$L", "$O"}, {"--no-escapes"}, "\"translation\": \"C:\\\\dic\"", "a\tC:\\dic\n", dump},
      {{"make", "$L", "$O"}, {"--index-readings"}, "to eat", "食べる\tto eat\t\tたべる\n", {"lookup", "$O", "たべる"}},
      {{"make", "$L", "$O"}, {"--replace"}, "x?y", "a\tx😀y\n", dump},
  };
  auto output = [&](const Case& c, bool withOption) {
    std::filesystem::remove_all(dir.File("out"));
    std::vector<std::string> args = c.args;
    if (withOption) args.insert(args.end(), c.option.begin(), c.option.end());
    std::string seen;
    for (std::vector<std::string> command : {args, c.then}) {
      if (command.empty()) continue;
      const bool first = seen.empty();
      // The list is named .tsv but where --from is to say what it is.
      const std::string list = c.option[0] == "--from" ? "l.txt" : "l.tsv";
      for (std::string& a : command) {
        if (a[0] == '$') a = dir.File(a == "$D" ? "d.dic" : a == "$L" ? list : "out");
      }
      const RunResult r = Kebu(command);
      seen += r.out + (first ? "exit " + std::to_string(r.status) + "\n" : "");
    }
    if (std::filesystem::is_directory(dir.File("out"))) seen += ::testing::PrintToString(Entries(dir.File("out")));
    return seen;
  };
  for (const Case& c : cases) {
    for (const char* name : {"l.tsv", "l.txt"}) WriteFile(dir.File(name), c.list);
    const bool absent = c.expect[0] == '!';
    const std::string text = c.expect.substr(absent ? 1 : 0);
    const std::string with = output(c, true), without = output(c, false);
    EXPECT_EQ(with.find(text) == std::string::npos, absent) << c.args[0] << " " << c.option[0] << "\n" << with;
    EXPECT_EQ(without.find(text) == std::string::npos, !absent) << c.args[0] << " " << c.option[0] << " left out\n" << without;
  }
}

TEST(Kebu, LookupAndDumpSayWhatTheLibrarySays) {
  Files f;
  DicReader reader;
  ASSERT_TRUE(reader.Open(f.dic).IsOk());
  for (const std::string key : {"", "a", "ab", "か", "AB"}) {
    for (const int limit : {0, 5}) {
      bool truncated = false;
      const std::vector<Texts> hits = LookupAll(reader, key, false, limit, &truncated, kWindowCapacities);
      const RunResult r = Kebu({"lookup", f.dic, key, "--json", "--limit", std::to_string(limit)});
      ASSERT_EQ(r.status, 0) << r.err;
      const json j = json::parse(r.out);
      EXPECT_EQ(j["count"], hits.size());
      EXPECT_EQ(j["truncated"], truncated);
      ASSERT_EQ(j["hits"].size(), hits.size());
      for (size_t i = 0; i < hits.size(); ++i) {
        const json& h = j["hits"][i];
        EXPECT_EQ((Texts{h["headword"], h["translation"], h["example"], h["pronunciation"],
                         h["attribute"], {h["indexEntry"], h["block"], h["recordOffset"]}}),
                  hits[i]);
      }
    }
  }
  const std::vector<Texts> all = ReadAll(reader, kWindowCapacities);
  const RunResult dump = Kebu({"dump", f.dic, "--json"});
  ASSERT_EQ(dump.status, 0);
  std::istringstream lines(dump.out);
  std::string line;
  for (const Texts& t : all) {
    ASSERT_TRUE(std::getline(lines, line));
    const json h = json::parse(line);
    EXPECT_EQ((Texts{h["headword"], h["translation"], h["example"], h["pronunciation"],
                     h["attribute"], {h["indexEntry"], h["block"], h["recordOffset"]}}), t);
  }
  EXPECT_FALSE(std::getline(lines, line));
}

TEST(Kebu, TextForPeopleDoesNotDriveTheTerminal) {
  Files f;
  const RunResult piped = Kebu({"lookup", f.dic, "--", "-dash"});
  EXPECT_NE(piped.out.find("t\x1b]0;title\x07\x01\"\\"), std::string::npos) << piped.out;
  const RunResult shown = Kebu({"lookup", f.dic, "--", "-dash"}, {.terminal = true});
  EXPECT_NE(shown.out.find("t\\x1b]0;title\\x07\\x01\"\\\\u009b\\x7f"), std::string::npos) << shown.out;
  // Whatever a command writes to a terminal: no C0 but TAB, LF and CR (the
  // terminal's own line ends), no DEL, no C1 (UTF-8 C2 80 to C2 9F).
  const std::string list = f.dir.File("bad.tsv");
  WriteFile(list, "a\tb\t\t\t1\x1b[2J\xc2\x9b\n");
  const std::vector<std::vector<std::string>> commands = {
      {"lookup", f.dic, "--", "-dash"}, {"lookup", f.dic, "--json", "--", "-dash"},
      {"search", f.dic, "title"},       {"search", f.dic, "title", "--json"},
      {"export", f.dic, "-"},           {"export", f.dic, "/dev/stdout"},
      {"dump", f.dic, "--json"},        {"convert", f.dic, "--to", "tsv", "-"},
      {"convert", f.dic, "--to", "jsonl", "/dev/stdout"},
      {"make", list, f.dir.File("bad.dic")}};
  for (const auto& command : commands) {
    const RunResult r = Kebu(command, {.terminal = true});
    EXPECT_NE(r.out.find(command[0] == "make" ? "\\x1b[2J\\u009b" : "title"), std::string::npos)
        << command[0] << " " << command.back() << "\n" << r.out;
    bool raw = false;
    for (size_t i = 0; i < r.out.size(); ++i) {
      const auto u = static_cast<unsigned char>(r.out[i]);
      const auto next = static_cast<unsigned char>(i + 1 < r.out.size() ? r.out[i + 1] : 0);
      raw |= (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0x7F ||
             (u == 0xC2 && next >= 0x80 && next <= 0x9F);
    }
    EXPECT_FALSE(raw)
        << command[0] << " " << command.back() << "\n" << r.out;
  }
  // Progress goes to a terminal's standard error, and ends with the count.
  const RunResult exported = Kebu({"export", f.dic, "-"}, {.terminal = true});
  EXPECT_NE(exported.out.find("\r301 / 301 records 100%"), std::string::npos) << exported.out;
  const RunResult searched = Kebu({"search", f.dic, "a"}, {.terminal = true});
  EXPECT_NE(searched.out.find(" entries"), std::string::npos) << searched.out;
}

TEST(Kebu, ExportWritesTheLibrarysBytesThroughATemporaryFile) {
  Files f;
  DicReader reader;
  ASSERT_TRUE(reader.Open(f.dic).IsOk());
  ASSERT_TRUE(ExportPlainText(reader.Source(), f.dir.File("library.txt"), {}, {-1}).IsOk());
  // A name that is not UTF-8 is passed through; a file whose name holds
  // U+FFFD in its place is another file.
  const std::string odd = f.dir.File("out\xE9.txt"), other = f.dir.File("out\xEF\xBF\xBD.txt");
  WriteFile(other, "other");
  std::filesystem::copy_file(f.dic, f.dir.File("t\xE9.dic"));
  ASSERT_EQ(Kebu({"export", f.dir.File("t\xE9.dic"), odd}).status, 0);
  EXPECT_EQ(ReadText(odd), ReadText(f.dir.File("library.txt")));
  EXPECT_EQ(ReadText(other), "other");
  const RunResult stop = Kebu({"export", f.dic, "--stop-after-entry", "2"});
  ASSERT_EQ(stop.status, 0);
  EXPECT_NE(stop.out.find("[index=3 "), std::string::npos);
  EXPECT_EQ(stop.out.find("[index=4 "), std::string::npos);
}

// kebu started with its standard output into a pipe that nobody reads
// until Drain (a reader that has stalled) and its standard error into a file.
struct Started {
  Started(const std::vector<std::string>& args, const std::filesystem::path& err) {
    int pipe[2];
    if (::pipe(pipe) != 0) throw std::runtime_error("pipe");
    pid = ::fork();
    if (pid == 0) {
      ::dup2(pipe[1], 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      std::vector<std::string> copies = args;
      std::vector<char*> argv{const_cast<char*>(KEBU_BINARY)};
      for (std::string& a : copies) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(KEBU_BINARY, argv.data());
      ::_exit(127);
    }
    ::close(pipe[1]);
    out = pipe[0];
  }
  ~Started() {
    if (pid > 0) ::kill(pid, SIGKILL), Wait(10);
    ::close(out);
  }
  bool Running() { return pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0; }
  // Until its output fills the pipe, or it holds a file open in `folder`
  // other than `except` (an output being made); false when it ended first.
  bool WaitUntilBlocked() {
    for (int queued = 0; Running(); ::usleep(1000)) {
      if (::ioctl(out, FIONREAD, &queued) == 0 && queued >= 65536) return true;
    }
    return false;
  }
  bool WaitUntilWritingIn(const std::filesystem::path& folder, const std::filesystem::path& except) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    while (Running()) {
      std::error_code e;
      for (const auto& fd : std::filesystem::directory_iterator(fds, e)) {
        const std::string to = std::filesystem::read_symlink(fd.path(), e).string();
        if (to.starts_with(folder.string() + "/") && to != except.string()) return true;
      }
    }
    return false;
  }
  // The exit status (128 + signal), once it ended within `seconds`; -1 if not.
  int Wait(double seconds) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
         std::chrono::steady_clock::now() < end; ::usleep(2000)) {
      if (pid > 0 && ::waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
    }
    return -1;
  }
  pid_t pid = -1;
  int out = -1;
  int status = 0;
};

// SIGINT, SIGTERM and SIGHUP end every command soon, also while it waits
// for a slow reader or a slow word list, with exit 1, an existing target as
// it was and nothing left behind; SIGKILL leaves nothing either, but for a
// StarDict folder, which the next conversion to the same target removes; a
// file size limit is a write error.
TEST(Kebu, SignalsAndLimitsEndEveryCommandAndLeaveNothing) {
  TempDir dir;
  std::mt19937 random(9);
  const std::string dic = dir.File("big.dic"), target = dir.File("out"), fifo = dir.File("list.fifo");
  WriteFile(dic, MakeDictionary(RandomRecords(random, 100000, false, false)).bytes);
  ::mkfifo(fifo.c_str(), 0600);
  TempDir logs;
  const std::string err = logs.File("err");
  struct Case {
    std::vector<std::string> args;
    bool intoFile;  // it makes `target`; else it writes into the stalled pipe
  };
  const Case cases[] = {
      {{"search", dic, "a", "--limit", "0"}, false},
      {{"lookup", dic, "", "--limit", "0", "--json"}, false},
      {{"dump", dic, "--json"}, false},
      {{"export", dic, "-"}, false},
      {{"convert", dic, "--to", "tsv", "-"}, false},
      {{"make", fifo, target, "--from", "tsv"}, false},  // waits for the rest of its list
      {{"export", dic, target}, true},
      {{"convert", dic, "--to", "jsonl", target}, true},
      {{"convert", dic, "--to", "stardict", target}, true},
  };
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(strsignal(signal)) + ": " + c.args[0] + " " + c.args[c.args.size() - 2]);
      const bool stardict = c.args.size() > 3 && c.args[3] == "stardict";
      std::filesystem::remove(target);
      if (c.intoFile && !stardict) WriteFile(target, "old");
      const std::vector<std::string> before = Entries(dir.path());
      Started run(c.args, err);
      int list = c.args[0] == "make" ? ::open(fifo.c_str(), O_WRONLY) : -1;
      if (list >= 0) {
        ASSERT_EQ(::write(list, "a\tb\n", 4), 4);
      }
      if (c.intoFile) {
        ASSERT_TRUE(run.WaitUntilWritingIn(dir.path(), dic));
      } else if (list < 0) {
        ASSERT_TRUE(run.WaitUntilBlocked());
      } else {
        ::usleep(50000);
      }
      ::kill(run.pid, SIGSTOP);  // no further than where it was caught
      ::kill(run.pid, signal);
      ::kill(run.pid, SIGCONT);
      EXPECT_EQ(run.Wait(3), signal == SIGKILL ? 128 + SIGKILL : 1);
      if (list >= 0) ::close(list);
      if (signal != SIGKILL) {
        EXPECT_NE(ReadText(err).find("cancelled"), std::string::npos) << ReadText(err);
      }
      if (signal == SIGKILL && stardict) {  // the next conversion clears up
        EXPECT_EQ(Kebu(c.args).status, 0);
        std::filesystem::remove_all(target);
      }
      EXPECT_EQ(Entries(dir.path()), before);
      if (c.intoFile && !stardict) {
        EXPECT_EQ(ReadText(target), "old");
      }
    }
  }
  // Under a file size limit (SIGXFSZ as the shell leaves it: killing) each
  // output fails as a write, and leaves nothing behind.
  ASSERT_EQ(Kebu({"convert", dic, "--to", "tsv", dir.File("list.tsv")}).status, 0);
  const std::vector<std::string> before = Entries(dir.path());
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"export", dic, target}, {"convert", dic, "--to", "stardict", target},
           {"make", dir.File("list.tsv"), target}, {"search", dic, "a", "--limit", "0"}}) {
    const RunResult r = Kebu(args, {.fileSizeKb = 64, .stdoutFile = args[0] == "search" ? target : ""});
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    std::filesystem::remove(target);
    EXPECT_EQ(Entries(dir.path()), before) << args[0];
  }
}

// A hit that cannot be read (the file cut while it is listed) fails the
// listing: exit 1, and the JSON left unfinished rather than counting hits it
// does not hold.
TEST(Kebu, AHitThatCannotBeReadFailsTheListing) {
  TempDir dir;
  std::mt19937 random(9);
  const std::string dic = dir.File("big.dic");
  WriteFile(dic, MakeDictionary(RandomRecords(random, 100000, false, false)).bytes);
  Started run({"lookup", dic, "", "--limit", "0", "--json"}, dir.File("err"));
  ASSERT_TRUE(run.WaitUntilBlocked());
  std::filesystem::resize_file(dic, std::filesystem::file_size(dic) / 3);
  std::string out;
  char buffer[65536];
  for (ssize_t n; (n = ::read(run.out, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  EXPECT_EQ(run.Wait(10), 1);
  EXPECT_NE(ReadText(dir.File("err")).find("could not be read"), std::string::npos);
  EXPECT_FALSE(json::accept(out)) << out.substr(out.size() - 200);
}

TEST(Kebu, OutputsSayHowManyDamagedAreasTheyPassedOver) {
  TempDir dir;
  std::vector<Record> records;
  for (int i = 0; i < 40; ++i) records.push_back({.headword = "w" + std::to_string(100 + i), .translation = "t"});
  Options o;
  o.block_size = 64;
  o.recordsPerArea = 4;
  BuiltDictionary built = MakeDictionary(records, o);
  for (const int area : {1, 6}) PutLe16(built.bytes, built.layout.areas[area].fileOffset, 0);
  const std::string dic = dir.File("d.dic");
  WriteFile(dic, built.bytes);
  const std::vector<std::vector<std::string>> commands = {
      {"export", dic, dir.File("out.txt")},
      {"convert", dic, "--to", "tsv", dir.File("out.tsv")},
      {"convert", dic, "--to", "jsonl", dir.File("out.jsonl")},
      {"convert", dic, "--to", "stardict", dir.File("sd")}};
  for (const auto& command : commands) {
    const RunResult r = Kebu(command);
    EXPECT_EQ(r.status, 0) << command[0] << " " << command.back();
    EXPECT_NE(r.err.find(": 2 damaged record areas passed over"), std::string::npos) << r.err;
  }
  const std::string tsv = ReadText(dir.File("out.tsv"));
  EXPECT_EQ(std::count(tsv.begin(), tsv.end(), '\n'), 32);
}

TEST(Kebu, RunningOutOfMemoryIsAFailure) {
#ifndef KEBU_SANITIZED
  TempDir dir;
  std::mt19937 random(9);
  const std::string dic = dir.File("big.dic");
  WriteFile(dic, MakeDictionary(RandomRecords(random, 100000, false, false)).bytes);
  // The least address space in which a lookup without hits runs, then 1 MB
  // more: far less than 100,000 hits need (about 6 MB).
  long enough = static_cast<long>(std::filesystem::file_size(KEBU_BINARY) / 2048);
  while (Kebu({"lookup", dic, "zzz"}, {.memoryKb = enough}).status != 0) enough += 256;
  const RunResult r = Kebu({"lookup", dic, "", "--limit", "0"}, {.memoryKb = enough + 1024});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("out of memory after"), std::string::npos) << r.err;
  // With little memory, where threads are refused too, the outputs and a
  // search fail with a message or succeed; never a crash, never a file left
  // behind.
  ASSERT_EQ(Kebu({"convert", dic, "--to", "tsv", dir.File("in.tsv")}).status, 0);
  // A search fails in a narrow band of limits (its hits no longer fit once
  // its threads have their stacks): it takes finer steps.
  const std::string out = dir.File("out");
  // A failure names what was being read.
  const std::pair<std::vector<std::string>, long> commands[] = {
      {{"convert", dic, "--to", "tsv", out}, 4096},
      {{"convert", dic, "--to", "stardict", out}, 4096},
      {{"make", dir.File("in.tsv"), out}, 4096},
      {{"make", "/dev/zero", out}, 8192},
      {{"dump", dic, "--json"}, 4096},
      {{"search", dic, "a", "--limit", "0"}, 1024}};
  for (const auto& [command, step] : commands) {
    for (long kb = enough; kb < enough + 40 * 1024; kb += step) {
      const RunResult low = Kebu(command, {.memoryKb = kb});
      EXPECT_TRUE(low.status == 0 || (low.status == 1 && low.err.rfind("kebu: " + command[1] + ": ", 0) == 0))
          << command[0] << " " << command.back() << " in " << kb << " KB: " << low.status << " " << low.err;
      std::filesystem::remove_all(out);
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << kb;
    }
  }
#endif
}

}  // namespace
}  // namespace kebu::testing

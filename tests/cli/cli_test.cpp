// The command-line tool run as a program: usage and exit codes, its output
// against the library's answers, text made safe for terminals, and outputs
// that never destroy data.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "export/plain_text_export.h"
#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

using nlohmann::json;

RunResult Kebu(const std::vector<std::string>& args, const RunOptions& options = {}) {
  return Run(KEBU_BINARY, args, options);
}

struct Files {
  Files() {
    std::mt19937 random(4);
    records = RandomRecords(random, 300, true, true);
    records.push_back({.headword = V6Headword("-dash"), .translation = "t\x1b]0;title\x07\x01\"\\"});
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
  EXPECT_NE(shown.out.find("t\\x1b]0;title\\x07\\x01\"\\"), std::string::npos) << shown.out;
  EXPECT_EQ(shown.out.find('\x1b'), std::string::npos);
  const RunResult exported = Kebu({"export", f.dic, "-"}, {.terminal = true});
  EXPECT_NE(exported.out.find("\\x1b]0;title"), std::string::npos);
  EXPECT_EQ(exported.out.find('\x1b'), std::string::npos);
  // Progress goes to a terminal's standard error, and ends with the count.
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

TEST(Kebu, InterruptedExportLeavesTheTargetAsItWas) {
  TempDir dir;
  std::mt19937 random(9);
  WriteFile(dir.File("big.dic"), MakeDictionary(RandomRecords(random, 100000, false, false)).bytes);
  const std::string target = dir.File("out.txt");
  WriteFile(target, "old");
  // Stopped the moment its temporary file appears, then terminated.
  const int watch = ::inotify_init1(0);
  ::inotify_add_watch(watch, dir.path().c_str(), IN_CREATE);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open("/dev/null", O_WRONLY), 2);
    ::execl(KEBU_BINARY, KEBU_BINARY, "export", dir.File("big.dic").c_str(), target.c_str(), nullptr);
    ::_exit(127);
  }
  char event[4096];
  ASSERT_GT(::read(watch, event, sizeof event), 0);
  ::kill(pid, SIGSTOP);
  ::kill(pid, SIGTERM);
  ::kill(pid, SIGCONT);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_EQ(ReadText(target), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  ::close(watch);
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
  const std::pair<std::vector<std::string>, long> commands[] = {
      {{"convert", dic, "--to", "tsv", out}, 4096},
      {{"convert", dic, "--to", "stardict", out}, 4096},
      {{"make", dir.File("in.tsv"), out}, 4096},
      {{"search", dic, "a", "--limit", "0"}, 1024}};
  for (const auto& [command, step] : commands) {
    for (long kb = enough; kb < enough + 40 * 1024; kb += step) {
      const RunResult low = Kebu(command, {.memoryKb = kb});
      EXPECT_TRUE(low.status == 0 || (low.status == 1 && low.err.rfind("kebu: ", 0) == 0))
          << command[0] << " " << command.back() << " in " << kb << " KB: " << low.status << " " << low.err;
      std::filesystem::remove_all(out);
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << kb;
    }
  }
#endif
}

}  // namespace
}  // namespace kebu::testing

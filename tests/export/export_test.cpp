// The plain-text export: its format byte for byte, its progress and stop
// rule, and output that never destroys data.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>

#include "export/atomic_output.h"
#include "export/json_text.h"
#include "export/plain_text_export.h"
#include "export/record_lines.h"
#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

// The export's lines for records as the reader returns them.
std::string Render(const std::vector<Texts>& records) {
  std::string out;
  for (const Texts& t : records) {
    out += "[index=" + std::to_string(t.position.indexEntry) + " data=" +
           std::to_string(t.position.block) + ":" + std::to_string(t.position.recordOffset) + "]\n";
    if (t.headword.empty()) continue;
    out += t.headword + "\n";
    if (t.translation.empty()) continue;
    out += t.translation + (t.example.empty() ? "" : " / " + t.example) + "\n";
  }
  return out;
}

TEST(Export, WritesEveryRecordInTheFormatOfItsLines) {
  std::mt19937 random(11);
  for (const Encoding e : {Encoding::kCp932, Encoding::kBocu1}) {
    std::vector<Record> records = RandomRecords(random, 400, e == Encoding::kBocu1, false);
    records.push_back({.headword = "", .translation = "no headword"});
    // Texts longer than the window's capacities are cut as the window cuts them.
    records.push_back({.headword = std::string(1027, 'h'), .translation = std::string(3100, 't'),
                       .example = std::string(20100, 'e')});
    records.push_back({.headword = "x\ny", .translation = "line\nbreak / kept", .example = e == Encoding::kBocu1 ? "😀" : "例"});
    Options o;
    o.encoding = e;
    o.block_size = 256;
    const BuiltDictionary built = MakeDictionary(records, o);
    Opened d(built.bytes);
    const std::string target = d.dir.File("out.txt").string();
    ExportStats stats;
    ASSERT_TRUE(ExportPlainText(d.reader.Source(), target, {}, {-1}, &stats).IsOk());
    // The long texts as the window shows them: BOCU-1 keeps one unit less.
    std::vector<Record> shown = records;
    Record& cut = shown[records.size() - 2];
    const size_t less = e == Encoding::kBocu1 ? 1 : 0;
    cut.headword.resize(1024 - less);
    cut.translation.resize(3000 - less);
    cut.example.resize(20000 - less);
    EXPECT_TRUE(SameText(ReadText(target), Render(Expected(built, shown))));
    EXPECT_EQ(stats.written, static_cast<int64_t>(records.size()));
    EXPECT_EQ(stats.bytes, ReadText(target).size());
  }
}

TEST(Export, ProgressCountsEveryRecordAndTheStopRuleEndsAfterEntry10000) {
  std::vector<Record> records;
  for (int i = 0; i < 10003; ++i) {
    records.push_back({.headword = "w" + std::to_string(100000 + i), .translation = i == 5 ? "" : "t"});
  }
  Options o;
  o.recordsPerArea = 1;
  Opened d(MakeDictionary(records, o).bytes);
  std::vector<std::string> titles;
  ExportHooks hooks;
  hooks.progress = [&](const ExportStats& s) { titles.push_back(ProgressTitle(s)); };
  ExportStats stats;
  ASSERT_TRUE(ExportPlainText(d.reader.Source(), d.dir.File("a.txt"), hooks, {}, &stats).IsOk());
  // Entries 0 to 10,000 whole, then the first record of entry 10,001.
  EXPECT_EQ(stats.written, 10002);
  EXPECT_TRUE(stats.stoppedByRule);
  ASSERT_EQ(titles.size(), 11u);
  EXPECT_EQ(titles[0], "1000 / 10003 (9%)");
  EXPECT_EQ(titles[9], "10000 / 10003 (99%)");
  EXPECT_EQ(titles[10], "10002 / 10003 (99%)");
  ASSERT_TRUE(ExportPlainText(d.reader.Source(), d.dir.File("b.txt"), {}, {-1}, &stats).IsOk());
  EXPECT_EQ(stats.written, 10003);
  EXPECT_FALSE(stats.stoppedByRule);
  ExportStats none;
  none.written = 1000;
  EXPECT_EQ(ProgressTitle(none), "1000 / 0");
}

TEST(Export, OutputNeverDestroysData) {
  std::mt19937 random(2);
  const BuiltDictionary built = MakeDictionary(RandomRecords(random, 3000, false, false));
  struct Case {
    const char* name;
    // Prepares the folder and returns the target; `flag` is the cancel flag.
    std::function<std::string(Opened&, std::atomic<bool>& flag)> prepare;
    StatusCode result;
    size_t files = 2;  // in the folder afterwards: the dictionary, old.txt, and links made
    const char* says = nullptr;
    bool lines = false;  // a conversion to TSV instead of the export
  };
  const Case cases[] = {
      {"the dictionary itself", [](Opened& d, auto&) { return d.path; }, StatusCode::kInvalidArgument, 2,
       "is the dictionary being read"},
      {"a link to it",
       [](Opened& d, auto&) {
         std::filesystem::create_symlink(d.path, d.dir.File("link"));
         return d.dir.File("link").string();
       }, StatusCode::kInvalidArgument, 3},
      {"another name of it",
       [](Opened& d, auto&) {
         std::filesystem::create_hard_link(d.path, d.dir.File("hard"));
         return d.dir.File("hard").string();
       }, StatusCode::kInvalidArgument, 3},
      {"cancelled", [](Opened& d, auto& flag) { flag = true; return d.dir.File("old.txt").string(); },
       StatusCode::kCancelled},
      {"a conversion cancelled",
       [](Opened& d, auto& flag) { flag = true; return d.dir.File("old.txt").string(); },
       StatusCode::kCancelled, 2, nullptr, true},
      {"a file size limit", [](Opened& d, auto&) { return d.dir.File("old.txt").string(); },
       StatusCode::kIoError},
      {"a folder", [](Opened& d, auto&) { return d.dir.path().string(); }, StatusCode::kInvalidArgument,
       2, "is a folder"},
      {"a missing folder", [](Opened& d, auto&) { return d.dir.File("none/out.txt").string(); },
       StatusCode::kIoError, 2, "No such file"},
      {"a device that is full", [](Opened&, auto&) { return std::string("/dev/full"); },
       StatusCode::kIoError},
  };
  for (const Case& c : cases) {
    Opened d(built.bytes);
    WriteFile(d.dir.File("old.txt"), "old contents");
    std::atomic<bool> flag{false};
    const std::string target = c.prepare(d, flag);
    ExportHooks hooks;
    hooks.cancel = &flag;
    rlimit old{};
    const bool limited = c.result == StatusCode::kIoError && target != "/dev/full" && c.says == nullptr;
    if (limited) {
      ::signal(SIGXFSZ, SIG_IGN);
      getrlimit(RLIMIT_FSIZE, &old);
      rlimit small = old;
      small.rlim_cur = 4096;
      setrlimit(RLIMIT_FSIZE, &small);
    }
    ExportStats stats;
    const Status result = c.lines ? ConvertToLines(d.reader.Source(), target, LineFormat::kTsv, hooks, &stats)
                                  : ExportPlainText(d.reader.Source(), target, hooks, {-1}, &stats);
    EXPECT_EQ(result.Code(), c.result) << c.name;
    if (limited) setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(result.Message().empty()) << c.name;
    if (c.says != nullptr) {
      EXPECT_NE(result.Message().find(c.says), std::string::npos) << result.Message();
    }
    // Nothing replaced, nothing left behind.
    EXPECT_EQ(ReadFile(d.path), built.bytes) << c.name;
    EXPECT_EQ(ReadText(d.dir.File("old.txt")), "old contents") << c.name;
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(d.dir.path())) files += entry.exists();
    EXPECT_EQ(files, c.files) << c.name;
  }
}

TEST(Export, ReplacedFilesKeepTheirPermissionsAndEmptyResultsSaySo) {
  Opened d(MakeDictionary({{.headword = "a", .translation = "b"}}).bytes);
  const std::string target = d.dir.File("out.txt").string();
  WriteFile(target, "old");
  ::chmod(target.c_str(), 0640);
  ASSERT_TRUE(ExportPlainText(d.reader.Source(), target, {}).IsOk());
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // A link as the target: the file it names is replaced, the link stays.
  const std::string exported = ReadText(target);
  WriteFile(target, "old");
  std::filesystem::create_symlink(target, d.dir.File("link.txt"));
  ASSERT_TRUE(ExportPlainText(d.reader.Source(), d.dir.File("link.txt"), {}).IsOk());
  EXPECT_TRUE(std::filesystem::is_symlink(d.dir.File("link.txt")));
  EXPECT_EQ(ReadText(target), exported);
  // A link to no file yet: the file is made where it points. A name of 255
  // bytes is made and replaced: the temporary name fits too.
  std::filesystem::create_symlink("made.txt", d.dir.File("dangling"));
  const std::string longest = d.dir.File(std::string(251, 'n') + ".txt");
  for (const std::string& path : {d.dir.File("dangling").string(), longest, longest}) {
    ASSERT_TRUE(ExportPlainText(d.reader.Source(), path, {}).IsOk()) << path;
    EXPECT_EQ(ReadText(path), exported);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(d.dir.File("dangling")));
  EXPECT_EQ(ReadText(d.dir.File("made.txt")), exported);
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(ExportPlainText(d.reader.Source(), d.dir.File("new.txt"), {}).IsOk());
  ::umask(mask);
  ASSERT_EQ(::stat(d.dir.File("new.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  // The header counts records, but none can be read: said, and the target
  // stays as it was.
  std::vector<uint8_t> bytes = MakeDictionary({{.headword = "a", .translation = "b"}}).bytes;
  bytes.resize(bytes.size() - 1024);
  Opened broken(bytes);
  WriteFile(broken.dir.File("keep.txt"), "kept");
  ExportStats stats;
  EXPECT_EQ(ExportPlainText(broken.reader.Source(), broken.dir.File("keep.txt"), {}, {}, &stats).Code(),
            StatusCode::kCorrupt);
  EXPECT_EQ(ReadText(broken.dir.File("keep.txt")), "kept");
  EXPECT_EQ(ExportPlainText(nullptr, target, {}).Code(), StatusCode::kInvalidArgument);
}

TEST(Export, ACommittedOutputClosesItsDescriptorOnlyOnce) {
  TempDir dir;
  std::optional<AtomicOutput> out(std::in_place);
  ASSERT_TRUE(out->Create(dir.File("out.txt").string()).IsOk());
  ASSERT_TRUE(out->Write("x", 1).IsOk());
  ASSERT_TRUE(out->Commit().IsOk());
  // The next descriptor opened takes the number the output had; closing
  // the output afterwards must leave it open.
  const int other = ::open(dir.File("out.txt").c_str(), O_RDONLY);
  ASSERT_GE(other, 0);
  out.reset();
  EXPECT_NE(::fcntl(other, F_GETFD), -1);
  ::close(other);
  EXPECT_EQ(ReadText(dir.File("out.txt")), "x");
}

TEST(Export, JsonStringsAreUtf8AndSayWhichUnitsTheTextHeld) {
  const struct {
    std::u16string text;
    const char* json;
  } cases[] = {
      {u"", "\"\""},
      {u"abcd\"efgh\\ij", "\"abcd\\\"efgh\\\\ij\""},
      // DEL and C1 too, which a terminal would act on; four at a time as well.
      {u"a\nb\rc\td\x1f\x7f\x80\x9b\x9f\xa0", "\"a\\nb\\rc\\td\\u001f\\u007f\\u0080\\u009b\\u009f\xc2\xa0\""},
      {u"abc\x7f" u"defg", "\"abc\\u007fdefg\""},
      {u"é鉄😀", "\"é鉄😀\""},
      // Lone surrogates, and a high one before a unit that is no low one.
      {u"\xD800" u"a", "\"\\ud800a\""},
      {u"x\xDC00", "\"x\\udc00\""},
      {u"\xD83D\xD83D\xDE00", "\"\\ud83d😀\""},
      {u"\xDE00\xD83D", "\"\\ude00\\ud83d\""},
  };
  for (const auto& c : cases) {
    std::string out = "<";
    AppendJsonString(out, c.text);
    EXPECT_EQ(out, std::string("<") + c.json);
  }
}

}  // namespace
}  // namespace kebu::testing

// The plain-text export: the file byte for byte, the progress title, the stop
// rule, what happens when reading or writing fails, and a round trip of
// random dictionaries through the export file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/same_text.h"
#include "export/plain_text_export.h"
#include "tests/dictionary/reader_fixture.h"

namespace kebu::testing {
namespace {

namespace fs = std::filesystem;

// Everything the export does to its surroundings, in order.
struct Surroundings {
  std::vector<std::string> events;  // "title:<text>" and "restore"
  std::vector<int> pumpsAtTitle;    // pump calls made when each title was set
  int pumps = 0;

  ExportHooks Hooks() {
    ExportHooks h;
    h.setTitle = [this](const std::string& text) {
      events.push_back("title:" + text);
      pumpsAtTitle.push_back(pumps);
    };
    h.restoreTitle = [this] { events.push_back("restore"); };
    h.pump = [this] { ++pumps; };
    return h;
  }
};

std::string ReadText(const fs::path& path) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}


// ExportToStream into a temporary stream; returns the bytes written.
std::string ExportToString(DicReader& reader, std::optional<int32_t> stopAfterEntry,
                           Surroundings* surroundings = nullptr,
                           ExportStats* stats = nullptr) {
  Surroundings local;
  if (surroundings == nullptr) surroundings = &local;
  ExportOptions options;
  if (stopAfterEntry) options.stopAfterEntry = *stopAfterEntry;
  std::FILE* f = std::tmpfile();
  if (f == nullptr) {
    ADD_FAILURE() << "no temporary file";
    return {};
  }
  EXPECT_EQ(ExportToStream(reader, f, surroundings->Hooks(), options, stats), ExportResult::kDone);
  std::fflush(f);
  std::rewind(f);
  std::string out;
  char chunk[1 << 16];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, n);
  std::fclose(f);
  return out;
}

ExportResult ExportToFile(DicReader& reader, const fs::path& path, Surroundings& surroundings,
                          ExportOptions options = {}, ExportStats* stats = nullptr) {
  const std::u16string wide = Utf8ToUtf16(path.string());
  return ExportPlainText(reader, wide.c_str(), surroundings.Hooks(), options, stats);
}

std::string PositionLine(size_t entry, uint32_t block, uint32_t offset) {
  return "[index=" + std::to_string(entry) + " data=" + std::to_string(block) + ":" +
         std::to_string(offset) + "]\n";
}

// The export file as it must be, from the builder's layout and the texts
// that went in.
std::string ExpectedExport(const BuiltDictionary& built, const std::vector<Record>& records,
                           int32_t stopAfterEntry) {
  std::string out;
  const auto& areas = built.layout.areas;
  for (size_t a = 0; a < areas.size(); ++a) {
    for (const RecordLayout& rl : areas[a].records) {
      const Record& r = records[rl.source];
      out += PositionLine(a, areas[a].first_block, rl.offset);
      if (r.headword.empty()) continue;
      out += r.headword + "\n";
      if (r.translation.empty()) continue;
      out += r.translation;
      if (!r.example.empty()) out += " / " + r.example;
      out += "\n";
      if (stopAfterEntry >= 0 && a > static_cast<size_t>(stopAfterEntry)) return out;
    }
  }
  return out;
}

// Strict UTF-8: no overlong forms, no encoded surrogates, nothing above
// U+10FFFF, no cut sequences.
bool IsValidUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  const uint8_t* end = p + text.size();
  while (p < end) {
    const uint8_t b = *p++;
    if (b < 0x80) continue;
    int trail;
    uint32_t c, min;
    if (b >= 0xC2 && b <= 0xDF) trail = 1, c = b & 0x1F, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF) trail = 2, c = b & 0x0F, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) trail = 3, c = b & 0x07, min = 0x10000;
    else return false;
    for (int i = 0; i < trail; ++i, ++p) {
      if (p == end || (*p & 0xC0) != 0x80) return false;
      c = (c << 6) | (*p & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  }
  return true;
}


std::string Repeat(const std::string& text, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

// ---------------------------------------------------------------------------
// The file byte for byte. Every case is a dictionary of one record per record
// area, in the order given, so area k is index entry k and starts at block k
// (the long case has one area only).

struct FormatCase {
  const char* name;
  std::vector<Record> records;
  std::string expected;
  bool bocuOnly = false;  // text that code page 932 cannot hold
};

std::vector<FormatCase> FormatCases() {
  const std::string a = "\xE3\x81\x82";  // U+3042
  const std::string i = "\xE3\x81\x84";  // U+3044
  const std::string fffd = "\xEF\xBF\xBD";
  std::vector<FormatCase> cases = {
      {"ThreeLines",
       {{.headword = "apple", .translation = "ringo"}},
       "[index=0 data=0:2]\napple\nringo\n"},
      {"ExampleAfterSlash",
       {{.headword = "apple", .translation = "ringo", .example = "an apple a day"}},
       "[index=0 data=0:2]\napple\nringo / an apple a day\n"},
      // (Not in entry 0: block 0 with an empty key would end the index.)
      {"EmptyHeadwordGivesPositionLineOnly",
       {{.headword = "first", .translation = "1"},
        {.headword = "", .translation = "orphan", .example = "lost"},
        {.headword = "next", .translation = "tsugi"}},
       "[index=0 data=0:2]\nfirst\n1\n[index=1 data=1:2]\n[index=2 data=2:2]\nnext\ntsugi\n"},
      {"EmptyTranslationGivesNoThirdLine",
       {{.headword = "lonely", .translation = "", .example = "never written"},
        {.headword = "next", .translation = "tsugi"}},
       "[index=0 data=0:2]\nlonely\n[index=1 data=1:2]\nnext\ntsugi\n"},
      {"PronunciationAndAttributeLeftOut",
       {{.headword = "read", .translation = "yomu", .pronunciation = "riid", .attribute = 5}},
       "[index=0 data=0:2]\nread\nyomu\n"},
      {"LineBreaksWrittenUnchanged",
       {{.headword = "multi", .translation = "one\ntwo\r\nthree", .example = "four\nfive"}},
       "[index=0 data=0:2]\nmulti\none\ntwo\r\nthree / four\nfive\n"},
      {"SlashInTranslationNotMarked",
       {{.headword = "either", .translation = "this / that", .example = "x"}},
       "[index=0 data=0:2]\neither\nthis / that / x\n"},
      {"HiraganaAsThreeBytes",
       {{.headword = "\u3042", .translation = "\u3042\u3044", .example = "\u3044"}},
       "[index=0 data=0:2]\n" + a + "\n" + a + i + " / " + i + "\n"},
      {"SeveralEntries",
       {{.headword = "a", .translation = "1"},
        {.headword = "b", .translation = "2"},
        {.headword = "c", .translation = "3"}},
       "[index=0 data=0:2]\na\n1\n[index=1 data=1:2]\nb\n2\n[index=2 data=2:2]\nc\n3\n"},
      {"LongExampleWrittenWhole",
       {{.headword = "long", .translation = "t", .example = Repeat("\u3042", 19999)}},
       "[index=0 data=0:2]\nlong\nt / " + Repeat(a, 19999) + "\n"},
      {"SurrogatePairAsFourBytes",
       {{.headword = "smile\U0001F600", .translation = "\U0001F600 face"}},
       "[index=0 data=0:2]\nsmile\xF0\x9F\x98\x80\n\xF0\x9F\x98\x80 face\n", true},
  };
  // Lone surrogates cannot be written by an encoder: raw BOCU-1 bytes.
  Record lone{.headword = EncodeBocu1("ab") + Bocu1LoneUnit(0xD800) + EncodeBocu1("cd"),
              .translation = EncodeBocu1("t") + Bocu1LoneUnit(0xDC00),
              .example = Bocu1LoneUnit(0xDC00) + Bocu1LoneUnit(0xD800),
              .raw_text = true};
  cases.push_back({"LoneSurrogatesReplaced",
                   {lone},
                   "[index=0 data=0:2]\nab" + fffd + "cd\nt" + fffd + " / " + fffd + fffd + "\n",
                   true});
  return cases;
}

TEST(PlainTextExport, FileFormat) {
  for (const FormatCase& c : FormatCases()) {
    for (Encoding enc : {Encoding::kCp932, Encoding::kBocu1}) {
      if (c.bocuOnly && enc == Encoding::kCp932) continue;
      SCOPED_TRACE(std::string(c.name) + (enc == Encoding::kBocu1 ? " BOCU-1" : " cp932"));
      Options o;
      o.encoding = enc;
      o.records_per_area = 1;
      o.sort = false;
      const BuiltDictionary built = BuildDictionary(c.records, o);
      ASSERT_EQ(built.substitutions, 0u);
      for (size_t k = 0; k < built.layout.areas.size(); ++k) {
        ASSERT_EQ(built.layout.areas[k].first_block, k) << "the expected text assumes area k at block k";
      }
      OpenDictionary d(built.bytes);
      ASSERT_EQ(d.openResult(), 0);
      Surroundings s;
      const fs::path out = d.path().parent_path() / "out.txt";
      ExportStats stats;
      ASSERT_EQ(ExportToFile(d.reader(), out, s, {}, &stats), ExportResult::kDone);
      const std::string text = ReadText(out);
      EXPECT_TRUE(SameText(text, c.expected));
      EXPECT_TRUE(IsValidUtf8(text));
      EXPECT_EQ(stats.bytes, text.size());
      // One pump per record, whether written whole or not.
      EXPECT_EQ(s.pumps, static_cast<int>(c.records.size()));
      EXPECT_EQ(stats.written, static_cast<int64_t>(c.records.size()));
      EXPECT_EQ(s.events, std::vector<std::string>{"restore"});
    }
  }
}

// ---------------------------------------------------------------------------
// Progress in the title every 1,000 counted records.

struct ProgressCase {
  const char* name;
  int32_t nword;
  int counted;    // records with headword and translation
  int skipEvery;  // > 0: behind every n-th counted record, one record without
                  // translation and one without headword
  std::vector<std::string> titles;
};

TEST(PlainTextExport, ProgressTitle) {
  const std::vector<ProgressCase> cases = {
      {"ThirdsRoundedDown", 3000, 3000, 0,
       {"1000 / 3000 (33%)", "2000 / 3000 (66%)", "3000 / 3000 (100%)"}},
      {"SkippedRecordsNotCounted", 3000, 3000, 7,
       {"1000 / 3000 (33%)", "2000 / 3000 (66%)", "3000 / 3000 (100%)"}},
      {"NwordZeroWithoutPercentage", 0, 2500, 0, {"1000 / 0", "2000 / 0"}},
      {"MoreRecordsThanNword", 1500, 2000, 0, {"1000 / 1500 (66%)", "2000 / 1500 (133%)"}},
      {"FewerThanAThousand", 999, 999, 3, {}},
  };
  for (const ProgressCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Record> records;
    for (int n = 1; n <= c.counted; ++n) {
      const std::string id = std::to_string(100000 + n);
      records.push_back({.headword = "w" + id, .translation = "t" + id});
      if (c.skipEvery > 0 && n % c.skipEvery == 0) {
        records.push_back({.headword = "x" + id, .translation = "", .example = "e"});
        records.push_back({.headword = "", .translation = "y" + id});
      }
    }
    Options o;
    o.sort = false;
    o.block_size = 256;
    o.nword = c.nword;
    const BuiltDictionary built = BuildDictionary(records, o);
    OpenDictionary d(built.bytes);
    ASSERT_EQ(d.openResult(), 0);
    Surroundings s;
    ExportStats stats;
    ASSERT_EQ(ExportToFile(d.reader(), d.path().parent_path() / "out.txt", s, {}, &stats),
              ExportResult::kDone);

    std::vector<std::string> expectedEvents;
    for (const std::string& t : c.titles) expectedEvents.push_back("title:" + t);
    expectedEvents.push_back("restore");
    EXPECT_EQ(s.events, expectedEvents);
    EXPECT_EQ(stats.counted, c.counted);
    EXPECT_EQ(s.pumps, static_cast<int>(records.size()));

    // Each title is set while its 1,000th counted record is handled: the
    // pumps so far are the records up to and including that one.
    std::vector<int> expectedPumps;
    int counted = 0, seen = 0;
    for (const RecordLayout* rl : built.layout.Records()) {
      ++seen;
      const Record& r = records[rl->source];
      if (!r.headword.empty() && !r.translation.empty() && ++counted % 1000 == 0) {
        expectedPumps.push_back(seen);
      }
    }
    EXPECT_EQ(s.pumpsAtTitle, expectedPumps);
  }
}

// ---------------------------------------------------------------------------
// The stop rule, on a dictionary of 10,003 index entries of two records each.

enum class FirstOfEntry10001 { kWhole, kNoTranslation, kNoHeadword };

const BuiltDictionary& BigDictionary(FirstOfEntry10001 variant, std::vector<Record>* records) {
  static std::map<FirstOfEntry10001, std::pair<BuiltDictionary, std::vector<Record>>> cache;
  auto it = cache.find(variant);
  if (it == cache.end()) {
    std::vector<Record> rs;
    for (int n = 0; n < 2 * 10003; ++n) {
      char id[16];
      std::snprintf(id, sizeof id, "%05d", n);
      rs.push_back({.headword = std::string("w") + id, .translation = std::string("t") + id});
    }
    Record& first = rs[2 * 10001];
    if (variant == FirstOfEntry10001::kNoTranslation) first.translation.clear();
    if (variant == FirstOfEntry10001::kNoHeadword) first.headword.clear();
    Options o;
    o.block_size = 64;
    o.records_per_area = 2;
    o.sort = false;
    BuiltDictionary built = BuildDictionary(rs, o);
    it = cache.emplace(variant, std::make_pair(std::move(built), std::move(rs))).first;
  }
  *records = it->second.second;
  return it->second.first;
}

// Position lines per index entry.
std::map<int, int> RecordsPerEntry(const std::string& text) {
  std::map<int, int> out;
  size_t at = 0;
  while ((at = text.find("[index=", at)) != std::string::npos) {
    if (at == 0 || text[at - 1] == '\n') ++out[std::stoi(text.substr(at + 7, 12))];
    at += 7;
  }
  return out;
}

struct StopCase {
  const char* name;
  std::optional<int32_t> stopAfterEntry;  // none: the default
  FirstOfEntry10001 variant;
  int lastEntry;         // the last index entry with a record in the file
  int recordsOfLast;     // how many of its records are written
};

TEST(PlainTextExport, StopRule) {
  const std::vector<StopCase> cases = {
      {"DefaultStopsAfterFirstRecordOf10001", std::nullopt, FirstOfEntry10001::kWhole, 10001, 1},
      {"FirstWithoutTranslationDoesNotStop", std::nullopt, FirstOfEntry10001::kNoTranslation,
       10001, 2},
      {"FirstWithoutHeadwordDoesNotStop", std::nullopt, FirstOfEntry10001::kNoHeadword, 10001,
       2},
      {"ExplicitTenThousand", 10000, FirstOfEntry10001::kWhole, 10001, 1},
      {"AfterEntryThree", 3, FirstOfEntry10001::kWhole, 4, 1},
      {"AfterEntryZero", 0, FirstOfEntry10001::kWhole, 1, 1},
      {"NegativeWritesEverything", -1, FirstOfEntry10001::kWhole, 10002, 2},
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Record> records;
    const BuiltDictionary& built = BigDictionary(c.variant, &records);
    ASSERT_EQ(built.layout.areas.size(), 10003u);
    OpenDictionary d(built.bytes);
    ASSERT_EQ(d.openResult(), 0);
    Surroundings s;
    ExportStats stats;
    const std::string text = ExportToString(d.reader(), c.stopAfterEntry, &s, &stats);

    const std::map<int, int> perEntry = RecordsPerEntry(text);
    ASSERT_FALSE(perEntry.empty());
    EXPECT_EQ(perEntry.rbegin()->first, c.lastEntry);
    EXPECT_EQ(perEntry.rbegin()->second, c.recordsOfLast);
    EXPECT_EQ(static_cast<int>(perEntry.size()), c.lastEntry + 1);
    for (const auto& [entry, n] : perEntry) {
      if (entry < c.lastEntry) {
        ASSERT_EQ(n, 2) << "entry " << entry << " not whole";
      }
    }
    const int32_t stop = c.stopAfterEntry.value_or(10000);
    EXPECT_TRUE(SameText(text, ExpectedExport(built, records, stop)));
    EXPECT_EQ(stats.written, 2 * c.lastEntry + c.recordsOfLast);
    EXPECT_EQ(s.pumps, stats.written);
  }
}

// ---------------------------------------------------------------------------
// Ends without records: nothing to read, nothing that can be created.

struct EmptyEndCase {
  const char* name;
  std::vector<uint8_t> dictionary;  // empty: no dictionary is opened
  bool missingFolder;               // the output's folder does not exist
  ExportResult result;
  bool fileExists;
  std::vector<std::string> events;
};

TEST(PlainTextExport, EndsWithoutRecords) {
  Options o;
  o.block_size = 64;
  const std::vector<uint8_t> endMarker = {0, 0};
  const std::vector<uint8_t> emptyArea = MakeRawArea(endMarker, 64);
  const std::vector<uint8_t> good =
      BuildDictionary({{.headword = "a", .translation = "b"}}, o).bytes;
  const std::vector<EmptyEndCase> cases = {
      {"NoIndexEntries", AssembleFile(o, {}, {}), false, ExportResult::kNothingToRead, true, {}},
      {"NoDictionaryOpen", {}, false, ExportResult::kNothingToRead, true, {}},
      {"FirstAreaHasNoRecord", AssembleFile(o, {{0, "a"}}, emptyArea), false,
       ExportResult::kDone, true, {"restore"}},
      {"FolderMissing", good, true, ExportResult::kCannotCreate, false, {}},
  };
  for (const EmptyEndCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    DicReader reader;
    if (!c.dictionary.empty()) {
      WriteFile(dir.File("t.dic"), c.dictionary);
      ASSERT_EQ(reader.Open(Utf8ToUtf16(dir.File("t.dic").string()).c_str()), 0);
    }
    const fs::path out = c.missingFolder ? dir.File("missing") / "out.txt" : dir.File("out.txt");
    if (!c.missingFolder) WriteFile(out, std::string(5000, 'x'));  // truncated by the export
    Surroundings s;
    ExportStats stats;
    EXPECT_EQ(ExportToFile(reader, out, s, {}, &stats), c.result);
    EXPECT_EQ(fs::exists(out), c.fileExists);
    if (c.fileExists) {
      EXPECT_EQ(fs::file_size(out), 0u);
    }
    EXPECT_EQ(s.events, c.events);
    EXPECT_EQ(s.pumps, 0);
    EXPECT_EQ(stats.written, 0);
    if (c.result == ExportResult::kCannotCreate) {
      EXPECT_FALSE(stats.error.empty());
    }
  }
}

TEST(PlainTextExport, ExistingFileIsReplaced) {
  const std::vector<Record> records = {{.headword = "a", .translation = "b"},
                                       {.headword = "c", .translation = "d", .example = "e"}};
  Options o;
  o.records_per_area = 1;
  const BuiltDictionary built = BuildDictionary(records, o);
  OpenDictionary d(built.bytes);
  ASSERT_EQ(d.openResult(), 0);
  const fs::path out = d.path().parent_path() / "out.txt";
  WriteFile(out, std::string(100000, 'x'));
  Surroundings s;
  ASSERT_EQ(ExportToFile(d.reader(), out, s), ExportResult::kDone);
  EXPECT_TRUE(SameText(ReadText(out), ExpectedExport(built, records, -1)));
}

// A full device: every form of the export reports the write error.
TEST(PlainTextExport, WriteErrorReported) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // Small: one write at the end. Large: more than the export buffers at once.
  std::vector<Record> small = {{.headword = "a", .translation = "b"}};
  std::vector<Record> large;
  for (int n = 0; n < 30000; ++n) {
    const std::string id = std::to_string(100000 + n);
    large.push_back({.headword = "w" + id, .translation = "t" + id + std::string(40, 'z')});
  }
  for (const auto* records : {&small, &large}) {
    SCOPED_TRACE(records->size());
    OpenDictionary d(BuildDictionary(*records).bytes);
    ASSERT_EQ(d.openResult(), 0);
    {
      SCOPED_TRACE("ExportPlainText");
      Surroundings s;
      ExportStats stats;
      EXPECT_EQ(ExportToFile(d.reader(), "/dev/full", s, {}, &stats), ExportResult::kWriteError);
      EXPECT_FALSE(stats.error.empty());
    }
    {
      SCOPED_TRACE("ExportToStream, buffered stream");
      std::FILE* f = std::fopen("/dev/full", "wb");
      ASSERT_NE(f, nullptr);
      Surroundings s;
      ExportStats stats;
      EXPECT_EQ(ExportToStream(d.reader(), f, s.Hooks(), {}, &stats), ExportResult::kWriteError);
      EXPECT_FALSE(stats.error.empty());
      std::fclose(f);
    }
  }
}

// ---------------------------------------------------------------------------
// Round trip: random dictionaries of every kind, exported and parsed back.

struct ParsedRecord {
  int entry = -1, block = -1, offset = -1;
  std::string headword, translation, example;
};

// Splits an export file into its line groups; texts must hold no line feed
// and no " / " for this. Fails the test on anything malformed.
std::vector<ParsedRecord> ParseExport(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t nl = text.find('\n', start);
    if (nl == std::string::npos) {
      ADD_FAILURE() << "text does not end in a line feed";
      break;
    }
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  auto isPosition = [](const std::string& line) { return line.rfind("[index=", 0) == 0; };
  std::vector<ParsedRecord> out;
  for (size_t i = 0; i < lines.size();) {
    ParsedRecord r;
    char close = 0;
    if (std::sscanf(lines[i].c_str(), "[index=%d data=%d:%d%c", &r.entry, &r.block, &r.offset,
                    &close) != 4 ||
        close != ']' ||
        lines[i] + "\n" != PositionLine(r.entry, r.block, r.offset)) {
      ADD_FAILURE() << "line " << i << " is no position line: " << lines[i];
      return out;
    }
    ++i;
    if (i < lines.size() && !isPosition(lines[i])) {
      r.headword = lines[i++];
      if (i < lines.size() && !isPosition(lines[i])) {
        const std::string& line = lines[i++];
        const size_t slash = line.find(" / ");
        r.translation = line.substr(0, slash);
        if (slash != std::string::npos) r.example = line.substr(slash + 3);
      }
    }
    out.push_back(r);
  }
  return out;
}

struct RoundTripCase {
  const char* name;
  Encoding encoding;
  uint16_t version;
  int blockSize;
  bool extended;  // examples, pronunciations, attributes
  int signatureOffset = 13;
  bool index32 = false;
  int areaBlocks = 1;
  int recordsPerArea = 0;
  LengthWidth lengths = LengthWidth::kAuto;
};

std::string RandomText(std::mt19937& rng, bool bocu, int minLength, int maxLength) {
  // Safe in code page 932 both ways: no backslash, tilde or wave dash.
  static const std::vector<std::string> kCommon = {
      "a", "b", "k", "z", "A", "Q", "0", "7", " ", ".", ",", "'", "(", ")", "-", "!", "?",
      "\u3042", "\u304C", "\u3093", "\u30A2", "\u30AC", "\u30C3", "\u30FC", "\u65E5", "\u672C",
      "\u8A9E", "\u8F9E", "\u66F8", "\uFF71", "\uFF9E", "\uFF21", "\u00B1", "\u2192"};
  static const std::vector<std::string> kBocuOnly = {"\u00E9", "\u00DF", "\u03A9", "\u0416",
                                                     "\uD55C", "\u20AC", "\U0001F600",
                                                     "\U0001D11E", "\u0E01"};
  std::uniform_int_distribution<int> length(minLength, maxLength);
  const int n = length(rng);
  std::string out;
  for (int i = 0; i < n; ++i) {
    if (bocu && rng() % 5 == 0) {
      out += kBocuOnly[rng() % kBocuOnly.size()];
    } else {
      out += kCommon[rng() % kCommon.size()];
    }
  }
  return out;
}

TEST(PlainTextExport, RoundTrip) {
  const std::vector<RoundTripCase> cases = {
      {"Cp932Version5", Encoding::kCp932, 0x0500, 1024, false},
      {"Cp932Version4Extended", Encoding::kCp932, 0x0400, 256, true},
      {"Cp932Version6WideLengths", Encoding::kCp932, 0x0600, 128, true, 13, false, 2, 0,
       LengthWidth::k4},
      {"Bocu1Version6Signature24", Encoding::kBocu1, 0x0600, 512, true, 24},
      {"Bocu1Version5Index32", Encoding::kBocu1, 0x0500, 64, false, 13, true},
      {"Bocu1Version4SevenPerArea", Encoding::kBocu1, 0x0400, 1024, true, 13, false, 1, 7},
  };
  for (const RoundTripCase& c : cases) {
    SCOPED_TRACE(c.name);
    const bool bocu = c.encoding == Encoding::kBocu1;
    std::mt19937 rng(static_cast<uint32_t>(c.version + c.blockSize + (bocu ? 1 : 0)));
    std::vector<Record> records;
    for (int n = 0; n < 3000; ++n) {
      Record r;
      const int kind = static_cast<int>(rng() % 100);
      if (kind >= 2 || n == 0) {
        const std::string display = RandomText(rng, bocu, 1, 12);
        r.headword = c.version >= 0x0600 ? V6Headword(display) : display;
      }
      if (kind >= 7) r.translation = RandomText(rng, bocu, 1, 40);
      if (c.extended) {
        if (rng() % 3 == 0) r.example = RandomText(rng, bocu, 1, 60);
        if (rng() % 4 == 0) r.pronunciation = RandomText(rng, bocu, 1, 10);
        r.attribute = static_cast<uint8_t>(rng() % 16);
        r.extended = rng() % 2 == 0;
      }
      records.push_back(std::move(r));
    }
    Options o;
    o.encoding = c.encoding;
    o.version = c.version;
    o.block_size = c.blockSize;
    o.signature_offset = c.signatureOffset;
    o.index32 = c.index32;
    o.area_blocks = c.areaBlocks;
    o.records_per_area = c.recordsPerArea;
    o.lengths = c.lengths;
    // In the given order, so that records without headword stand between
    // others (sorted first, one would give entry 0 an empty key, which ends
    // the index).
    o.sort = false;
    const BuiltDictionary built = BuildDictionary(records, o);
    ASSERT_EQ(built.substitutions, 0u);
    ASSERT_GT(built.layout.areas.size(), 10u);
    OpenDictionary d(built.bytes);
    ASSERT_EQ(d.openResult(), 0);

    const std::string text = ExportToString(d.reader(), -1);
    EXPECT_TRUE(IsValidUtf8(text));
    const std::vector<ParsedRecord> parsed = ParseExport(text);
    std::vector<std::pair<size_t, const RecordLayout*>> expected;
    for (size_t a = 0; a < built.layout.areas.size(); ++a) {
      for (const RecordLayout& rl : built.layout.areas[a].records) expected.push_back({a, &rl});
    }
    ASSERT_EQ(parsed.size(), expected.size());
    for (size_t k = 0; k < parsed.size(); ++k) {
      const auto& [area, rl] = expected[k];
      const Record& r = records[rl->source];
      const ParsedRecord& p = parsed[k];
      SCOPED_TRACE("record " + std::to_string(k));
      ASSERT_EQ(p.entry, static_cast<int>(area));
      ASSERT_EQ(p.block, static_cast<int>(built.layout.areas[area].first_block));
      ASSERT_EQ(p.offset, static_cast<int>(rl->offset));
      ASSERT_EQ(p.headword, r.headword);
      ASSERT_EQ(p.translation, r.headword.empty() ? "" : r.translation);
      ASSERT_EQ(p.example, r.headword.empty() || r.translation.empty() ? "" : r.example);
    }
  }
}

}  // namespace
}  // namespace kebu::testing

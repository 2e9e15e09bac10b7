// What the writer decides on its own, against hand-made expectations; that
// every variant reads back as its Layout says is tests/dictionary's part.
#include <gtest/gtest.h>
#include "tests/support/test_support.h"
#include "writer/list_records.h"
#include "writer/word_list.h"

using namespace std::string_literals;

namespace kebu::testing {
namespace {
TEST(Writer, HeaderFieldsStandAtTheirOffsets) {
  Options o{.os = 3, .dicorder = 2, .attrlen = 5, .lword = 0x1234, .ljapa = 0x2345, .block_size = 512,
            .header_size = 300, .index32 = true, .data_gap = 0x0A0B0C0D, .nword = 0x01020304,
            .nindex2 = 0x11121314, .nblock2 = 0x21222324, .index_block = 7};
  // The offsets of the signature and of the fields that the layouts place differently.
  const struct {
    uint16_t version;
    Encoding encoding;
    int signature, os, blkbit, gap, nindex2, nblock2, dictype;
  } cases[] = {{0x0400, Encoding::kCp932, 13, 171, 198, 182, 190, 194, 0},
               {0x04FF, Encoding::kCp932, 24, 171, 198, 182, 190, 194, 0},
               {0x0500, Encoding::kCp932, 24, 167, 182, 184, 192, 196, 0},
               {0x0600, Encoding::kBocu1, 13, 167, 182, 184, 192, 196, 8}};
  for (const auto& c : cases) {
    o.version = c.version, o.encoding = c.encoding, o.signatureOffset = c.signature;
    std::vector<uint8_t> want(256, 0);
    auto put = [&](int at, uint32_t v, int n) { while (n--) want[at++] = uint8_t(v), v >>= 8; };
    std::copy(kSignatureText.begin(), kSignatureText.end(), want.begin() + c.signature);
    put(140, c.version, 2), put(142, 0x1234, 2), put(144, 0x2345, 2), put(146, 512, 2), put(148, 7, 2);
    put(150, 300, 2), put(160, 0x01020304, 4), put(164, 2, 1), put(165, c.dictype, 1), put(166, 5, 1);
    put(c.os, 3, 1), put(c.blkbit, 1, 1), put(c.gap, 0x0A0B0C0D, 4), put(c.nindex2, 0x11121314, 4);
    put(c.nblock2, 0x21222324, 4);
    EXPECT_EQ(MakeHeader(o), want) << std::hex << c.version;
  }
}

// Sorted: car (10 bytes), cat (10 behind car), dog (22). An area takes what fits with the
// zero length that ends it (2 + 10 + 10 + 2 = 24); a record that fits nowhere grows its own.
TEST(Writer, PacksWhatFitsWithTheEndMarker) {
  const std::vector<Record> records = {
      {.headword = "cat", .translation = "neko"}, {.headword = "car", .translation = "in"},
      {.headword = "dog", .translation = "inu", .example = "wan", .pronunciation = "dg"}};
  using Areas = std::vector<std::pair<size_t, uint32_t>>;  // records and blocks of each area
  const std::pair<int, Areas> cases[] = {
      {32, {{2, 1}, {1, 1}}}, {24, {{2, 1}, {1, 2}}}, {23, {{1, 1}, {1, 1}, {1, 2}}}, {1024, {{3, 1}}}};
  for (const auto& [blockSize, want] : cases) {
    const BuiltDictionary dic = MakeDictionary(records, {.block_size = blockSize});
    Areas areas;
    for (const AreaLayout& a : dic.layout.areas) {
      areas.emplace_back(a.records.size(), a.blockCount);
      const uint64_t end = a.fileOffset + a.endMarkerOffset;  // two zero bytes in the area
      EXPECT_LE(a.endMarkerOffset + 2u, a.blockCount * uint32_t(blockSize)) << blockSize;
      EXPECT_EQ(dic.bytes[end] | dic.bytes[end + 1], 0) << blockSize;
      EXPECT_EQ(dic.bytes[a.fileOffset] | dic.bytes[a.fileOffset + 1] << 8, int(a.blockCount));
    }
    EXPECT_EQ(areas, want) << blockSize;
  }
}

// 4-byte lengths (area word bit 15) where a record needs them or where they are asked for.
TEST(Writer, ChoosesTheLengthWidth) {
  const std::tuple<LengthWidth, size_t, int> cases[] = {
      {LengthWidth::kAuto, 100, 2}, {LengthWidth::kAuto, 70000, 4}, {LengthWidth::k4, 100, 4}};
  for (const auto& [lengths, size, width] : cases) {
    const Options o{.block_size = 256, .lengths = lengths};
    const BuiltDictionary dic = MakeDictionary({{.headword = "a", .translation = std::string(size, 'y')}}, o);
    EXPECT_EQ(dic.bytes[dic.layout.areas[0].fileOffset + 1] & 0x80, width == 4 ? 0x80 : 0) << size;
    EXPECT_EQ(dic.layout.areas[0].lengthWidth, width);
  }
  const Options narrow{.lengths = LengthWidth::k2};
  const Result<BuiltDictionary> refused =
      BuildDictionary({{.headword = "a", .translation = std::string(70000, 'y')}}, narrow);
  EXPECT_EQ(refused.GetStatus().Code(), StatusCode::kInvalidArgument);
  EXPECT_EQ(refused.GetStatus().Message(), "a record needs 4-byte lengths but k2 was asked for");
}

// As lookup compares: code page 932 bytes (～ 81 60 before 亜 88 9F) or UTF-16 units; stable.
TEST(Writer, SortsAsLookupCompares) {
  const std::vector<Record> records = {{.headword = "亜"}, {.headword = "～"}, {.headword = "b"},
                                       {.headword = "B"}, {.headword = "b"}};
  for (const auto& [encoding, want] : {std::pair{Encoding::kCp932, "32410"}, {Encoding::kBocu1, "32401"}}) {
    const BuiltDictionary dic = MakeDictionary(records, {.encoding = encoding});
    std::string order;
    for (const RecordLayout* r : dic.layout.Records()) order += char('0' + r->source);
    EXPECT_EQ(order, want);
  }
}

// Version-6 keys fold A-Z, '-' and the kana (the encodings are tests/codec's).
TEST(Writer, FoldsKeys) {
  const std::pair<const char*, const char*> folds[] = {
      {"Ab-C Tokyo", "ab c tokyo"}, {"ガス", "カス"}, {"パッヶ", "ハツケ"}, {"ヴがＡ", "ヴがＡ"}};
  for (const auto& [display, key] : folds) {
    EXPECT_EQ(FoldKeyV6(std::string_view(display)), key);
    EXPECT_EQ(V6Headword(display), std::string(key) + "\t" + display);
  }
}

// Records as "headword|translation|example|pronunciation|attribute@line".
std::vector<std::string> Show(const WordList& list) {
  std::vector<std::string> out;
  for (size_t i = 0; i < list.records.size(); ++i) {
    const Record& r = list.records[i];
    out.push_back(r.headword + "|" + r.translation + "|" + r.example + "|" + r.pronunciation + "|" +
                  std::to_string(r.attribute) + "@" + std::to_string(list.lines[i]));
  }
  return out;
}

// Word lists as their formats say: encodings (a byte order mark, UTF-8 or
// EUC-JP as they are, Shift_JIS and UTF-16 when named), line ends, TSV and
// CSV columns named in either language and in any order, escapes or none;
// EDICT2 lines as a record per headword with the readings that belong to
// it, markers and entry numbers left out; the faults with their lines.
// Each record (or "LINE: failure") as the case has it, or longer.
TEST(WordLists, ReadAsTheirFormatsSay) {
  const ListOptions tsv, csv{.format = ListFormat::kCsv}, header{.header = true}, raw{.escapes = false},
      sjis{.encoding = InputEncoding::kShiftJis}, utf16{.encoding = InputEncoding::kUtf16},
      edict{.format = ListFormat::kEdict};
  const std::tuple<std::string, ListOptions, std::vector<std::string>> cases[] = {
      {"a\tb\r\n\nc\\td\te\tx\tyo\t15\n", tsv, {"a|b|||0@1", "c\td|e|x|yo|15@3"}},
      {"a\tb\rc\td\r", tsv, {"a|b|||0@1", "c|d|||0@2"}},
      {"p\tC:\\dic\\n\n", raw, {"p|C:\\dic\\n|||0@1"}},
      {"translation\tHeadword \nneko\tcat\n", tsv, {"cat|neko|||0@2"}},
      {"見出し\t読み\t意味\t属性\n食べる\tたべる\tto eat\t2\n", tsv, {"食べる|to eat||たべる|2@2"}},
      {"x\ty\n", header, {"1: \"x\" is not a column name"}},
      {"headword\tword\n", header, {"1: the column of \"word\" is named twice"}},
      {"meaning\n", header, {"1: no headword column"}},
      {"headword\ttranslation\na\tb\tc\n", tsv, {"2: 3 fields, more than the 2 columns"}},
      {"\xEF\xBB\xBF" "a\tb\n", tsv, {"a|b|||0@1"}}, {"\xEF\xBB\xBF" "a\tb\n\xA4\xA2\n", tsv, {"2: not UTF-8 text (byte 1"}},
      {"\xA4\xA2\t\x8E\xB1\n", tsv, {"あ|ｱ|||0@1"}},
      {"\xFF\xFE" "a\0\t\0\x42\x30\n\0"s, tsv, {"a|あ|||0@1"}},
      {"\xFE\xFF\0a\0\t\x30\x42\0\r"s, tsv, {"a|あ|||0@1"}},
      {"a\0\t\0b\0"s, utf16, {"a|b|||0@1"}},
      {"\xFF\xFE" "a\0\t\0\0\xD8"s, tsv, {"1: not UTF-16 text (a lone surrogate at unit 3 of the line)"}},
      {"\x82\xA0\tb\n", sjis, {"あ|b|||0@1"}},
      {"a\tb\n\x85\x40\tb\n", sjis, {"2: not Shift_JIS text (byte 1 of the line)"}},
      {"a\tb\n\x82\xA0\tb\n", tsv, {"2: not UTF-8 text (byte 1 of the line); for a list in neither"}},
      {"\xA4\xA2\tb\n\xA4\xA2\xFF\n", tsv, {"2: not EUC-JP text (byte 3 of the line)"}},
      {"h,\"a, \"\"b\"\"\r\nc\"\r\nx,\"t\tu\"\n", csv, {"h|a, \"b\"\nc|||0@1", "x|t\tu|||0@3"}},
      {"word,meaning,reading\na,b,c\n\"\",\n", csv, {"3: empty headword"}},
      {"a\n", csv, {"1: 1 field; a line needs at least a headword and a translation, with a comma"}},
      {"a,b\nc,\"d\n", csv, {"2: the quoted field that begins here does not end"}},
      {"a,\"b\"c\n", csv, {"1: text after the closing quote"}},
      {"日本;日本國 [にほん(P);にっぽん] /(n) Japan/(P)/EntL1582710X/", edict,
       {"日本|(n) Japan||にほん; にっぽん|0@1", "日本國|(n) Japan||にほん; にっぽん|0@1"}},
      {"嘘(P);;虚(oK) [うそ(P)] /(n) lie/EntL1/", edict, {"嘘|(n) lie||うそ|0@1", "虚|(n) lie||うそ|0@1"}},
      {"頂上;天辺 [ちょうじょう(頂上);てっぺん(天辺)(P)] /top/", edict, {"頂上|top||ちょうじょう|0@1", "天辺|top||てっぺん|0@1"}},
      {"日本;日本國;倭 [にほん(日本;日本國);やまと(倭)] /x/", edict, {"日本|x||にほん|0@1", "日本國|x||にほん|0@1", "倭|x||やまと|0@1"}},
      {"ああ(P);あー /(int) Ah!/(P)/", edict, {"ああ|(int) Ah!|||0@1", "あー|(int) Ah!|||0@1"}},
      {"　？？？ /EDICT/\n〃 [おなじ] /(n) ditto mark/EntL12a/", edict, {"〃|(n) ditto mark; EntL12a||おなじ|0@2"}},
      {"a /x/\nb [c] /y\n", edict, {"2: not an EDICT line"}},
      {"; /x/\n", edict, {"1: no headword"}},
  };
  for (const auto& [bytes, options, want] : cases) {
    size_t line = 0;
    Result<WordList> read = ReadWordList(bytes, options, &line);
    const std::vector<std::string> got =
        read.IsOk() ? Show(*read) : std::vector{std::to_string(line) + ": " + read.GetStatus().Message()};
    ASSERT_EQ(got.size(), want.size()) << ::testing::PrintToString(bytes) << ::testing::PrintToString(got);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(got[i].starts_with(want[i])) << got[i];
  }
}

// What make does before building: entries for the readings (version 6 by
// the search form, version 5 by a headword that is the reading) and
// headwords in the version's form.
TEST(WordLists, ReadingEntriesAndHeadwordForms) {
  const WordList list = {{{.headword = "食べる", .translation = "to eat", .pronunciation = "たべる; 食べる;たべる"},
                          {.headword = "apple\tApple", .translation = "x", .pronunciation = "アップル"},
                          {.headword = "かな", .translation = "kana", .pronunciation = "かな"}},
                         {3, 4, 7}};
  const std::vector<std::string> want[] = {
      {"食べる|to eat||たべる; 食べる;たべる|0@3", "Apple|x||アップル|0@4", "かな|kana||かな|0@7",
       "たべる|【食べる】 to eat|||0@3", "アップル|【Apple】 x|||0@4"},
      {"食べる\t食べる|to eat||たべる; 食べる;たべる|0@3", "apple\tApple|x||アップル|0@4", "かな\tかな|kana||かな|0@7",
       "たべる\t食べる|to eat||たべる; 食べる;たべる|0@3", "アツフル\tApple|x||アップル|0@4"}};
  for (const bool v6 : {false, true}) {
    WordList l = list;
    AddReadingEntries(&l, v6);
    SetHeadwordForms(&l, v6);
    EXPECT_EQ(Show(l), want[v6]);
  }
}

}  // namespace
}  // namespace kebu::testing

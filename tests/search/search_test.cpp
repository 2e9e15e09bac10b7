// The full-text scan against a plain search over the whole texts that
// sequential reading returns, on writer-made dictionaries of every variant.
#include <atomic>
#include <new>
#include <random>
#include <stdexcept>
#include <thread>

#include "dictionary/dic_reader.h"
#include "search/match_ranges.h"
#include "search/text_scan.h"
#include "tests/support/test_support.h"

namespace kebu::testing {
namespace {

using Hits = std::vector<std::pair<RecordPosition, int>>;

// The folding as documented, written out again.
std::u16string Fold(std::u16string s, bool exact) {
  const struct { char16_t first, last, to; } kRanges[] = {
      {u'A', u'Z', u'a'}, {0xFF21, 0xFF3A, u'a'}, {0xFF41, 0xFF5A, u'a'}, {0xFF10, 0xFF19, u'0'}, {0x30A1, 0x30F6, 0x3041}};
  for (char16_t& u : s)
    for (const auto& r : kRanges) u = !exact && u >= r.first && u <= r.last ? u - r.first + r.to : u;
  return s;
}

Hits Naive(DicReader& reader, const std::u16string& query, bool exact) {
  Hits hits;
  const std::u16string q = Fold(query, exact);
  reader.Rewind();
  RecordText t;
  for (ReadStatus s; (s = reader.ReadNext(&t, kWholeTexts)) != ReadStatus::kEnd;) {
    const auto in = [&](const std::u16string& text) { return Fold(text, exact).find(q) != std::u16string::npos; };
    const int fields = in(t.headword) | in(t.translation) << 1 | in(t.example) << 2;
    if (s == ReadStatus::kRecord && !q.empty() && fields != 0) hits.emplace_back(t.position, fields);
  }
  return hits;
}

struct Outcome { Hits hits; Status result; TextScanStats stats; };

// The scan's hits until the callback has `stopAt` of them, setting *cancel at the first.
Outcome Scan(DicReader& reader, const std::u16string& query, TextScanOptions options,
             size_t stopAt = SIZE_MAX, std::atomic<bool>* cancel = nullptr) {
  Outcome o;
  options.cancel = cancel;
  o.result = ScanText(reader.Source(), query, options, [&](const TextHit& hit) {
    if (cancel != nullptr) *cancel = true;
    o.hits.emplace_back(hit.position, hit.fields);
    return o.hits.size() < stopAt;
  }, &o.stats);
  return o;
}

// Pieces of texts and queries: the folding table's edges, code page 932
// characters whose trail byte is an ASCII letter (ア 83 41, ソ 83 5C), a
// surrogate pair.
const std::u16string kPieces[] = {
    u"a", u"A", u"z", u"Z", u"0", u"9", u"@", u"[", u"`", u"{", u" ", u"-", u"ｚ", u"Ａ", u"\uFF20",
    u"\uFF21", u"\uFF3A", u"\uFF3B", u"ａ", u"０", u"９", u"\u30A0", u"\u30A1", u"\u30F6", u"\u30F7",
    u"ぁ", u"ゖ", u"ア", u"ソ", u"イ", u"あ", u"鉄", u"道", u"表", u"𠮷", u"rail", u"ｗａｙ"};

std::string RandomText(std::mt19937& random, size_t most, const char16_t* end = u"") {
  std::u16string s;
  for (size_t n = random() % (most + 1); n > 0; --n) s += kPieces[random() % std::size(kPieces)];
  return writer::Utf16ToUtf8(s + end);
}

TEST(TextScan, FindsWhatAPlainSearchOfTheWholeTextsFinds) {
  using enum Encoding;
  using enum LengthWidth;
  const Options variants[] = {
      {.version = 0x400, .encoding = kCp932, .block_size = 64, .lengths = k2},
      {.version = 0x500, .encoding = kCp932, .block_size = 256, .recordsPerArea = 3, .lengths = k4},
      {.version = 0x600, .encoding = kCp932, .block_size = 1024, .lengths = k2},
      {.version = 0x400, .encoding = kBocu1, .block_size = 128, .recordsPerArea = 2, .lengths = k4},
      {.version = 0x500, .encoding = kBocu1, .block_size = 512, .lengths = k2},
      {.version = 0x600, .encoding = kBocu1, .block_size = 64, .recordsPerArea = 1, .lengths = k2}};
  TempDir dir;
  std::mt19937 random(7);
  for (const Options& v : variants) {
    SCOPED_TRACE(::testing::Message() << "encoding " << int(v.encoding) << " version " << v.version);
    std::vector<Record> records;
    for (int i = 0; i < 300; ++i) {
      const std::string headword = RandomText(random, 4, u"x");
      records.push_back({.headword = v.version >= 0x600 ? V6Headword(headword) : headword,
                         .translation = RandomText(random, 8), .example = i % 3 ? "" : RandomText(random, 6)});
    }
    WriteFile(dir.File("v.dic"), MakeDictionary(records, v).bytes);
    DicReader reader;
    ASSERT_TRUE(reader.Open(dir.File("v.dic").string()).IsOk());
    // Queries: the pieces alone, and cuts of the stored texts (crossing
    // code page 932 characters) with units swapped for their other case,
    // width or kana.
    std::vector<std::u16string> queries(std::begin(kPieces), std::end(kPieces));
    reader.Rewind();
    RecordText t;
    for (int i = 0; reader.ReadNext(&t, kWholeTexts) != ReadStatus::kEnd; ++i) {
      const std::u16string& text = i % 2 ? t.translation : t.headword;
      std::u16string q = text.empty() ? u"" : text.substr(random() % text.size(), 1 + random() % 4);
      for (char16_t& u : q) {
        if (random() % 3 == 0 && u >= u'a' && u <= u'z') u = u - u'a' + (random() % 2 ? u'A' : 0xFF21);
        if (random() % 3 == 0 && u >= 0x3041 && u <= 0x3096) u += 0x60;
      }
      queries.push_back(q);
    }
    for (size_t i = 0; i < queries.size(); ++i) {
      const bool exact = i % 5 == 0;
      ASSERT_EQ(Scan(reader, queries[i], {.exact = exact, .threads = 1 + int(i % 4)}).hits,
                Naive(reader, queries[i], exact))
          << "query " << writer::Utf16ToUtf8(queries[i]) << (exact ? " (exact)" : "");
    }
  }
}

// A dictionary of 2,000 records, 4 to an area, and its plain-search hits of "a".
class TextScanOnMany : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(3);
    std::vector<Record> records;
    for (int i = 0; i < 2000; ++i) records.push_back({.headword = RandomText(random, 3, u"y"), .translation = RandomText(random, 5)});
    WriteFile(dir_.File("m.dic"), MakeDictionary(records, {.block_size = 128, .recordsPerArea = 4}).bytes);
    ASSERT_TRUE(reader_.Open(dir_.File("m.dic").string()).IsOk());
    all_ = Naive(reader_, u"a", false);
    ASSERT_GT(all_.size(), 100u);
  }
  TempDir dir_; DicReader reader_; Hits all_;
};

TEST_F(TextScanOnMany, GivesTheSameHitsInTheSameOrderOnOneTwoAndFourThreads) {
  for (int threads : {1, 2, 4}) EXPECT_EQ(Scan(reader_, u"a", {.threads = threads}).hits, all_) << threads;
}

TEST_F(TextScanOnMany, EndsWhenCancelledOrWhenTheCallerHasEnough) {
  for (int threads : {1, 2}) {
    std::atomic<bool> cancel{false};
    const Outcome cancelled = Scan(reader_, u"a", {.threads = threads}, SIZE_MAX, &cancel);
    EXPECT_EQ(cancelled.result.Code(), StatusCode::kCancelled);
    EXPECT_LT(cancelled.hits.size(), all_.size() / 2);
    const Outcome first = Scan(reader_, u"a", {.threads = threads}, 5);
    EXPECT_TRUE(first.result.IsOk() && first.stats.stopped);
    EXPECT_EQ(first.hits, Hits(all_.begin(), all_.begin() + 5));
    // A callback that throws ends the scan with its failure, the helpers
    // stopped and joined: on a late hit (one a helper found, with helpers),
    // and in progress.
    size_t calls = 0;
    const Status thrown = ScanText(reader_.Source(), u"a", {.threads = threads}, [&](const TextHit&) {
      if (++calls == all_.size() - 1) throw std::runtime_error("no room for hits");
      return true;
    });
    EXPECT_EQ(thrown.Code(), StatusCode::kInternal);
    EXPECT_EQ(thrown.Message(), "no room for hits");
    TextScanOptions failing{.threads = threads};
    failing.progress = [](int32_t done, int32_t) {
      if (done > 0) throw std::bad_alloc();
    };
    EXPECT_EQ(ScanText(reader_.Source(), u"a", failing, [](const TextHit&) { return true; }).Code(),
              StatusCode::kOutOfMemory);
  }
}

TEST_F(TextScanOnMany, ConcurrentLookupsOnTheSameDictionaryAreUndisturbed) {
  const uint32_t expected = reader_.Lookup(u"a", false, 0).count;
  std::atomic<bool> wrong{false};
  std::thread lookups([&] {
    auto lookup = reader_.NewLookup();
    for (int i = 0; i < 200; ++i) wrong = wrong || lookup->Lookup(u"a", false, 0).count != expected;
  });
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Scan(reader_, u"a", {.threads = 2}).hits, all_);
  lookups.join();
  EXPECT_FALSE(wrong);
}

TEST(TextScan, EndsCleanlyOnADamagedFile) {
  // Entries: a good area, an area whose first record runs past its end, a
  // block past the end of the file, and the first area again.
  std::vector<uint8_t> data = MakeRawArea(EncodeRecord({.headword = "rail", .translation = std::string("way\0r", 5)}, Encoding::kCp932, 2), 64);
  const auto broken = MakeRawArea(std::vector<uint8_t>{0xF0, 0x7F, 0x00, 'r', 0x00, 0x01, 'x'}, 64);
  data.insert(data.end(), broken.begin(), broken.end());
  TempDir dir;
  WriteFile(dir.File("d.dic"), AssembleFile({.block_size = 64}, {{0, "a"}, {1, "b"}, {9999, "c"}, {0, "d"}}, data));
  DicReader reader;
  ASSERT_TRUE(reader.Open(dir.File("d.dic").string()).IsOk());
  const Outcome o = Scan(reader, u"r", {.threads = 2});
  EXPECT_TRUE(o.result.IsOk() && !o.stats.stopped);
  EXPECT_EQ(o.hits, Naive(reader, u"r", false));
  EXPECT_EQ(o.hits.size(), 1u);
  EXPECT_EQ(o.stats.skippedAreas, 2);
}

TEST(MatchRanges, MarkEveryMatchUnderTheScansFolding) {
  using R = std::vector<TextRange>;
  // text, query, exact, ranges
  for (const auto& [text, query, exact, ranges] : std::vector<std::tuple<std::u16string, std::u16string, bool, R>>{
           {u"Railway rail", u"RAIL", false, R{{0, 4}, {8, 12}}}, {u"Railway rail", u"RAIL", true, R{}},
           {u"Railway rail", u"rail", true, R{{8, 12}}}, {u"ＲＡＩＬ２ ｒａｉｌ", u"rail2", false, R{{0, 5}}},
           {u"アップル りんご", u"あっぷる", false, R{{0, 4}}}, {u"aaa-aa", u"aa", false, R{{0, 3}, {4, 6}}},
           {u"a\0a", std::u16string(u"a\0", 2), false, R{}}, {u"abc", u"", false, R{}}}) {
    EXPECT_EQ(FindQueryRanges(text, query, exact), ranges) << writer::Utf16ToUtf8(text);
  }
}

}  // namespace
}  // namespace kebu::testing

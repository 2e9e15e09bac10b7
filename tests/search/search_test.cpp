// The full-text scan against a plain search over the whole texts that
// sequential reading returns, on writer-made dictionaries of every variant.
#include <atomic>
#include <random>
#include <thread>

#include "dictionary/dic_reader.h"
#include "search/text_scan.h"
#include "tests/support/test_support.h"

namespace kebu::testing {
namespace {

using Hits = std::vector<std::pair<RecordPosition, int>>;

// The folding as documented, written out again.
std::u16string Fold(std::u16string s, bool exact) {
  for (char16_t& u : s) {
    if (exact) break;
    if (u >= u'A' && u <= u'Z') u += 0x20;
    else if (u >= 0xFF21 && u <= 0xFF3A) u = u - 0xFF21 + u'a';
    else if (u >= 0xFF41 && u <= 0xFF5A) u = u - 0xFF41 + u'a';
    else if (u >= 0xFF10 && u <= 0xFF19) u = u - 0xFF10 + u'0';
    else if (u >= 0x30A1 && u <= 0x30F6) u -= 0x60;
  }
  return s;
}

Hits Naive(DicReader& reader, const std::u16string& query, bool exact) {
  Hits hits;
  const std::u16string q = Fold(query, exact);
  auto cursor = reader.NewCursor();
  cursor->Rewind();
  RecordText t;
  for (ReadStatus s; (s = cursor->ReadNext(&t, kWholeTexts)) != ReadStatus::kEnd;) {
    const auto in = [&](const std::u16string& text) { return Fold(text, exact).find(q) != std::u16string::npos; };
    const int fields = in(t.headword) | in(t.translation) << 1 | in(t.example) << 2;
    if (s == ReadStatus::kRecord && !q.empty() && fields != 0) hits.emplace_back(t.position, fields);
  }
  return hits;
}

Hits Scan(DicReader& reader, const std::u16string& query, TextScanOptions options,
          TextScanResult* result = nullptr, size_t stopAt = SIZE_MAX) {
  Hits hits;
  const TextScanResult r = ScanText(reader.Source(), query, options, [&](const TextHit& hit) {
    hits.emplace_back(hit.position, hit.fields);
    return hits.size() < stopAt;
  });
  if (result != nullptr) *result = r;
  return hits;
}

// Pieces of texts and queries: the folding table's edges, code page 932
// characters whose trail byte is an ASCII letter (ア 83 41, ソ 83 5C), a
// surrogate pair.
const std::u16string kPieces[] = {
    u"a", u"A", u"z", u"Z", u"0", u"9", u"@", u"[", u"`", u"{", u" ", u"-", u"ｚ", u"Ａ", u"\uFF20",
    u"\uFF21", u"\uFF3A", u"\uFF3B", u"ａ", u"０", u"９", u"\u30A0", u"\u30A1", u"\u30F6", u"\u30F7",
    u"ぁ", u"ゖ", u"ア", u"ソ", u"イ", u"あ", u"鉄", u"道", u"表", u"𠮷", u"rail", u"ｗａｙ"};

std::u16string RandomText(std::mt19937& random, size_t most) {
  std::u16string s;
  for (size_t n = random() % (most + 1); n > 0; --n) s += kPieces[random() % std::size(kPieces)];
  return s;
}

std::string Utf8(const std::u16string& s) { return writer::Utf16ToUtf8(s); }

struct Variant {
  Encoding encoding;
  uint16_t version;
  LengthWidth lengths;
  int blockSize, recordsPerArea;
};

TEST(TextScan, FindsWhatAPlainSearchOfTheWholeTextsFinds) {
  const Variant variants[] = {
      {Encoding::kCp932, 0x0400, LengthWidth::k2, 64, 0},  {Encoding::kCp932, 0x0500, LengthWidth::k4, 256, 3},
      {Encoding::kCp932, 0x0600, LengthWidth::k2, 1024, 0}, {Encoding::kBocu1, 0x0400, LengthWidth::k4, 128, 2},
      {Encoding::kBocu1, 0x0500, LengthWidth::k2, 512, 0},  {Encoding::kBocu1, 0x0600, LengthWidth::k2, 64, 1}};
  TempDir dir;
  std::mt19937 random(7);
  for (const Variant& v : variants) {
    SCOPED_TRACE(::testing::Message() << "encoding " << int(v.encoding) << " version " << v.version);
    std::vector<Record> records;
    for (int i = 0; i < 300; ++i) {
      const std::string headword = Utf8(RandomText(random, 4) + u"x");
      records.push_back({.headword = v.version >= 0x0600 ? V6Headword(headword) : headword,
                         .translation = Utf8(RandomText(random, 8)),
                         .example = i % 3 == 0 ? Utf8(RandomText(random, 6)) : ""});
    }
    Options options{.version = v.version, .encoding = v.encoding, .block_size = v.blockSize,
                    .records_per_area = v.recordsPerArea, .lengths = v.lengths};
    const auto path = dir.File("v.dic");
    WriteFile(path, BuildDictionary(records, options).bytes);
    DicReader reader;
    ASSERT_TRUE(reader.Open(path.string()));
    // Queries: the edges alone, pieces run together, and cuts of the stored
    // texts (crossing characters of code page 932) with units swapped for
    // their other case, width or kana.
    std::vector<std::u16string> queries(std::begin(kPieces), std::end(kPieces));
    auto cursor = reader.NewCursor();
    cursor->Rewind();
    RecordText t;
    for (int i = 0; cursor->ReadNext(&t, kWholeTexts) != ReadStatus::kEnd; ++i) {
      const std::u16string& text = i % 2 ? t.translation : t.headword;
      if (text.empty()) continue;
      std::u16string q = text.substr(random() % text.size(), 1 + random() % 4);
      for (char16_t& u : q) {
        if (random() % 3 == 0 && u >= u'a' && u <= u'z') u = u - u'a' + (random() % 2 ? u'A' : 0xFF21);
        if (random() % 3 == 0 && u >= 0x3041 && u <= 0x3096) u += 0x60;
      }
      queries.push_back(q);
      queries.push_back(RandomText(random, 3));
    }
    for (size_t i = 0; i < queries.size(); ++i) {
      const bool exact = i % 5 == 0;
      ASSERT_EQ(Scan(reader, queries[i], {.exact = exact, .threads = 1 + int(i % 4)}),
                Naive(reader, queries[i], exact))
          << "query " << Utf8(queries[i]) << (exact ? " (exact)" : "");
    }
  }
}

// A dictionary of 2,000 records, 4 to an area, and its plain-search hits of "a".
class TextScanOnMany : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(3);
    std::vector<Record> records;
    for (int i = 0; i < 2000; ++i) {
      records.push_back({.headword = Utf8(RandomText(random, 3) + u"y"), .translation = Utf8(RandomText(random, 5))});
    }
    WriteFile(dir_.File("m.dic"), BuildDictionary(records, {.block_size = 128, .records_per_area = 4}).bytes);
    ASSERT_TRUE(reader_.Open(dir_.File("m.dic").string()));
    all_ = Naive(reader_, u"a", false);
    ASSERT_GT(all_.size(), 100u);
  }
  TempDir dir_;
  DicReader reader_;
  Hits all_;
};

TEST_F(TextScanOnMany, GivesTheSameHitsInTheSameOrderOnOneTwoAndFourThreads) {
  for (int threads : {1, 2, 4}) EXPECT_EQ(Scan(reader_, u"a", {.threads = threads}), all_) << threads;
}

TEST_F(TextScanOnMany, EndsWhenCancelledOrWhenTheCallerHasEnough) {
  for (int threads : {1, 2}) {
    std::atomic<bool> cancel{false};
    TextScanResult result;
    size_t seen = 0;
    TextScanOptions options{.threads = threads, .cancel = &cancel};
    EXPECT_EQ(ScanText(reader_.Source(), u"a", options, [&](const TextHit&) { return ++seen, cancel = true; }),
              TextScanResult::kCancelled);
    EXPECT_LT(seen, all_.size() / 2);
    const Hits first = Scan(reader_, u"a", {.threads = threads}, &result, 5);
    EXPECT_EQ(result, TextScanResult::kStopped);
    EXPECT_EQ(first, Hits(all_.begin(), all_.begin() + 5));
  }
}

TEST_F(TextScanOnMany, ConcurrentLookupsOnTheSameDictionaryAreUndisturbed) {
  bool truncated = false;
  const uint32_t expected = reader_.Lookup(u"a", false, 0, &truncated);
  std::atomic<bool> wrong{false};
  std::thread lookups([&] {
    auto lookup = reader_.NewLookup();
    for (int i = 0; i < 200; ++i) wrong = wrong || lookup->Lookup(u"a", false, 0, &truncated) != expected;
  });
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Scan(reader_, u"a", {.threads = 2}), all_);
  lookups.join();
  EXPECT_FALSE(wrong);
}

TEST(TextScan, EndsCleanlyOnADamagedFile) {
  const auto good = EncodeRecord({.headword = "rail", .translation = std::string("way\0r", 5)}, Encoding::kCp932, 2);
  const std::vector<uint8_t> broken = {0xF0, 0x7F, 0x00, 'r', 0x00, 0x01, 'x'};  // length past the area
  std::vector<uint8_t> data = MakeRawArea(good, 64);
  const auto second = MakeRawArea(broken, 64);
  data.insert(data.end(), second.begin(), second.end());
  TempDir dir;
  WriteFile(dir.File("d.dic"), AssembleFile({.block_size = 64}, {{0, "a"}, {1, "b"}, {9999, "c"}, {0, "d"}}, data));
  DicReader reader;
  ASSERT_TRUE(reader.Open(dir.File("d.dic").string()));
  TextScanStats stats;
  Hits hits;
  EXPECT_EQ(ScanText(reader.Source(), u"r", {.threads = 2}, [&](const TextHit& h) {
              return hits.emplace_back(h.position, h.fields), true;
            }, &stats), TextScanResult::kDone);
  EXPECT_EQ(hits, Naive(reader, u"r", false));
  EXPECT_EQ(hits.size(), 1u);
  EXPECT_EQ(stats.skippedAreas, 2);
}

}  // namespace
}  // namespace kebu::testing

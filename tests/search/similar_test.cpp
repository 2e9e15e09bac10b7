// Suggestions and headword patterns against a plain computation over every
// headword that sequential reading returns (a textbook dynamic programme for
// the distance, a recursive matcher for the patterns), on writer-made
// dictionaries of every variant.
#include <algorithm>
#include <atomic>
#include <map>
#include <numeric>
#include <random>

#include "dictionary/dic_reader.h"
#include "search/headword_pattern.h"
#include "search/similar_distance.h"
#include "search/similar_headwords.h"
#include "tests/support/test_support.h"

namespace kebu::testing {
namespace {

// The restricted Damerau-Levenshtein distance, the whole table.
size_t Distance(const std::u16string& a, const std::u16string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

// `*`, `?`, and a backslash before `*`, `?` or `\` that makes it literal.
bool Glob(std::u16string_view p, std::u16string_view t) {
  if (p.empty()) return t.empty();
  if (p[0] == u'*') return Glob(p.substr(1), t) || (!t.empty() && Glob(p, t.substr(1)));
  if (p[0] == u'?') return !t.empty() && Glob(p.substr(1), t.substr(1));
  const size_t skip = p[0] == u'\\' && p.size() > 1 && std::u16string_view(u"*?\\").find(p[1]) != std::u16string_view::npos;
  return !t.empty() && t[0] == p[skip] && Glob(p.substr(skip + 1), t.substr(1));
}

// Every record as sequential reading returns it, with its headword as compared.
struct Entry { RecordPosition position; std::u16string form, shown; };
std::vector<Entry> ReadAll(DicReader& reader) {
  std::vector<Entry> all;
  reader.Rewind();
  RecordText t;
  for (ReadStatus s; (s = reader.ReadNext(&t, kWholeTexts)) != ReadStatus::kEnd;) {
    if (s != ReadStatus::kRecord) continue;
    const size_t tab = reader.GetVersionMajor() >= 6 ? t.headword.find(u'\t') : std::u16string::npos;
    all.push_back({t.position, t.headword.substr(0, tab), tab == std::u16string::npos ? t.headword : t.headword.substr(tab + 1)});
  }
  return all;
}

using Suggestion = std::tuple<size_t, std::u16string, int, int32_t, int32_t, std::u16string>;  // dictionary, form, distance, entry, offset, shown

// Distance first, then a first unit like the key's, then dictionary and file order; each form once.
std::vector<Suggestion> PlainSimilar(const std::vector<std::vector<Entry>>& dictionaries, const std::vector<int32_t>& versions,
                                     const std::u16string& key, size_t limit) {
  std::vector<std::pair<std::tuple<int, bool, size_t, size_t>, Suggestion>> found;
  for (size_t d = 0; d < dictionaries.size(); ++d) {
    const std::u16string k = versions[d] >= 6 ? FoldKeyV6(key) : key;
    for (size_t i = 0; i < dictionaries[d].size(); ++i) {
      const Entry& e = dictionaries[d][i];
      const size_t distance = Distance(k, e.form);
      if (k.empty() || distance > (k.size() <= 4 ? 1u : 2u)) continue;
      found.push_back({{int(distance), e.form[0] != k[0], d, i}, {d, e.form, int(distance), e.position.indexEntry, e.position.recordOffset, e.shown}});
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<Suggestion> list;
  for (const auto& [rank, s] : found) {
    if (std::none_of(list.begin(), list.end(), [&](const Suggestion& o) { return std::get<1>(o) == std::get<1>(s); })) list.push_back(s);
  }
  if (limit > 0 && list.size() > limit) list.resize(limit);
  return list;
}

std::vector<Suggestion> Similar(const std::vector<std::shared_ptr<const DicSource>>& sources, const std::u16string& key,
                                SimilarOptions options) {
  Result<std::vector<SimilarHeadword>> r = FindSimilarHeadwords(sources, key, options);
  EXPECT_TRUE(r.IsOk()) << r.GetStatus().Message();
  std::vector<Suggestion> list;
  if (r.IsOk()) for (const SimilarHeadword& s : *r) list.push_back({s.dictionary, s.form, s.distance, s.position.indexEntry, s.position.recordOffset, s.headword});
  return list;
}

std::vector<RecordPosition> PlainPattern(const std::vector<Entry>& all, std::u16string pattern, int32_t version) {
  if (version >= 6) pattern = FoldKeyV6(pattern);  // touches no `*`, `?` or backslash
  std::vector<RecordPosition> hits;
  for (const Entry& e : all) if (Glob(pattern, e.form)) hits.push_back(e.position);
  return hits;
}

struct PatternOutcome { std::vector<RecordPosition> hits; PatternScanStats stats; StatusCode code = StatusCode::kOk; };
PatternOutcome Pattern(const std::shared_ptr<const DicSource>& source, const std::u16string& pattern, HeadwordPatternOptions options,
                       std::atomic<bool>* cancel = nullptr) {
  PatternOutcome o;
  options.cancel = cancel;
  Result<PatternScanStats> r = ScanHeadwordPattern(source, HeadwordPattern(pattern), options, [&](const RecordPosition& at) {
    if (cancel != nullptr) *cancel = true;
    o.hits.push_back(at);
    return true;
  });
  o.code = r.GetStatus().Code();
  if (r.IsOk()) o.stats = *r;
  return o;
}

// Pieces of headwords: letters in both cases and a hyphen (version 6 folds
// them), ア and ソ (code page 932 83 41 and 83 5C: a trail byte that is an ASCII
// letter or the backslash), voiced and small katakana, a kanji, a surrogate
// pair (code page 932 writes '?'), and the pattern's own characters.
const std::u16string kPieces[] = {u"a", u"b", u"c", u"A", u"B", u"-", u" ", u"ア", u"ソ", u"ガ", u"カ", u"ッ", u"鉄", u"𠮷", u"*", u"?", u"\\", u"ab"};

std::u16string RandomText(std::mt19937& random, size_t fewest, size_t most) {
  std::u16string s;
  for (size_t n = fewest + random() % (most - fewest + 1); n > 0; --n) s += kPieces[random() % std::size(kPieces)];
  return s;
}

// A few edits of `s`: insert, delete, substitute, swap neighbours.
std::u16string Misspell(std::mt19937& random, std::u16string s, int edits) {
  for (int e = 0; e < edits; ++e) {
    const size_t at = s.empty() ? 0 : random() % s.size();
    const std::u16string piece = kPieces[random() % std::size(kPieces)].substr(0, 1);
    switch (random() % 4) {
      case 0: s.insert(at, piece); break;
      case 1: if (!s.empty()) s.erase(at, 1); break;
      case 2: if (!s.empty()) s[at] = piece[0]; break;
      default: if (at + 1 < s.size()) std::swap(s[at], s[at + 1]);
    }
  }
  return s;
}

// A pattern made from a headword: units kept, turned into `?`, runs into `*`, literal wildcards escaped.
std::u16string PatternOf(std::mt19937& random, const std::u16string& form) {
  std::u16string p;
  for (size_t i = 0; i < form.size(); ++i) {
    const unsigned roll = random() % 10;
    if (roll == 0) p += u'?';
    else if (roll == 1) { p += random() % 2 ? u"**" : u"*"; i += random() % 3; }
    else p += (form[i] == u'*' || form[i] == u'?' || form[i] == u'\\') && random() % 4 ? u"\\" + form.substr(i, 1) : form.substr(i, 1);
  }
  return p;
}

using enum Encoding;
const Options kVariants[] = {
    {.version = 0x500, .encoding = kCp932, .block_size = 64, .recordsPerArea = 3},
    {.version = 0x600, .encoding = kCp932, .block_size = 256},
    {.version = 0x500, .encoding = kBocu1, .block_size = 128, .recordsPerArea = 2},
    {.version = 0x600, .encoding = kBocu1, .block_size = 64, .recordsPerArea = 4}};

class SimilarOnEveryVariant : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(11);
    for (const Options& v : kVariants) {
      std::vector<Record> records;
      for (int i = 0; i < 300; ++i) {
        const std::string text = Utf16ToUtf8(RandomText(random, 1, 5));
        for (int copies = i % 17 == 0 ? 2 : 1; copies > 0; --copies) {  // some headwords twice
          records.push_back({.headword = v.version >= 0x600 ? V6Headword(text) : text, .translation = "t"});
        }
      }
      // Code page 932 as other writers may store it: ≒ under its second code
      // (87 90), a lead byte alone at the end next to the same byte as a lead
      // byte (81 40: U+3000), an undefined byte (U+FFFD in one byte).
      for (const std::string raw : {"\x87\x90" "a", "a\x81", "a\x81\x40x", "\x80"}) {
        if (v.encoding == kCp932) records.push_back({.headword = v.version >= 0x600 ? raw + '\t' + raw : raw, .translation = "t", .rawText = true});
      }
      auto& reader = readers_.emplace_back(std::make_unique<DicReader>());
      const std::string path = dir_.File(std::to_string(readers_.size()) + ".dic").string();
      WriteFile(path, MakeDictionary(records, v).bytes);
      ASSERT_TRUE(reader->Open(path).IsOk());
      all_.push_back(ReadAll(*reader));
    }
  }
  TempDir dir_;
  std::vector<std::unique_ptr<DicReader>> readers_;
  std::vector<std::vector<Entry>> all_;
};

TEST_F(SimilarOnEveryVariant, SuggestsWhatAPlainDistanceOverEveryHeadwordSuggests) {
  std::mt19937 random(5);
  for (size_t v = 0; v < readers_.size(); ++v) {
    SCOPED_TRACE(::testing::Message() << "variant " << v);
    const std::u16string fixed[] = {u"≒b", u"a\u3000x", u"a\uFFFD", u"\uFFFD\uFFFD"};
    for (int i = 0; i < 64; ++i) {
      const Entry& e = all_[v][random() % all_[v].size()];
      const std::u16string key = i >= 60 ? fixed[i - 60] : i % 5 == 0 ? RandomText(random, 0, 4) : Misspell(random, i % 2 ? e.shown : e.form, int(random() % 4));
      const size_t limit = std::vector<size_t>{0, 1, 3, 10}[i % 4];
      const SimilarOptions options{.limit = int(limit), .threads = 1 + i % 3};
      ASSERT_EQ(Similar({readers_[v]->Source()}, key, options), PlainSimilar({all_[v]}, {readers_[v]->GetVersionMajor()}, key, limit))
          << "key " << Utf16ToUtf8(key) << " limit " << limit;
    }
  }
  // Several dictionaries: each measures with the key as it compares it; a form once, at its best.
  for (const std::u16string key : {u"aba", u"ABC", u"アソ", u"ab-a", u"カガ"}) {
    std::vector<std::shared_ptr<const DicSource>> sources = {readers_[0]->Source(), nullptr, readers_[3]->Source(), readers_[1]->Source()};
    std::vector<std::vector<Entry>> all = {all_[0], {}, all_[3], all_[1]};
    std::vector<int32_t> versions = {5, 0, 6, 6};
    EXPECT_EQ(Similar(sources, key, {.limit = 8, .threads = 2}), PlainSimilar(all, versions, key, 8)) << Utf16ToUtf8(key);
  }
}

TEST_F(SimilarOnEveryVariant, PassOverOnlyRecordAreasThatHoldNothingWithinReach) {
  std::mt19937 random(3);
  size_t passedOver = 0;
  for (size_t v = 0; v < readers_.size(); ++v) {
    const auto source = readers_[v]->Source();
    for (int i = 0; i < 20; ++i) {
      const std::u16string key = SimilarKeyForm(Misspell(random, all_[v][random() % all_[v].size()].form, i % 3), source->versionMajor);
      const size_t k = MaxSimilarDistance(key.size());
      similar_detail::HeadwordDistance distance(key, int(k), source->IsBocu1(), source->versionMajor >= 6);
      std::vector<int32_t> entries(size_t(source->index.EntryLimit() - 1));
      std::iota(entries.begin(), entries.end(), 0);
      std::shuffle(entries.begin(), entries.end(), random);  // not in turn: what was decoded last is no help
      for (const int32_t n : entries) {
        uint32_t block, length, nextLength;
        const uint8_t *first, *next;
        ASSERT_TRUE(source->index.ReadEntry(n, &block, &first, &length) && source->index.ReadEntry(n + 1, &block, &next, &nextLength));
        if (!distance.Hopeless(first, length, next, nextLength)) continue;
        ++passedOver;
        for (const Entry& e : all_[v]) {
          if (e.position.indexEntry == n) EXPECT_GT(Distance(key, e.form), k) << Utf16ToUtf8(key) << " / " << Utf16ToUtf8(e.form);
        }
      }
    }
  }
  EXPECT_GT(passedOver, 100u);
}

TEST_F(SimilarOnEveryVariant, PatternsMatchWhatAPlainMatcherOverEveryHeadwordMatches) {
  std::mt19937 random(9);
  for (size_t v = 0; v < readers_.size(); ++v) {
    SCOPED_TRACE(::testing::Message() << "variant " << v);
    const int32_t version = readers_[v]->GetVersionMajor();
    std::vector<std::u16string> patterns = {u"", u"*", u"**", u"?", u"a*", u"*a", u"\\*", u"*\\?*", u"\\\\*", u"a\\b", u"ア*", u"?ソ*", u"𠮷*", u"A-*", u"≒*", u"≒a", u"a\u3000*"};
    for (int i = 0; i < 50; ++i) {
      const Entry& e = all_[v][random() % all_[v].size()];
      patterns.push_back(PatternOf(random, i % 3 ? e.form : e.shown));
    }
    for (size_t i = 0; i < patterns.size(); ++i) {
      ASSERT_EQ(Pattern(readers_[v]->Source(), patterns[i], {.threads = 1 + int(i % 3)}).hits, PlainPattern(all_[v], patterns[i], version))
          << "pattern " << Utf16ToUtf8(patterns[i]);
    }
  }
}

TEST_F(SimilarOnEveryVariant, PatternPagesCountAndResumeWhereTheLastEnded) {
  for (size_t v = 0; v < readers_.size(); ++v) {
    for (const std::u16string pattern : {u"*", u"a*", u"*?b*"}) {
      const std::vector<RecordPosition> all = PlainPattern(all_[v], pattern, readers_[v]->GetVersionMajor());
      ASSERT_GT(all.size(), 7u) << Utf16ToUtf8(pattern);
      for (int threads : {1, 2}) {
        // Pages of 7: the first counts every hit, the next ones end at the first past their limit.
        std::vector<RecordPosition> paged;
        HeadwordPatternOptions options{.threads = threads, .limit = 7, .countAll = true};
        for (bool first = true;; first = false) {
          const PatternOutcome page = Pattern(readers_[v]->Source(), pattern, options);
          ASSERT_EQ(page.code, StatusCode::kOk);
          EXPECT_EQ(page.stats.listed, page.hits.size());
          if (first) EXPECT_EQ(page.stats.hits, all.size());
          else EXPECT_EQ(page.stats.hits, std::min<size_t>(8, all.size() - paged.size()));
          paged.insert(paged.end(), page.hits.begin(), page.hits.end());
          EXPECT_EQ(page.stats.more, paged.size() < all.size());
          if (!page.stats.more) break;
          options.after = paged.back();
          options.countAll = false;
        }
        EXPECT_EQ(paged, all) << Utf16ToUtf8(pattern) << " threads " << threads;
      }
    }
  }
}

TEST_F(SimilarOnEveryVariant, EndWhenCancelled) {
  for (int threads : {1, 3}) {
    std::atomic<bool> cancel{false};
    const PatternOutcome o = Pattern(readers_[0]->Source(), u"*", {.threads = threads}, &cancel);
    EXPECT_EQ(o.code, StatusCode::kCancelled);
    EXPECT_LT(o.hits.size(), all_[0].size() / 2);
    std::atomic<bool> cancelled{true};
    EXPECT_EQ(FindSimilarHeadwords({readers_[0]->Source()}, u"ab", {.threads = threads, .cancel = &cancelled}).GetStatus().Code(),
              StatusCode::kCancelled);
  }
}

TEST(SimilarHeadwords, EndCleanlyOnADamagedFile) {
  // Entries: a good area, an area whose first record runs past its end, a
  // block past the end of the file, and the first area again.
  std::vector<uint8_t> data = MakeRawArea(EncodeRecord({.headword = "rail", .translation = "way"}, Encoding::kCp932, 2), 64);
  const auto broken = MakeRawArea(std::vector<uint8_t>{0xF0, 0x7F, 0x00, 'r', 0x00, 0x01, 'x'}, 64);
  data.insert(data.end(), broken.begin(), broken.end());
  TempDir dir;
  WriteFile(dir.File("d.dic"), AssembleFile({.block_size = 64}, {{0, "a"}, {1, "b"}, {9999, "c"}, {0, "d"}}, data));
  DicReader reader;
  ASSERT_TRUE(reader.Open(dir.File("d.dic").string()).IsOk());
  const std::vector<Entry> all = ReadAll(reader);
  EXPECT_EQ(Similar({reader.Source()}, u"rial", {.threads = 2}), PlainSimilar({all}, {5}, u"rial", 10));
  EXPECT_EQ(Similar({reader.Source()}, u"rial", {}).size(), 1u);
  const PatternOutcome o = Pattern(reader.Source(), u"*ai?", {.threads = 2});
  EXPECT_EQ(o.hits, PlainPattern(all, u"*ai?", 5));
  EXPECT_EQ(o.stats.skippedAreas, 2);
  EXPECT_EQ(Pattern(reader.Source(), u"r*", {}).code, StatusCode::kOk);  // the index's keys frame no area here
}

TEST(HeadwordPattern, IsAPatternWhenAWildcardIsNotEscaped) {
  for (const auto& [key, pattern] : std::vector<std::pair<std::u16string, bool>>{
           {u"rail", false}, {u"rail*", true}, {u"r?il", true}, {u"\\*", false}, {u"a\\?b", false}, {u"\\\\*", true}, {u"\\", false}}) {
    EXPECT_EQ(HeadwordPattern::HasWildcard(key), pattern) << Utf16ToUtf8(key);
  }
}

}  // namespace
}  // namespace kebu::testing

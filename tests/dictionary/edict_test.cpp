// Real data: a dictionary built from the EDICT word list answers sampled keys
// with exactly the records that a plain scan of the list expects.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "tests/dictionary/reader_fixture.h"

namespace kebu::testing {
namespace {

constexpr const char* kEdict = "/usr/share/edict/edict";
constexpr size_t kRecords = 30000;

// WORD [READING] /gloss/gloss/.../ as records, the list's own first line
// left out.
std::vector<Record> ReadEdict(size_t limit) {
  std::ifstream in(kEdict, std::ios::binary);
  std::vector<Record> records;
  std::string line;
  std::getline(in, line);  // the list's title line
  while (records.size() < limit && std::getline(in, line)) {
    std::string utf8(line.size() * 3 + 4, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_convert("UTF-8", "EUC-JP", utf8.data(), static_cast<int32_t>(utf8.size()),
                                   line.data(), static_cast<int32_t>(line.size()), &status);
    if (U_FAILURE(status)) continue;
    utf8.resize(n);
    const size_t slash = utf8.find(" /");
    if (slash == std::string::npos) continue;
    std::string head = utf8.substr(0, slash);
    Record r;
    const size_t bracket = head.find(" [");
    if (bracket != std::string::npos) {
      r.pronunciation = head.substr(bracket + 2, head.size() - bracket - 3);
      head.resize(bracket);
    }
    r.headword = head;
    std::string glosses = utf8.substr(slash + 2);
    if (!glosses.empty() && glosses.back() == '/') glosses.pop_back();
    std::replace(glosses.begin(), glosses.end(), '/', ';');
    r.translation = glosses;
    records.push_back(std::move(r));
  }
  return records;
}

struct Expected {
  std::string headword, translation, pronunciation;
  bool operator<(const Expected& o) const {
    return std::tie(headword, translation, pronunciation) <
           std::tie(o.headword, o.translation, o.pronunciation);
  }
  bool operator==(const Expected&) const = default;
};

TEST(RealData, EdictLookupsMatchAPlainScan) {
  if (!std::ifstream(kEdict)) GTEST_SKIP() << kEdict << " missing (Debian package edict)";
  std::vector<Record> all = ReadEdict(kRecords);
  ASSERT_GT(all.size(), kRecords / 2);

  for (const bool v6 : {false, true}) {
    // Code page 932, version 5: headwords as they are; records with
    // characters the code page lacks are left out so texts compare exactly.
    // BOCU-1, version 6: "folded key, TAB, display form".
    std::vector<Record> records;
    for (const Record& r : all) {
      size_t lost = 0;
      EncodeCp932(r.headword + r.translation + r.pronunciation, &lost);
      if (!v6 && lost != 0) continue;
      Record stored = r;
      if (v6) stored.headword = V6Headword(r.headword);
      records.push_back(stored);
    }
    Options o;
    o.encoding = v6 ? Encoding::kBocu1 : Encoding::kCp932;
    o.version = v6 ? 0x0600 : 0x0500;
    o.area_blocks = 4;
    o.record_layout = false;
    o.auto_index32 = true;
    OpenDictionary d(BuildDictionary(records, o).bytes);
    ASSERT_EQ(d.openResult(), 0);

    std::mt19937 random(7);
    int checked = 0;
    for (int k = 0; k < 300; ++k) {
      const Record& pick = all[random() % all.size()];
      const std::u16string units = Utf8ToUtf16(pick.headword);
      const std::u16string key16 = units.substr(0, 1 + random() % 3);
      const std::string key = Utf16ToUtf8(key16);
      // The plain scan: every record whose stored headword begins with the
      // key as lookup compares it.
      std::vector<Expected> expected;
      for (const Record& r : records) {
        const bool match = v6 ? Utf8ToUtf16(r.headword).rfind(FoldKeyV6(key16), 0) == 0
                              : EncodeCp932(r.headword).rfind(EncodeCp932(key), 0) == 0;
        if (match) expected.push_back({r.headword, r.translation, r.pronunciation});
      }
      if (expected.empty() || expected.size() > 2000) continue;
      int truncated = 0;
      const std::u16string k16 = Utf8ToUtf16(key);
      const uint32_t n = d.reader().Lookup(k16.c_str(), 0, 0, &truncated);
      std::vector<Expected> got;
      for (uint32_t i = 0; i < n; ++i) {
        const HitTexts t = GetHitTexts(d.reader(), static_cast<int>(i));
        got.push_back({t.headword, t.translation, t.pronunciation});
      }
      std::sort(expected.begin(), expected.end());
      std::sort(got.begin(), got.end());
      ASSERT_EQ(got, expected) << (v6 ? "v6 " : "v5 ") << "key " << key;
      ++checked;
    }
    EXPECT_GT(checked, 100) << "too few keys were checked";
  }
}

}  // namespace
}  // namespace kebu::testing

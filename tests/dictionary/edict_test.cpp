// Real data: dictionaries of the EDICT word list answer sampled keys with
// exactly the records that a plain scan of the list expects.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <fstream>

#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

constexpr const char* kEdict = "/usr/share/edict/edict";

// WORD [READING] /gloss/gloss/.../ as records (the title line left out).
std::vector<Record> ReadEdict(size_t limit) {
  std::ifstream in(kEdict, std::ios::binary);
  std::vector<Record> records;
  std::string line;
  std::getline(in, line);
  while (records.size() < limit && std::getline(in, line)) {
    std::string utf8(line.size() * 3 + 4, '\0');
    UErrorCode status = U_ZERO_ERROR;
    utf8.resize(ucnv_convert("UTF-8", "EUC-JP", utf8.data(), static_cast<int32_t>(utf8.size()),
                             line.data(), static_cast<int32_t>(line.size()), &status));
    const size_t slash = utf8.find(" /");
    if (U_FAILURE(status) || slash == std::string::npos) continue;
    Record r{.headword = utf8.substr(0, slash), .translation = utf8.substr(slash + 2)};
    if (const size_t bracket = r.headword.find(" ["); bracket != std::string::npos) {
      r.pronunciation = r.headword.substr(bracket + 2, r.headword.size() - bracket - 3);
      r.headword.resize(bracket);
    }
    records.push_back(std::move(r));
  }
  return records;
}

TEST(RealData, EdictLookupsMatchAPlainScan) {
  if (!std::ifstream(kEdict)) GTEST_SKIP() << kEdict << " missing (Debian package edict)";
  const std::vector<Record> all = ReadEdict(30000);
  for (const bool v6 : {false, true}) {
    // Code page 932, version 5: records with characters the code page lacks
    // are left out, so that texts compare exactly. BOCU-1, version 6:
    // "folded key, TAB, display form".
    std::vector<Record> records;
    for (Record r : all) {
      size_t lost = 0;
      EncodeCp932(r.headword + r.translation + r.pronunciation, &lost);
      if (!v6 && lost != 0) continue;
      if (v6) r.headword = V6Headword(r.headword);
      records.push_back(r);
    }
    Options o;
    o.encoding = v6 ? Encoding::kBocu1 : Encoding::kCp932;
    o.version = v6 ? 0x0600 : 0x0500;
    o.areaBlocks = 4;
    o.recordLayout = false;
    Opened d(MakeDictionary(records, o).bytes);
    std::mt19937 random(7);
    int checked = 0;
    for (int k = 0; k < 300; ++k) {
      const std::u16string key16 = Utf8ToUtf16(all[random() % all.size()].headword).substr(0, 1 + random() % 3);
      const std::string key = Utf16ToUtf8(key16);
      std::vector<std::string> expected, got;
      for (const Record& r : records) {
        const bool match = v6 ? Utf8ToUtf16(r.headword).starts_with(FoldKeyV6(key16))
                              : EncodeCp932(r.headword).starts_with(EncodeCp932(key));
        if (match) expected.push_back(r.headword + "|" + r.translation + "|" + r.pronunciation);
      }
      if (expected.empty() || expected.size() > 2000) continue;
      for (const Texts& t : LookupAll(d.reader, key, false, 0)) {
        got.push_back(t.headword + "|" + t.translation + "|" + t.pronunciation);
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

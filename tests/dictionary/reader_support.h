// What the reader's tests share: dictionaries written to a temporary folder
// and opened, records and hits as UTF-8, random dictionaries and what a
// plain model of the format expects of them.
#pragma once

#include <random>
#include <span>
#include <string>
#include <vector>

#include "dictionary/dic_reader.h"
#include "tests/support/test_support.h"

namespace kebu::testing {

struct Texts {
  std::string headword, translation, example, pronunciation;
  int attribute = 0;
  RecordPosition position;
  bool operator==(const Texts&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Texts& t) {
  return os << "{" << t.headword << " | " << t.translation << " | " << t.example << " | "
            << t.pronunciation << " | " << t.attribute << " @" << t.position.indexEntry << ":"
            << t.position.block << ":" << t.position.recordOffset << "}";
}

inline Texts ToUtf8(const RecordText& t) {
  return {Utf16ToUtf8(t.headword), Utf16ToUtf8(t.translation), Utf16ToUtf8(t.example),
          Utf16ToUtf8(t.pronunciation), t.attribute, t.position};
}

// A dictionary file in a temporary folder, opened by a reader.
class Opened {
 public:
  explicit Opened(std::span<const uint8_t> bytes) : path(dir.File("t.dic").string()) {
    WriteFile(path, bytes);
    opened = reader.Open(path).IsOk();
  }
  TempDir dir;
  std::string path;
  DicReader reader;
  bool opened = false;
};

// Every record by sequential reading; damaged areas passed over are counted
// in *skipped when given.
inline std::vector<Texts> ReadAll(DicReader& reader, const TextCapacities& caps = kWholeTexts,
                                  int* skipped = nullptr) {
  std::vector<Texts> out;
  RecordText t;
  if (!reader.Rewind()) return out;
  for (ReadStatus s; (s = reader.ReadNext(&t, caps)) != ReadStatus::kEnd;) {
    if (s == ReadStatus::kRecord) out.push_back(ToUtf8(t));
    if (s == ReadStatus::kSkippedArea && skipped != nullptr) ++*skipped;
  }
  return out;
}

// Hit i of the last lookup with its texts.
inline Texts HitTexts(DicReader& reader, uint32_t i, const TextCapacities& caps = kWholeTexts) {
  RecordText t;
  EXPECT_TRUE(reader.GetHit(i, &t, caps)) << "hit " << i;
  return ToUtf8(t);
}

// Every hit of a lookup with its texts.
inline std::vector<Texts> LookupAll(DicReader& reader, const std::string& key, bool wholeWord = false,
                                    int limit = kWindowHitLimit, bool* truncated = nullptr,
                                    const TextCapacities& caps = kWholeTexts) {
  const LookupResult found = reader.Lookup(Utf8ToUtf16(key), wholeWord, limit);
  const uint32_t n = found.count;
  if (truncated != nullptr) *truncated = found.truncated;
  std::vector<Texts> out;
  for (uint32_t i = 0; i < n; ++i) out.push_back(HitTexts(reader, i, caps));
  return out;
}

inline std::vector<std::string> Headwords(const std::vector<Texts>& texts) {
  std::vector<std::string> out;
  for (const Texts& t : texts) out.push_back(t.headword);
  return out;
}

// What a reader must return for a dictionary the writer made: its records in
// file order with their positions (texts as written; pronunciations are
// ASCII in the random dictionaries, so both reading paths agree on them).
inline std::vector<Texts> Expected(const BuiltDictionary& built, const std::vector<Record>& records) {
  std::vector<Texts> out;
  for (size_t a = 0; a < built.layout.areas.size(); ++a) {
    const AreaLayout& area = built.layout.areas[a];
    for (const RecordLayout& r : area.records) {
      const Record& s = records[r.source];
      out.push_back({s.headword, s.translation, s.example, s.pronunciation, s.attribute & 0x0F,
                     {static_cast<int32_t>(a), static_cast<int32_t>(area.firstBlock),
                      static_cast<int32_t>(r.offset)}});
    }
  }
  return out;
}

// Random records whose headwords share many beginnings: short words over a
// few letters, kana (voiced among them), kanji, full-width letters, and for
// BOCU-1 text characters that code page 932 lacks, supplementary ones too.
inline std::vector<Record> RandomRecords(std::mt19937& random, size_t n, bool bocu, bool v6) {
  static const std::vector<std::string> kCommon = {"a", "b", "c", "A", "-", " ", "ア", "ガ",
                                                   "カ", "か", "亜", "鉄", "Ｂ", "1", "ッ"};
  static const std::vector<std::string> kBocu = {"é", "한", "😀", "Ω"};
  auto word = [&](size_t most) {
    std::string w;
    const size_t length = 1 + random() % most;
    for (size_t i = 0; i < length; ++i) {
      w += bocu && random() % 5 == 0 ? kBocu[random() % kBocu.size()]
                                     : kCommon[random() % kCommon.size()];
    }
    return w;
  };
  std::vector<Record> out;
  for (size_t i = 0; i < n; ++i) {
    Record r;
    r.headword = v6 ? V6Headword(word(4)) : word(4);
    r.translation = random() % 9 == 0 ? "" : word(12);
    if (random() % 3 == 0) r.example = word(20);
    if (random() % 4 == 0) r.pronunciation = "pr" + std::to_string(random() % 100);
    r.attribute = static_cast<uint8_t>(random() % 16);
    if (random() % 5 == 0) r.extra.push_back({0x11, "skip"});
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace kebu::testing

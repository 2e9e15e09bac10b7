// Shared helpers of the dictionary tests: files from the builder, opened
// through a DicReader, and texts read back as UTF-8.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dictionary/dic_reader.h"
#include "tests/support/dic_builder.h"

namespace kebu::testing {

// The window's capacities.
inline constexpr int kHeadwordCap = 1024;
inline constexpr int kTranslationCap = 3000;
inline constexpr int kExampleCap = 20000;
inline constexpr int kPronunciationCap = 1000;

struct HitTexts {
  std::string headword, translation, example, pronunciation;
  int attribute = 0;
  bool operator==(const HitTexts&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const HitTexts& t) {
  return os << "{" << t.headword << " | " << t.translation << " | " << t.example << " | "
            << t.pronunciation << " | " << t.attribute << "}";
}

// A dictionary file in a temporary folder, opened by a reader.
class OpenDictionary {
 public:
  explicit OpenDictionary(const std::vector<uint8_t>& bytes, const char* name = "t.dic")
      : path_(dir_.File(name)) {
    WriteFile(path_, bytes);
    result_ = reader_.Open(Path().c_str());
  }
  DicReader& reader() { return reader_; }
  int openResult() const { return result_; }
  std::u16string Path() const { return Utf8ToUtf16(path_.string()); }
  const std::filesystem::path& path() const { return path_; }

 private:
  TempDir dir_;
  std::filesystem::path path_;
  DicReader reader_;
  int result_ = -1;
};

inline HitTexts GetHitTexts(DicReader& reader, int i, int* result = nullptr) {
  std::vector<char16_t> hw(kHeadwordCap + 2), tr(kTranslationCap + 2), ex(kExampleCap + 2),
      pr(kPronunciationCap + 2);
  HitTexts t;
  const int r = reader.GetHit(i, hw.data(), kHeadwordCap, tr.data(), kTranslationCap,
                              ex.data(), kExampleCap, pr.data(), kPronunciationCap,
                              &t.attribute, nullptr);
  if (result != nullptr) *result = r;
  t.headword = Utf16ToUtf8(hw.data());
  t.translation = Utf16ToUtf8(tr.data());
  t.example = Utf16ToUtf8(ex.data());
  t.pronunciation = Utf16ToUtf8(pr.data());
  return t;
}

// Headwords of every hit of a prefix lookup.
inline std::vector<std::string> LookupHeadwords(DicReader& reader, const std::string& key,
                                                int wholeWord = 0, int limit = 10000,
                                                int* truncated = nullptr) {
  int t = 0;
  const std::u16string k = Utf8ToUtf16(key);
  const uint32_t n = reader.Lookup(k.c_str(), wholeWord, limit, truncated ? truncated : &t);
  std::vector<std::string> out;
  for (uint32_t i = 0; i < n; ++i) out.push_back(GetHitTexts(reader, static_cast<int>(i)).headword);
  return out;
}

struct SeqRecord {
  HitTexts texts;
  RecordPosition position;
};

// Every record through Rewind and ReadNext.
inline std::vector<SeqRecord> ReadAll(DicReader& reader, size_t max = 1000000) {
  std::vector<SeqRecord> out;
  if (reader.Rewind() != 0) return out;
  std::vector<char16_t> hw(kHeadwordCap + 2), tr(kTranslationCap + 2), ex(kExampleCap + 2),
      pr(kPronunciationCap + 2);
  SeqRecord r;
  while (out.size() < max &&
         reader.ReadNext(hw.data(), kHeadwordCap, tr.data(), kTranslationCap, ex.data(),
                         kExampleCap, pr.data(), kPronunciationCap, &r.texts.attribute,
                         nullptr, &r.position) == 0) {
    r.texts.headword = Utf16ToUtf8(hw.data());
    r.texts.translation = Utf16ToUtf8(tr.data());
    r.texts.example = Utf16ToUtf8(ex.data());
    r.texts.pronunciation = Utf16ToUtf8(pr.data());
    out.push_back(r);
  }
  return out;
}

}  // namespace kebu::testing

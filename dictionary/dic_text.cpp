#include "dictionary/dic_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codec/bocu1.h"
#include "codec/cp932.h"

namespace kebu {

namespace {

// Voiced, semi-voiced and small katakana and their plain forms.
constexpr char16_t kKanaFolding[37][2] = {
    {0x30AC, 0x30AB}, {0x30AE, 0x30AD}, {0x30B0, 0x30AF}, {0x30B2, 0x30B1},
    {0x30B4, 0x30B3}, {0x30B6, 0x30B5}, {0x30B8, 0x30B7}, {0x30BA, 0x30B9},
    {0x30BC, 0x30BB}, {0x30BE, 0x30BD}, {0x30C0, 0x30BF}, {0x30C2, 0x30C1},
    {0x30C5, 0x30C4}, {0x30C7, 0x30C6}, {0x30C9, 0x30C8}, {0x30D0, 0x30CF},
    {0x30D3, 0x30D2}, {0x30D6, 0x30D5}, {0x30D9, 0x30D8}, {0x30DC, 0x30DB},
    {0x30D1, 0x30CF}, {0x30D4, 0x30D2}, {0x30D7, 0x30D5}, {0x30DA, 0x30D8},
    {0x30DD, 0x30DB}, {0x30A1, 0x30A2}, {0x30A3, 0x30A4}, {0x30A5, 0x30A6},
    {0x30A7, 0x30A8}, {0x30A9, 0x30AA}, {0x30C3, 0x30C4}, {0x30E3, 0x30E4},
    {0x30E5, 0x30E6}, {0x30E7, 0x30E8}, {0x30EE, 0x30EF}, {0x30F5, 0x30AB},
    {0x30F6, 0x30B1},
};

// As strncmp and wcsncmp: unsigned units, at most keyLength of them, ending
// early where both hold a zero; the text reads as zero behind its length.
template <typename Unit>
int CompareOverKey(const Unit* text, uint32_t textLength, const Unit* key, uint32_t keyLength) {
  for (uint32_t i = 0; i < keyLength; ++i) {
    const unsigned a = i < textLength ? text[i] : 0u;
    const unsigned b = key[i];
    if (a != b) return a < b ? -1 : 1;
    if (a == 0) return 0;
  }
  return 0;
}

int32_t ClampLength(uint32_t length) {
  return static_cast<int32_t>(std::min<uint32_t>(length, INT32_MAX));
}

// The units before the first zero unit of `text`. Four units at a time: a
// word holds a zero unit exactly when the subtraction borrows into a unit
// whose top bit was clear.
uint32_t UnitsBeforeZero(const char16_t* text, uint32_t n) {
  uint32_t i = 0;
  for (uint64_t v; i + 4 <= n; i += 4) {
    std::memcpy(&v, text + i, sizeof v);
    if ((v - 0x0001000100010001ull) & ~v & 0x8000800080008000ull) break;
  }
  while (i < n && text[i] != 0) ++i;
  return i;
}

}  // namespace

char16_t FoldKana(char16_t unit) {
  for (const auto& pair : kKanaFolding) {
    if (pair[0] == unit) return pair[1];
  }
  return 0;
}

std::u16string FoldKey(std::u16string_view key) {
  std::u16string out;
  const size_t n = std::min<size_t>(key.size(), kMaxFoldedKeyUnits);
  out.reserve(n);
  for (size_t i = 0; i < n && key[i] != 0; ++i) {
    const char16_t u = key[i];
    if (u >= u'A' && u <= u'Z') {
      out += static_cast<char16_t>(u + 0x20);
    } else if (u == u'-') {
      out += u' ';
    } else {
      const char16_t folded = FoldKana(u);
      out += folded != 0 ? folded : u;
    }
  }
  return out;
}

ComparisonKey::ComparisonKey(std::u16string_view key, bool bocu) : bocu_(bocu) {
  const size_t zero = key.find(u'\0');
  units_.assign(key.substr(0, zero));
  decodeCapacity_ =
      static_cast<int32_t>(std::min<size_t>(kCompareUnits, units_.size() + 3));
  if (bocu_ || units_.empty()) return;
  const int32_t n = Utf16ToCp932(units_.data(), static_cast<int32_t>(std::min<size_t>(units_.size(), INT32_MAX)),
                                 bytes_, kMaxIndexKeyBytes);
  if (n <= 0) {
    tooLong_ = true;  // no headword or index key is this long
    return;
  }
  byteCount_ = static_cast<uint32_t>(n);
  bytes_[n] = 0;
}

int ComparisonKey::Compare(const uint8_t* text, uint32_t length, bool cutAtTab,
                           uint32_t* comparedLength) const {
  if (!bocu_) {
    if (comparedLength != nullptr) *comparedLength = length;
    return CompareOverKey(text, length, bytes_, byteCount_);
  }
  uint32_t units = static_cast<uint32_t>(
      Bocu1DecodeUnits(text, ClampLength(length), decoded_, decodeCapacity_));
  if (cutAtTab) {
    const char16_t* tab = std::char_traits<char16_t>::find(decoded_, units, u'\t');
    if (tab != nullptr) units = static_cast<uint32_t>(tab - decoded_);
  }
  if (comparedLength != nullptr) *comparedLength = units;
  return CompareOverKey(decoded_, units, units_.data(), static_cast<uint32_t>(units_.size()));
}

uint32_t DecodeTextInto(bool bocu, const uint8_t* bytes, uint32_t length, int capacity,
                        char16_t* out) {
  if (capacity < 1) capacity = 1;
  int32_t n = 0;
  if (length > 0) {
    n = bocu ? Bocu1DecodeUnits(bytes, ClampLength(length), out, capacity)
             : Cp932ToUtf16(bytes, ClampLength(length), out, capacity);
    if (n < 0) n = 0;
  }
  out[n] = 0;
  // Code page 932 yields U+0000 only from a zero byte; a BOCU-1 sequence may
  // decode to it from other bytes.
  if (n > 0 && (bocu || std::memchr(bytes, 0, length) != nullptr)) {
    return UnitsBeforeZero(out, static_cast<uint32_t>(n));
  }
  return static_cast<uint32_t>(n);
}

void DecodeText(bool bocu, const uint8_t* bytes, uint32_t length, int capacity,
                std::u16string* out) {
  if (length == 0) return out->clear();
  // A code page 932 byte yields at most one unit, a BOCU-1 byte at most two
  // (a supplementary character close to the one before it): no more room
  // than that is needed.
  const uint64_t most = bocu ? 2ull * length : length;
  const int32_t room = static_cast<int32_t>(std::min<uint64_t>(most, static_cast<uint64_t>(capacity)));
  out->resize(static_cast<size_t>(room) + 1);
  out->resize(DecodeTextInto(bocu, bytes, length, bocu ? std::min(capacity, room + 1) : room,
                             out->data()));
}

namespace {

int Substitute(const char16_t* units, const uint8_t* bytes, int count, char16_t* out,
               int capacity, const SubstitutionTable& table) {
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const unsigned code = units != nullptr ? units[i] : bytes[i];
    if (code >= 0x20 && code <= 0xFF && table.entries[code][0] != 0) {
      out[n++] = table.entries[code][0];
      if (table.entries[code][1] != 0) out[n++] = table.entries[code][1];
    } else {
      out[n++] = static_cast<char16_t>(code);
    }
    if (n >= capacity - 1) break;
  }
  out[n] = 0;
  return n;
}

}  // namespace

int SubstituteUnits(const char16_t* source, int count, char16_t* out, int capacity,
                    const SubstitutionTable& table) {
  return Substitute(source, nullptr, count, out, capacity, table);
}

int SubstituteBytes(const uint8_t* source, int count, char16_t* out, int capacity,
                    const SubstitutionTable& table) {
  return Substitute(nullptr, source, count, out, capacity, table);
}

void DecodePronunciation(bool bocu, const uint8_t* bytes, uint32_t length, int capacity,
                         const SubstitutionTable* table, bool rawBytes, std::u16string* out) {
  static const SubstitutionTable kNone;
  if (length == 0) return out->clear();
  if (table == nullptr && (bocu || !rawBytes)) return DecodeText(bocu, bytes, length, capacity, out);
  if (table == nullptr) table = &kNone;  // one unit per byte
  if (capacity < 2) capacity = 2;
  const int count = ClampLength(length);
  // Two units per code at most, and the last code may take the text to
  // capacity.
  out->resize(static_cast<size_t>(std::min(capacity, 2 * count + 2)) + 1);
  int n;
  if (bocu) {
    char16_t work[1003];
    const int32_t units = Bocu1DecodeUnits(bytes, count, work, std::min(capacity, 1002));
    n = SubstituteUnits(work, units, out->data(), capacity, *table);
  } else {
    n = SubstituteBytes(bytes, count, out->data(), capacity, *table);
  }
  out->resize(UnitsBeforeZero(out->data(), static_cast<uint32_t>(n)));
}

std::u16string_view DisplayHeadword(std::u16string_view headword, int32_t versionMajor) {
  if (versionMajor < 6) return headword;
  const size_t tab = headword.find(u'\t');
  return tab == std::u16string_view::npos ? headword : headword.substr(tab + 1);
}

}  // namespace kebu

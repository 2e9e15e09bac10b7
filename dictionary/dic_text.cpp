#include "dictionary/dic_text.h"

#include <cstring>

#include "codec/bocu1.h"
#include "codec/cp932.h"
#include "dictionary/dic_reader.h"

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

}  // namespace

char16_t FoldKana(char16_t unit) {
  for (const auto& pair : kKanaFolding) {
    if (pair[0] == unit) return pair[1];
  }
  return 0;
}

uint32_t UnitLength(const char16_t* text) {
  uint32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

uint32_t FoldKey(const char16_t* key, char16_t* out) {
  uint32_t n = 0;
  for (; n < static_cast<uint32_t>(kMaxFoldedKey) && key[n] != 0; ++n) {
    const char16_t u = key[n];
    if (u >= u'A' && u <= u'Z') {
      out[n] = static_cast<char16_t>(u + 0x20);
    } else if (u == u'-') {
      out[n] = u' ';
    } else {
      const char16_t folded = FoldKana(u);
      out[n] = folded != 0 ? folded : u;
    }
  }
  out[n] = 0;
  return n;
}

void MakeComparisonKey(const char16_t* key, bool bocu, ComparisonKey* out) {
  out->units = key;
  out->unitCount = UnitLength(key);
  out->byteCount = 0;
  out->tooLong = false;
  out->bytes[0] = 0;
  if (bocu) return;
  if (out->unitCount == 0) return;
  const int32_t n = Utf16ToCp932(key, static_cast<int32_t>(out->unitCount), out->bytes,
                                 kMaxKeyLength);
  if (n <= 0) {
    out->tooLong = true;  // no headword or index key is this long
    return;
  }
  out->byteCount = static_cast<uint32_t>(n);
  out->bytes[n] = 0;
}

void DecodeDictionaryText(bool bocu, const uint8_t* bytes, uint32_t length,
                          char16_t* out, int capacity, uint32_t* textLength) {
  if (capacity < 1) capacity = 1;
  int32_t n = 0;
  if (length == 0) {
    out[0] = 0;
  } else if (bocu) {
    n = Bocu1DecodeUnits(bytes, static_cast<int32_t>(length), out, capacity);
  } else {
    n = Cp932ToUtf16(bytes, static_cast<int32_t>(length), out, capacity);
    if (n < 0) n = 0;
    out[n] = 0;
  }
  if (textLength == nullptr) return;
  // Code page 932 yields U+0000 only from a zero byte; a BOCU-1 sequence may
  // decode to it from other bytes.
  const bool mayHoldZero = n > 0 && (bocu || std::memchr(bytes, 0, length) != nullptr);
  *textLength = mayHoldZero ? UnitLength(out) : static_cast<uint32_t>(n);
}

}  // namespace kebu

// EUC-JP through the code page 932 table (JIS X 0208) and the JIS X 0212 table.
#include "codec/euc_jp.h"

#include "codec/cp932.h"

namespace kebu {
namespace eucjp {
extern const uint16_t kJisX0212[94 * 94];
}  // namespace eucjp

namespace {

inline bool IsJisByte(uint32_t b) { return b >= 0xA1 && b <= 0xFE; }

// The code page 932 character of the JIS X 0208 code `row`, `cell` (bytes
// A1-FE): odd rows take the trail bytes 40-9E (passing over 7F), even rows
// 9F-FC, and two rows share a lead byte (81-9F, then E0-EF). U+FFFD where
// code page 932 has no character.
char16_t JisX0208(uint32_t row, uint32_t cell) {
  const uint32_t j1 = row - 0x80, j2 = cell - 0x80;  // 21-7E
  const uint8_t pair[2] = {
      static_cast<uint8_t>((j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0)),
      static_cast<uint8_t>(j1 % 2 == 1 ? j2 + 0x1F + (j2 >= 0x60 ? 1 : 0) : j2 + 0x7E)};
  char16_t u = 0xFFFD;
  Cp932ToUtf16(pair, 2, &u, 1);
  return u;
}

}  // namespace

size_t EucJpToUtf16(std::string_view bytes, char16_t* out, size_t* stop) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t length = bytes.size();
  size_t i = 0, n = 0;
  while (i < length) {
    const uint32_t b = p[i];
    if (b < 0x80) {
      out[n++] = static_cast<char16_t>(b);
      ++i;
      continue;
    }
    char16_t u = 0;
    size_t size = 2;
    if (b == 0x8E) {
      if (i + 1 < length && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) u = static_cast<char16_t>(0xFF61 + p[i + 1] - 0xA1);
    } else if (b == 0x8F) {
      size = 3;
      if (i + 2 < length && IsJisByte(p[i + 1]) && IsJisByte(p[i + 2])) {
        u = eucjp::kJisX0212[(p[i + 1] - 0xA1) * 94 + (p[i + 2] - 0xA1)];
      }
    } else if (IsJisByte(b) && i + 1 < length && IsJisByte(p[i + 1])) {
      u = JisX0208(b, p[i + 1]);
      if (u == 0xFFFD) u = 0;
    }
    if (u == 0) break;
    out[n++] = u;
    i += size;
  }
  *stop = i;
  return n;
}

}  // namespace kebu

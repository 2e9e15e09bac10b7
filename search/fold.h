// The folding of full-text search, unit by unit: ASCII A-Z to a-z; the
// full-width letters and digits (U+FF21-FF3A, U+FF41-FF5A, U+FF10-FF19) to
// their ASCII lower-case letters and digits; katakana U+30A1-30F6 to
// hiragana (minus 0x60). Every other unit stays as it is.
#pragma once

#include <cstddef>

namespace kebu {

namespace fold_detail {
constexpr bool In(char16_t u, unsigned first, unsigned last) {
  return static_cast<unsigned>(u) - first <= last - first;
}
}  // namespace fold_detail

constexpr char16_t FoldSearchUnit(char16_t u) {
  using fold_detail::In;
  if (u < 0x80) return In(u, u'A', u'Z') ? static_cast<char16_t>(u + 0x20) : u;
  if (In(u, 0x30A1, 0x30F6)) return static_cast<char16_t>(u - 0x60);
  if (In(u, 0xFF21, 0xFF3A)) return static_cast<char16_t>(u - 0xFF21 + u'a');
  if (In(u, 0xFF41, 0xFF5A)) return static_cast<char16_t>(u - 0xFF41 + u'a');
  if (In(u, 0xFF10, 0xFF19)) return static_cast<char16_t>(u - 0xFF10 + u'0');
  return u;
}

inline void FoldSearchUnits(char16_t* units, size_t count) {
  for (size_t i = 0; i < count; ++i) units[i] = FoldSearchUnit(units[i]);
}

}  // namespace kebu

#include "search/text_query.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/cp932.h"
#include "search/byte_scan.h"
#include "search/fold.h"
#include "search/text_decode.h"

namespace kebu {

namespace {

// Probes are made from runs of query units whose ways of standing in the
// text, multiplied out, are at most this many.
constexpr size_t kMaxProbes = 4;

// One way a query unit can stand in the text. Code page 932: its code (one
// or two bytes); BOCU-1: its code point, encoded when the probe is made.
struct Token {
  uint16_t code = 0;          // code page 932: byte, or lead << 8 | trail
  char32_t codePoint = 0;     // BOCU-1
  bool caseless = false;      // an ASCII letter in either case
};

// Every code page 932 code with the unit it decodes to, folded or not,
// sorted by unit: the reverse of the decoder, made once.
std::vector<std::pair<char16_t, uint16_t>> MakeCp932Reverse(bool fold) {
  std::vector<std::pair<char16_t, uint16_t>> codes;
  auto add = [&](uint16_t code, const uint8_t* bytes, int length) {
    char16_t u = 0;
    if (Cp932ToUtf16(bytes, length, &u, 1) != 1 || u == 0xFFFD) return;
    codes.emplace_back(fold ? FoldSearchUnit(u) : u, code);
  };
  for (unsigned b = 0; b < 0x100; ++b) {
    const uint8_t byte = static_cast<uint8_t>(b);
    add(static_cast<uint16_t>(b), &byte, 1);
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead < 0xE0) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const uint8_t pair[2] = {static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)};
      add(static_cast<uint16_t>(lead << 8 | trail), pair, 2);
    }
  }
  std::stable_sort(codes.begin(), codes.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return codes;
}

const std::vector<std::pair<char16_t, uint16_t>>& Cp932Reverse(bool fold) {
  static const auto folded = MakeCp932Reverse(true);
  static const auto exact = MakeCp932Reverse(false);
  return fold ? folded : exact;
}

bool IsLowerAscii(char16_t u) { return u >= u'a' && u <= u'z'; }
bool IsFullWidthAlnum(char16_t u) {
  return (u >= 0xFF10 && u <= 0xFF19) || (u >= 0xFF21 && u <= 0xFF3A) ||
         (u >= 0xFF41 && u <= 0xFF5A);
}

// The ways the (folded) unit u stands in code page 932 text. Full-width
// letters and digits are left out and flagged in *fullWidth: texts holding
// any of them are decoded anyway. Empty: u never appears.
std::vector<Token> Cp932Tokens(char16_t u, bool fold, bool* fullWidth) {
  const auto& reverse = Cp932Reverse(fold);
  auto range = std::equal_range(reverse.begin(), reverse.end(), std::make_pair(u, uint16_t{0}),
                                [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Token> tokens;
  bool caseless = false;
  for (auto it = range.first; it != range.second; ++it) {
    const uint16_t code = it->second;
    char16_t decoded = 0;
    if (code >= 0x100) {
      const uint8_t pair[2] = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)};
      Cp932ToUtf16(pair, 2, &decoded, 1);
      // The byte test for these is "82 4F-9A": only codes in that range
      // may be left to it.
      if (fold && IsFullWidthAlnum(decoded) && code >= 0x824F && code <= 0x829A) {
        *fullWidth = true;
        continue;
      }
    } else if (fold && IsLowerAscii(u) && (code == u || code == u - 0x20)) {
      caseless = true;
      continue;
    }
    tokens.push_back(Token{code, 0, false});
  }
  if (caseless) tokens.push_back(Token{static_cast<uint16_t>(u), 0, true});
  return tokens;
}

// BOCU-1: the reference point after code point c, as the decoder sets it.
int32_t NextPrev(int32_t c) {
  if (c >= 0x3040 && c <= 0x309F) return 0x3070;
  if (c >= 0x4E00 && c <= 0x9FA5) return 0x7711;
  if (c >= 0xAC00 && c <= 0xD7A3) return 0xC1D1;
  return (c & ~0x7F) + 0x40;
}

uint8_t Bocu1TrailByte(int32_t t) {
  if (t < 6) return static_cast<uint8_t>(0x01 + t);
  if (t < 16) return static_cast<uint8_t>(0x10 + t - 6);
  if (t < 20) return static_cast<uint8_t>(0x1C + t - 16);
  return static_cast<uint8_t>(t + 13);
}

int32_t FloorDiv(int32_t a, int32_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// The BOCU-1 bytes of code point c (above U+0020) after reference point
// prev: the only bytes the decoder turns into c from there.
void AppendBocu1(int32_t prev, int32_t c, std::string* out) {
  constexpr int32_t kT = 243;
  const int32_t diff = c - prev;
  auto trails = [&](int32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      int32_t t = value;
      for (int k = 0; k < i; ++k) t /= kT;
      *out += static_cast<char>(Bocu1TrailByte(t % kT));
    }
  };
  if (diff >= -64 && diff <= 63) {
    *out += static_cast<char>(0x90 + diff);
  } else if (diff > 0) {
    if (diff <= 63 + 43 * kT) {
      const int32_t d = diff - 64;
      *out += static_cast<char>(0xD0 + d / kT);
      trails(d % kT, 1);
    } else if (diff <= 63 + 43 * kT + 3 * kT * kT) {
      const int32_t d = diff - (64 + 43 * kT);
      *out += static_cast<char>(0xFB + d / (kT * kT));
      trails(d % (kT * kT), 2);
    } else {
      *out += static_cast<char>(0xFE);
      trails(diff - (64 + 43 * kT + 3 * kT * kT), 3);
    }
  } else {
    if (diff >= -64 - 43 * kT) {
      const int32_t d = diff + 64;
      const int32_t lead = FloorDiv(d, kT);
      *out += static_cast<char>(0x50 + lead);
      trails(d - lead * kT, 1);
    } else if (diff >= -64 - 43 * kT - 3 * kT * kT) {
      const int32_t d = diff + 64 + 43 * kT;
      const int32_t lead = FloorDiv(d, kT * kT);
      *out += static_cast<char>(0x25 + lead);
      trails(d - lead * kT * kT, 2);
    } else {
      *out += static_cast<char>(0x21);
      trails(diff - (-kT * kT * kT - 64 - 43 * kT - 3 * kT * kT), 3);
    }
  }
}

// Appends the bytes of token t after reference point prev to the probe: a
// caseless letter's upper case as the other byte where it differs (both
// cases take the same number of bytes from the same reference point).
void AppendBocu1Token(int32_t prev, const Token& t, TextQuery::Probe* p) {
  std::string lower, upper;
  AppendBocu1(prev, static_cast<int32_t>(t.codePoint), &lower);
  AppendBocu1(prev, static_cast<int32_t>(t.codePoint) - (t.caseless ? 0x20 : 0), &upper);
  if (upper.size() != lower.size()) upper = lower;  // cannot happen for letters: kept safe
  p->bytes += lower;
  p->other += upper;
}

// The ways the (folded) unit u stands in BOCU-1 text, or nothing when it
// cannot be part of a probe: units up to U+0020 (a space leaves the
// reference point alone, and the decoder also takes them from differences)
// and surrogates. Full-width letters and digits are left to *fullWidth.
std::vector<Token> Bocu1Tokens(char16_t u, bool fold, bool* fullWidth) {
  if (u <= 0x20 || (u >= 0xD800 && u <= 0xDFFF)) return {};
  if (!fold) return {Token{0, u, false}};
  if (IsLowerAscii(u) || (u >= u'0' && u <= u'9')) *fullWidth = true;
  if (IsLowerAscii(u)) return {Token{0, u, true}};
  if (u >= 0x3041 && u <= 0x3096) return {Token{0, u, false}, Token{0, char32_t(u + 0x60), false}};
  return {Token{0, u, false}};
}

}  // namespace

TextQuery::TextQuery(std::u16string_view query, bool exact, bool bocu)
    : units_(query), exact_(exact), bocu_(bocu) {
  if (!exact_) FoldSearchUnits(units_.data(), units_.size());
  nothing_ = units_.empty() || units_.find(u'\0') != std::u16string::npos;
  if (!nothing_) MakeProbes();
}

// Picks the run of query units that gives the longest probes while its ways
// of standing in the text multiply out to at most kMaxProbes, and writes
// those probes. In BOCU-1 a probe begins behind the run's first unit, which
// only sets the reference point that the bytes after it depend on.
void TextQuery::MakeProbes() {
  const bool fold = !exact_;
  const size_t n = units_.size();
  std::vector<std::vector<Token>> tokens(n);
  std::vector<bool> fullWidth(n, false);
  for (size_t i = 0; i < n; ++i) {
    bool fw = false;
    if (bocu_) {
      tokens[i] = Bocu1Tokens(units_[i], fold, &fw);
    } else if (units_[i] != 0xFFFD) {
      tokens[i] = Cp932Tokens(units_[i], fold, &fw);
      // Code page 932 text never decodes to this unit.
      if (tokens[i].empty() && !fw) {
        nothing_ = true;
        return;
      }
    }
    fullWidth[i] = fw;
  }

  std::vector<Probe> best;
  size_t bestLength = 0;
  for (size_t s = 0; s < n; ++s) {
    size_t product = 1, e = s;
    while (e < n && !tokens[e].empty() && product * tokens[e].size() <= kMaxProbes) {
      product *= tokens[e++].size();
    }
    const size_t first = bocu_ ? s + 1 : s;  // first unit written into the probe
    if (e <= first) continue;
    // Every choice of one token per unit of [s, e).
    std::vector<Probe> probes;
    for (size_t k = 0; k < product; ++k) {
      Probe p;
      size_t rest = k;
      int32_t prev = 0;
      for (size_t i = s; i < e; ++i) {
        const Token& t = tokens[i][rest % tokens[i].size()];
        rest /= tokens[i].size();
        if (bocu_) {
          if (i >= first) AppendBocu1Token(prev, t, &p);
          prev = NextPrev(static_cast<int32_t>(t.codePoint));
        } else if (t.code >= 0x100) {
          p.bytes += static_cast<char>(t.code >> 8);
          p.bytes += static_cast<char>(t.code & 0xFF);
          p.other.append(p.bytes, p.bytes.size() - 2, 2);
        } else {
          p.bytes += static_cast<char>(t.code);
          p.other += static_cast<char>(t.caseless ? t.code - 0x20 : t.code);
        }
      }
      probes.push_back(std::move(p));
    }
    size_t shortest = SIZE_MAX;
    for (const Probe& p : probes) shortest = std::min(shortest, p.bytes.size());
    if (shortest > bestLength || (shortest == bestLength && probes.size() < best.size())) {
      bestLength = shortest;
      best = std::move(probes);
      hidden_ = Hidden::kNone;
      for (size_t i = s; i < e; ++i) {
        if (fullWidth[i]) hidden_ = bocu_ ? Hidden::kBocuNonAscii : Hidden::kCp932FullWidth;
      }
      if (bocu_ && hidden_ == Hidden::kNone) hidden_ = Hidden::kBocuReset;
    }
  }
  // BOCU-1 texts without bytes of kBocuNonAscii are ASCII from the first
  // byte on: one byte a unit, 50-CF for 00-7F (and 00-20 also as
  // themselves). When such texts are all the probes need to rule out, an
  // ASCII query is looked for whole, as those bytes.
  const bool ascii = std::all_of(units_.begin(), units_.end(), [](char16_t u) { return u < 0x80; });
  if (bocu_ && ascii && (hidden_ == Hidden::kBocuNonAscii || best.empty())) {
    Probe whole;
    for (char16_t u : units_) {
      const bool letter = fold && IsLowerAscii(u);
      whole.bytes += static_cast<char>(u <= 0x20 ? u : u + 0x50);
      whole.other += static_cast<char>(u <= 0x20 ? u + 0x50 : letter ? u - 0x20 + 0x50 : u + 0x50);
    }
    best.assign(1, whole);
    hidden_ = Hidden::kBocuNonAscii;
  }
  std::sort(best.begin(), best.end(), [](const Probe& a, const Probe& b) {
    return std::tie(a.bytes, a.other) < std::tie(b.bytes, b.other);
  });
  best.erase(std::unique(best.begin(), best.end(),
                         [](const Probe& a, const Probe& b) {
                           return a.bytes == b.bytes && a.other == b.other;
                         }),
             best.end());
  probes_ = std::move(best);
  if (probes_.empty()) hidden_ = Hidden::kNone;
  for (const Probe& p : probes_) {
    probeBytes_.push_back({reinterpret_cast<const uint8_t*>(p.bytes.data()),
                           reinterpret_cast<const uint8_t*>(p.other.data()), p.bytes.size()});
  }
}

bool TextQuery::MayContain(const uint8_t* bytes, size_t length) const {
  return probes_.empty() || MayHold(hidden_, probeBytes_.data(), probeBytes_.size(), bytes, length);
}

void TextQuery::MarkArea(const uint8_t* area, size_t size, std::vector<uint64_t>* marks) const {
  kebu::MarkArea(hidden_, probeBytes_.data(), probeBytes_.size(), area, size, marks);
}

bool TextQuery::Contains(const uint8_t* bytes, uint32_t length, TextScratch* scratch) const {
  return MayContain(bytes, length) && DecodedContains(bytes, length, scratch);
}

bool TextQuery::DecodedContains(const uint8_t* bytes, uint32_t length, TextScratch* scratch) const {
  if (nothing_ || length == 0) return false;
  // At most two units a byte (BOCU-1: a supplementary character).
  std::vector<char16_t>& out = scratch->units;
  if (out.size() < 2 * static_cast<size_t>(length)) out.resize(2 * static_cast<size_t>(length));
  return FindUnits(out.data(), DecodeForSearch(bocu_, !exact_, bytes, length, out.data()));
}

bool TextQuery::ContainsUnits(const char16_t* text, size_t length, TextScratch* scratch) const {
  if (nothing_) return false;
  const char16_t* zero = std::char_traits<char16_t>::find(text, length, u'\0');
  if (zero != nullptr) length = static_cast<size_t>(zero - text);
  if (exact_) return FindUnits(text, length);
  scratch->units.assign(text, text + length);
  FoldSearchUnits(scratch->units.data(), length);
  return FindUnits(scratch->units.data(), length);
}

bool TextQuery::FindUnits(const char16_t* text, size_t length) const {
  const size_t m = units_.size();
  if (length < m) return false;
  const char16_t first = units_[0];
  const char16_t* rest = units_.data() + 1;
  const char16_t* const last = text + (length - m);  // the last place the query can start
  auto at = [&](const char16_t* p) {
    return std::memcmp(p + 1, rest, (m - 1) * sizeof(char16_t)) == 0;
  };
  const char16_t* p = text;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(first));
  for (; p + 8 <= last + 1; p += 8) {
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), wanted)));
    while (mask != 0) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (at(p + bit / 2)) return true;
      mask &= ~(3u << bit);
    }
  }
#endif
  for (; p <= last; ++p) {
    if (*p == first && at(p)) return true;
  }
  return false;
}

}  // namespace kebu

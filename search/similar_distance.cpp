#include "search/similar_distance.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/cp932.h"
#include "dictionary/dic_text.h"
#include "dictionary/limits.h"

namespace kebu {

std::u16string SimilarKeyForm(std::u16string_view key, int32_t versionMajor) {
  if (versionMajor >= 6) return FoldKey(key);
  return std::u16string(key.substr(0, key.find(u'\0')));
}

namespace similar_detail {

namespace {

// A headword's units: at most two per byte (BOCU-1: a supplementary
// character one byte away from the one before).
constexpr size_t kMostUnits = 2 * kMaxHeadwordBytes;
// Units of room before and behind the key for the row step's loads.
constexpr size_t kPad = 8;

bool IsLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// The units of the code page 932 pairs (lead byte row, trail byte - 0x40),
// read once through the codec.
const char16_t* Cp932Pairs() {
  static const std::vector<char16_t> pairs = [] {
    std::vector<char16_t> units(60 * 189, 0xFFFD);
    for (int row = 0; row < 60; ++row) {
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        const uint8_t pair[2] = {static_cast<uint8_t>(row < 31 ? 0x81 + row : 0xE0 + row - 31),
                                 static_cast<uint8_t>(trail)};
        Cp932ToUtf16(pair, 2, &units[row * 189 + trail - 0x40], 1);
      }
    }
    return units;
  }();
  return pairs.data();
}

// The fewest bytes of code page 932 text that decode to `unit`: 1 for a
// code of one byte (ASCII, half-width katakana, U+FFFD from a byte the code
// page leaves undefined), 2 for a pair, 0 for a unit that no code gives.
uint32_t Cp932Bytes(char16_t unit) {
  static const std::vector<uint64_t> fromPairs = [] {
    std::vector<uint64_t> bits(0x10000 / 64);
    const char16_t* pairs = Cp932Pairs();
    for (int i = 0; i < 60 * 189; ++i) bits[pairs[i] >> 6] |= uint64_t{1} << (pairs[i] & 63);
    return bits;
  }();
  if (unit < 0x80 || (unit >= 0xFF61 && unit <= 0xFF9F) || unit == 0xFFFD) return 1;
  return (fromPairs[unit >> 6] >> (unit & 63)) & 1 ? 2 : 0;
}

uint32_t CommonBytes(const uint8_t* a, uint32_t aLength, const uint8_t* b, uint32_t bLength) {
  const uint32_t n = std::min(aLength, bLength);
  uint32_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

#if !defined(__SSE2__)
// The row step cell by cell: cell d of row i stands for the key's first
// j = i - K + d units; cells are capped at K + 1.
template <int K>
void BandRow(const char16_t* key, int m, size_t i, char16_t unit, char16_t before,
             const uint8_t* row1, const uint8_t* row2, uint8_t* row) {
  constexpr int kInf = K + 1;
  const int low = static_cast<int>(i) - K;
  int left = kInf;
  for (int d = 0; d < 2 * K + 1; ++d) {
    const int j = low + d;
    int v;
    if (j <= 0 || j > m) {
      v = j == 0 ? static_cast<int>(std::min<size_t>(i, kInf)) : kInf;
    } else {
      v = row1[d] + (unit != key[j - 1]);                      // substitute (or keep)
      v = std::min(v, row1[d + 1] + 1);                        // delete the headword's unit
      v = std::min(v, left + 1);                               // insert the key's unit
      if (j >= 2 && unit == key[j - 2] && before == key[j - 1]) {
        v = std::min(v, row2[d] + 1);                          // swap two neighbours
      }
      v = std::min(v, kInf);
    }
    row[d] = static_cast<uint8_t>(v);
    left = v;
  }
}
#endif

}  // namespace

HeadwordDistance::HeadwordDistance(std::u16string_view key, int maxDistance, bool bocu,
                                   bool searchForm)
    : key_(key),
      k_(std::clamp(maxDistance, 0, 3)),
      bocu_(bocu),
      searchForm_(searchForm),
      width_(2 * static_cast<size_t>(k_) + 1),
      maxUnits_(key.size() + k_ + 1) {
  // A headword within k holds key length - k of the key's units: at least
  // as many bytes as they take. In BOCU-1 a unit may take half a byte (a
  // surrogate pair in one); in code page 932 a unit takes the bytes of its
  // shortest code, and a unit that no code gives cannot be held at all.
  const size_t fewest = key_.size() > static_cast<size_t>(k_) ? key_.size() - k_ : 0;
  uint64_t bytes = (fewest + 1) / 2;
  if (!bocu_) {
    pairs_ = Cp932Pairs();
    std::vector<uint32_t> lengths;
    for (const char16_t u : key_) {
      if (const uint32_t n = Cp932Bytes(u); n > 0) lengths.push_back(n);
    }
    std::sort(lengths.begin(), lengths.end());
    bytes = lengths.size() < fewest ? UINT32_MAX : std::accumulate(lengths.begin(), lengths.begin() + fewest, uint64_t{0});
  }
  minBytes_ = static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX));
  if (key_.size() > kMostUnits + k_ || minBytes_ == UINT32_MAX) {
    minBytes_ = UINT32_MAX;  // no headword can come within k
    return;
  }
  padded_.assign(key_.size() + 2 * kPad + kLanes, u'\0');
  std::copy(key_.begin(), key_.end(), padded_.begin() + kPad);
  pastKey_.assign(17 * kLanes, 0);
  for (size_t first = 0; first <= kLanes; ++first) {
    for (size_t d = first; d < kLanes; ++d) pastKey_[first * kLanes + d] = static_cast<uint8_t>(k_ + 1);
  }
  units_.resize(maxUnits_);
  others_.assign(maxUnits_ + 1, 0);
  inKey_.assign(0x10000 / 64, 0);
  for (const char16_t u : key_) inKey_[u >> 6] |= uint64_t{1} << (u & 63);
  next_.resize(maxUnits_);
  decided_.resize(maxUnits_);
  if (bocu_) decoders_.resize(maxUnits_);
  rows_.assign((maxUnits_ + 2) * kLanes, static_cast<uint8_t>(k_ + 1));
  previous_.resize(kMaxHeadwordBytes + 8);
  // Row 0: the empty headword against the key's first j units is j.
  for (size_t d = 0; d < width_; ++d) {
    const int j = static_cast<int>(d) - k_;
    if (j >= 0 && j <= static_cast<int>(key_.size())) Row(0)[d] = static_cast<uint8_t>(std::min(j, k_ + 1));
  }
}

HeadwordDistance::Step HeadwordDistance::DecodeCp932(const uint8_t* bytes, uint32_t length,
                                                     uint32_t at) const {
  // As Cp932ToUtf16 reads it.
  Step s;
  const uint8_t b = bytes[at];
  s.next = s.decided = at + 1;
  if (b < 0x80) {
    s.unit = b;
  } else if (b >= 0xA1 && b <= 0xDF) {
    s.unit = static_cast<char16_t>(0xFF61 + b - 0xA1);
  } else if (IsLead(b) && at + 1 < length && IsTrail(bytes[at + 1])) {
    s.unit = pairs_[(b < 0xE0 ? b - 0x81 : b - 0xE0 + 31) * 189 + bytes[at + 1] - 0x40];
    s.next = s.decided = at + 2;
  } else {
    s.unit = 0xFFFD;
    // A lead byte is read alone because of the byte after it (or the end).
    if (IsLead(b)) s.decided = at + 1 < length ? at + 2 : length + 1;
  }
  return s;
}

bool HeadwordDistance::NextRow(size_t i, char16_t unit, char16_t before, const uint8_t* row1,
                               const uint8_t* row2, uint8_t* row) const {
  const int inf = k_ + 1;
  // Cells past the key's end stay above k: from cell key length + k + 1 - i on.
  const size_t pastKey = std::min(key_.size() + k_ + 1 - std::min(i, key_.size() + k_ + 1), width_);
  const uint8_t* past = &pastKey_[pastKey * kLanes];
#if defined(__SSE2__)
  // Cell d of each vector stands for the key's first j = i - k + d units.
  const char16_t* keys = padded_.data() + kPad + i - k_ - 1;  // cell d: key[j - 1]
  const __m128i key1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(keys));
  const __m128i key2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(keys - 1));  // key[j - 2]
  const __m128i u = _mm_set1_epi16(static_cast<int16_t>(unit));
  const __m128i same = _mm_cmpeq_epi16(key1, u);
  const __m128i swapped = _mm_and_si128(
      _mm_cmpeq_epi16(key2, u), _mm_cmpeq_epi16(key1, _mm_set1_epi16(static_cast<int16_t>(before))));
  const __m128i sameBytes = _mm_packs_epi16(same, same);
  const __m128i swappedBytes = _mm_packs_epi16(swapped, swapped);
  const __m128i one = _mm_set1_epi8(1);
  const __m128i all = _mm_set1_epi8(-1);
  const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row1));
  const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row2));
  // Substitute (or keep), delete the headword's unit, swap two neighbours.
  __m128i v = _mm_adds_epu8(r1, _mm_andnot_si128(sameBytes, one));
  v = _mm_min_epu8(v, _mm_adds_epu8(_mm_srli_si128(r1, 1), one));
  v = _mm_min_epu8(v, _mm_or_si128(_mm_adds_epu8(r2, one), _mm_andnot_si128(swappedBytes, all)));
  // Insert the key's units: cell d takes cell d - e + e, e = 1, 2, 4 in turn.
  v = _mm_min_epu8(v, _mm_adds_epu8(_mm_or_si128(_mm_slli_si128(v, 1), _mm_srli_si128(all, 15)), one));
  v = _mm_min_epu8(v, _mm_adds_epu8(_mm_or_si128(_mm_slli_si128(v, 2), _mm_srli_si128(all, 14)),
                                    _mm_set1_epi8(2)));
  v = _mm_min_epu8(v, _mm_adds_epu8(_mm_or_si128(_mm_slli_si128(v, 4), _mm_srli_si128(all, 12)),
                                    _mm_set1_epi8(4)));
  const __m128i infs = _mm_set1_epi8(static_cast<char>(inf));
  v = _mm_max_epu8(_mm_min_epu8(v, infs),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(past)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row), v);
  return (_mm_movemask_epi8(_mm_cmpeq_epi8(v, infs)) & 0xFF) != 0xFF;
#else
  const int m = static_cast<int>(key_.size());
  switch (k_) {
    case 0: BandRow<0>(key_.data(), m, i, unit, before, row1, row2, row); break;
    case 1: BandRow<1>(key_.data(), m, i, unit, before, row1, row2, row); break;
    case 2: BandRow<2>(key_.data(), m, i, unit, before, row1, row2, row); break;
    default: BandRow<3>(key_.data(), m, i, unit, before, row1, row2, row); break;
  }
  bool alive = false;
  for (size_t d = 0; d < kLanes; ++d) {
    row[d] = std::max(row[d], past[d]);
    alive = alive || row[d] < inf;
  }
  return alive;
#endif
}

inline bool HeadwordDistance::Push(char16_t unit, uint32_t next, uint32_t decided,
                                   const Bocu1Decoder* decoder) {
  const size_t i = count_ + 1;
  units_[count_] = unit;
  next_[count_] = next;
  decided_[count_] = decided;
  if (decoder != nullptr) decoders_[count_] = *decoder;
  // A unit that the key lacks costs an edit: past k of them, or past key
  // length + k units, no headword that begins so comes within k.
  others_[i] = static_cast<uint16_t>(others_[count_] + ((inKey_[unit >> 6] >> (unit & 63) & 1) ^ 1));
  count_ = i;
  dead_ = others_[i] > k_ || i > key_.size() + k_;
  return !dead_;
}

int HeadwordDistance::Final(size_t n, const uint8_t* row) const {
  const size_t m = key_.size();
  if (n + k_ < m || n > m + k_) return -1;
  const int v = row[m + k_ - n];
  return v <= k_ ? v : -1;
}

int HeadwordDistance::Continue(const uint8_t* bytes, uint32_t length, uint32_t shared) {
  // The units decided by the bytes shared with the headword before are
  // kept, with their rows.
  size_t kept = count_;
  while (kept > 0 && decided_[kept - 1] > shared) --kept;
  if (dead_ && kept == count_) return -1;
  count_ = kept;
  rowsDone_ = std::min(rowsDone_, kept);
  dead_ = false;

  uint32_t at = kept > 0 ? next_[kept - 1] : 0;
  if (bocu_) {
    Bocu1Decoder decoder = kept > 0 ? decoders_[kept - 1] : Bocu1Decoder();
    while (at < length) {
      const int32_t c = decoder.Decode(bytes[at++]);
      if (c == -1) continue;  // more bytes to come
      if (c <= 0 || (searchForm_ && c == u'\t')) break;  // an illegal byte, a zero, the TAB
      if (c <= 0xFFFF) {
        if (!Push(static_cast<char16_t>(c), at, at, &decoder)) break;
      } else if (!Push(static_cast<char16_t>(0xD7C0 + (c >> 10)), at, at, &decoder) ||
                 !Push(static_cast<char16_t>(0xDC00 | (c & 0x3FF)), at, at, &decoder)) {
        break;
      }
    }
  } else {
    while (at < length) {
      // As Cp932ToUtf16 reads it (DecodeCp932, written out for speed).
      const uint8_t b = bytes[at];
      char16_t unit;
      uint32_t decided;
      if (b < 0x80) {
        unit = b;
        decided = ++at;
      } else if (IsLead(b) && at + 1 < length && IsTrail(bytes[at + 1])) {
        unit = pairs_[(b < 0xE0 ? b - 0x81 : b - 0xE0 + 31) * 189 + bytes[at + 1] - 0x40];
        decided = at += 2;
      } else {
        const Step s = DecodeCp932(bytes, length, at);
        unit = s.unit;
        decided = s.decided;
        at = s.next;
      }
      if (unit == 0 || (searchForm_ && unit == u'\t')) break;
      if (!Push(unit, at, decided, nullptr)) break;
    }
  }
  int distance = -1;
  const size_t m = key_.size();
  if (!dead_ && count_ + k_ >= m && count_ - others_[count_] + k_ >= m) {
    // Enough units, enough of them the key's: now the rows, those not kept.
    for (size_t i = rowsDone_ + 1; i <= count_; ++i) {
      if (!NextRow(i, units_[i - 1], i >= 2 ? units_[i - 2] : 0, Row(i - 1), Row(i - 2), Row(i))) {
        count_ = rowsDone_ = i;  // no headword that begins with these units comes within k
        dead_ = true;
        break;
      }
      rowsDone_ = i;
    }
    if (!dead_) distance = Final(count_, Row(count_));
  }
  // The bytes that decided the units are what the next headword is held to.
  const uint32_t decided = count_ > 0 ? std::min(decided_[count_ - 1], length) : 0;
  const uint32_t same = kept > 0 ? std::min({decided_[kept - 1], shared, decided}) : 0;
  std::copy(bytes + same, bytes + decided, previous_.begin() + same);
  previousLength_ = decided;
  if (dead_) deadBytes_ = decided_[count_ - 1] <= decided ? decided : UINT32_MAX;
  return distance;
}

bool HeadwordDistance::Hopeless(const uint8_t* first, uint32_t firstLength, const uint8_t* next,
                                uint32_t nextLength) const {
  if (minBytes_ == UINT32_MAX) return true;
  // The units every headword between the two keys begins with: no more
  // than a row past the key needs.
  std::u16string& units = scratchUnits_;
  units.clear();
  const size_t most = maxUnits_;
  if (bocu_) {
    // Keys are asked for in turn: the next key of one call is the first
    // of the next, decoded once.
    const auto decode = [&](const uint8_t* key, uint32_t length, std::u16string* out) {
      out->resize(most + 2);
      out->resize(static_cast<size_t>(Bocu1DecodeUnits(key, static_cast<int32_t>(std::min<uint32_t>(length, INT32_MAX)),
                                                       out->data(), static_cast<int32_t>(out->size()))));
    };
    if (first != scratchKey_) decode(first, firstLength, &scratchNext_);
    units.swap(scratchNext_);
    decode(next, nextLength, &scratchNext_);
    scratchKey_ = next;
    units.resize(static_cast<size_t>(
        std::mismatch(units.begin(), units.end(), scratchNext_.begin(), scratchNext_.end()).first - units.begin()));
  } else {
    const uint32_t shared = CommonBytes(first, firstLength, next, nextLength);
    for (uint32_t at = 0; at < shared && units.size() < most;) {
      const Step s = DecodeCp932(first, firstLength, at);
      if (s.decided > shared) break;
      units += s.unit;
      at = s.next;
    }
  }
  bool whole = false;  // the headwords' compared form is these units
  units.resize(std::min(units.find(u'\0'), units.size()));
  if (searchForm_) {
    const size_t tab = units.find(u'\t');
    if (tab != std::u16string::npos) {
      units.resize(tab);
      whole = true;
    }
  }
  units.resize(std::min(units.size(), most));

  // As Push: too many units the key lacks, or too many units.
  size_t others = 0;
  for (const char16_t u : units) others += ((inKey_[u >> 6] >> (u & 63)) & 1) ^ 1;
  if (others > static_cast<size_t>(k_) || units.size() > key_.size() + k_) return true;
  std::vector<uint8_t>& rows = scratchRows_;
  rows.assign((units.size() + 2) * kLanes, static_cast<uint8_t>(k_ + 1));
  std::copy(rows_.begin() + kLanes, rows_.begin() + 2 * kLanes, rows.begin() + kLanes);
  for (size_t i = 1; i <= units.size(); ++i) {
    uint8_t* row = &rows[(i + 1) * kLanes];
    if (!NextRow(i, units[i - 1], i >= 2 ? units[i - 2] : 0, row - kLanes, row - 2 * kLanes, row)) {
      return true;
    }
  }
  return whole && Final(units.size(), &rows[(units.size() + 1) * kLanes]) < 0;
}

}  // namespace similar_detail
}  // namespace kebu

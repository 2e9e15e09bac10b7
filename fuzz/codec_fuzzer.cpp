// Fuzz target: the text codecs alone. The input is taken as BOCU-1 bytes, as
// code page 932 bytes and as UTF-16 units (little-endian pairs) at once.
//
// Checked besides the sanitizers, for every capacity (up to a bound for long
// inputs):
//  - BOCU-1 writes at most capacity - 1 units and a terminator, and a text
//    decoded with less room is the start of the text decoded with more;
//  - code page 932 decoding fills at most the capacity, with whole characters
//    that are the start of the full decoding; encoding fits its capacity or
//    gives 0, and a decoded text without U+FFFD encodes back to bytes that
//    decode to it;
//  - UTF-8: counting and writing agree, three bytes per unit at most, and a
//    text without lone surrogates comes back through Utf8ToUtf16 unchanged.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/bocu1.h"
#include "codec/cp932.h"
#include "codec/utf8.h"

namespace {

using namespace kebu;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "kebu codec_fuzzer: check failed: %s\n", what);
  std::abort();
}
#define CHECK(cond)           \
  do {                        \
    if (!(cond)) Fail(#cond); \
  } while (0)

// Capacities to try for a text that needs `full` units: all of them up to a
// bound, then a spread.
std::vector<int32_t> Capacities(int32_t full) {
  std::vector<int32_t> out;
  const int32_t every = std::min<int32_t>(full + 2, 130);
  for (int32_t c = 0; c <= every; ++c) out.push_back(c);
  for (int32_t c : {full - 1, full, full + 1, full + 2, full / 2, full * 2 + 2}) {
    if (c > every) out.push_back(c);
  }
  return out;
}

// memcmp that allows empty (and so possibly null) ranges.
bool Same(const void* a, const void* b, size_t bytes) {
  return bytes == 0 || std::memcmp(a, b, bytes) == 0;
}

bool HasLoneSurrogate(const char16_t* u, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if ((u[i] & 0xFC00) == 0xD800) {
      if (i + 1 < n && (u[i + 1] & 0xFC00) == 0xDC00) {
        ++i;
        continue;
      }
      return true;
    }
    if ((u[i] & 0xFC00) == 0xDC00) return true;
  }
  return false;
}

void Bocu1(const uint8_t* data, int32_t size) {
  // A byte gives at most one code point, and so at most two units (near
  // the top of the code space a one-byte difference stays above U+FFFF).
  std::vector<char16_t> full(static_cast<size_t>(size) * 2 + 2);
  const int32_t fullUnits = Bocu1DecodeUnits(data, size, full.data(), size * 2 + 2);
  CHECK(fullUnits >= 0 && fullUnits <= size * 2);
  CHECK(full[fullUnits] == 0);
  for (int32_t capacity : Capacities(fullUnits + 1)) {
    // Exactly `capacity` units: the terminator takes the last.
    std::vector<char16_t> out(static_cast<size_t>(std::max(capacity, 0)));
    const int32_t n = Bocu1DecodeUnits(data, size, out.data(), capacity);
    if (capacity < 1) {
      CHECK(n == 0);
      continue;
    }
    CHECK(n >= 0 && n <= capacity - 1);
    CHECK(out[n] == 0);
    CHECK(n <= fullUnits);
    CHECK(Same(out.data(), full.data(), sizeof(char16_t) * n));
    if (capacity >= fullUnits + 1) CHECK(n == fullUnits);
    std::vector<char16_t> again(static_cast<size_t>(capacity));
    CHECK(Bocu1ToUtf16(data, size, again.data(), capacity) == 0);
    CHECK(Same(again.data(), out.data(), sizeof(char16_t) * (n + 1)));
  }
  // The byte-wise decoder on its own: results stay in range.
  Bocu1Decoder decoder;
  for (int32_t i = 0; i < size; ++i) {
    const int32_t c = decoder.Decode(data[i]);
    CHECK(c == -1 || c == -99 || (c >= 0 && c <= 0x10FFFF));
    CHECK(decoder.count >= 0 && decoder.count <= 3);
  }
}

void Cp932(const uint8_t* data, int32_t size) {
  std::vector<char16_t> full(static_cast<size_t>(size) + 1);
  const int32_t fullUnits = Cp932ToUtf16(data, size, full.data(), size);
  CHECK(fullUnits >= 0 && fullUnits <= size);
  for (int32_t capacity : Capacities(fullUnits)) {
    std::vector<char16_t> out(static_cast<size_t>(std::max(capacity, 0)));
    const int32_t n = Cp932ToUtf16(data, size, out.data(), capacity);
    CHECK(n >= 0 && n <= std::max(capacity, 0));
    CHECK(n <= fullUnits);
    CHECK(Same(out.data(), full.data(), sizeof(char16_t) * n));
    if (capacity >= fullUnits) CHECK(n == fullUnits);
  }
  // Back again: every character that decoding gives has a code.
  const std::u16string decoded(full.data(), static_cast<size_t>(fullUnits));
  if (decoded.find(u'\uFFFD') == std::u16string::npos) {
    std::vector<uint8_t> bytes(static_cast<size_t>(fullUnits) * 2 + 1);
    const int32_t m = Utf16ToCp932(decoded.data(), fullUnits, bytes.data(),
                                   static_cast<int32_t>(bytes.size()));
    CHECK(m >= 0 && m <= fullUnits * 2);
    if (fullUnits > 0) CHECK(m > 0);
    std::vector<char16_t> round(static_cast<size_t>(m) + 1);
    const int32_t r = Cp932ToUtf16(bytes.data(), m, round.data(), m);
    CHECK(std::u16string(round.data(), static_cast<size_t>(r)) == decoded);
  }
}

void Utf16(const char16_t* units, int32_t count) {
  // Code page 932: every capacity; the text fits or the result is 0.
  std::vector<uint8_t> whole(static_cast<size_t>(count) * 2 + 1);
  const int32_t need = Utf16ToCp932(units, count, whole.data(), static_cast<int32_t>(whole.size()));
  CHECK(need >= 0 && need <= count * 2);
  if (count > 0) CHECK(need > 0);
  for (int32_t capacity : Capacities(need)) {
    std::vector<uint8_t> out(static_cast<size_t>(std::max(capacity, 0)));
    const int32_t n = Utf16ToCp932(units, count, out.data(), capacity);
    CHECK(n == (capacity >= need ? need : 0));
    CHECK(Same(out.data(), whole.data(), static_cast<size_t>(n)));
  }
  // UTF-8: exactly three bytes per unit of room.
  const uint32_t counted = Utf16ToUtf8(units, static_cast<uint32_t>(count), nullptr);
  std::vector<uint8_t> out(static_cast<size_t>(count) * 3);
  const uint32_t written = Utf16ToUtf8(units, static_cast<uint32_t>(count), out.data());
  CHECK(counted == written);
  CHECK(written <= static_cast<uint32_t>(count) * 3);
  const std::u16string_view view(units, static_cast<size_t>(count));
  const std::string utf8 = Utf16ToUtf8(view);
  CHECK(utf8.size() == written);
  CHECK(Same(utf8.data(), out.data(), written));
  const std::u16string back = Utf8ToUtf16(utf8);
  if (!HasLoneSurrogate(units, static_cast<size_t>(count))) {
    CHECK(back == view);
  } else {
    CHECK(back.size() == static_cast<size_t>(count));  // one U+FFFD each
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const int32_t n = static_cast<int32_t>(size);
  Bocu1(data, n);
  Cp932(data, n);
  std::vector<char16_t> units(size / 2);
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  Utf16(units.data(), static_cast<int32_t>(units.size()));
  // The raw bytes as UTF-8: whatever they hold, the result is well-formed
  // UTF-16 that encodes back without loss.
  const std::u16string decoded =
      Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  CHECK(decoded.size() <= size);
  CHECK(!HasLoneSurrogate(decoded.data(), decoded.size()));
  CHECK(Utf8ToUtf16(Utf16ToUtf8(decoded)) == decoded);
  return 0;
}

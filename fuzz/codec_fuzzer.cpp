// Fuzz target: the text codecs alone. The input is BOCU-1 bytes, code page
// 932 bytes, UTF-16 units (little-endian pairs) and UTF-8 at once.
//
// Checked besides the sanitizers:
//  - BOCU-1: at most capacity - 1 units and a terminator for every capacity,
//    a text decoded with less room is the start of the text decoded with
//    more, cut at whole code points; the byte-wise decoder gives the same
//    code points up to the first illegal byte;
//  - code page 932: decoding keeps to its capacity with whole characters
//    that start the full decoding; encoding fits or gives 0; a decoded text
//    without U+FFFD encodes back to bytes that decode to it;
//  - UTF-8: counting and writing agree, three bytes a unit at most; UTF-16
//    comes back through Utf8ToUtf16 (lone surrogates as U+FFFD) and is
//    flagged well-formed; bytes are flagged well-formed exactly when they
//    decode and encode back to themselves; AppendVisibleUtf8 writes
//    well-formed UTF-8 without control characters but TAB and LF.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/bocu1.h"
#include "codec/cp932.h"
#include "codec/utf8.h"

namespace {

using namespace kebu;

[[noreturn]] void Fail(const char* what) { std::fprintf(stderr, "check failed: %s\n", what), std::abort(); }
#define CHECK(cond) ((cond) ? void() : Fail(#cond))

// A spread around the full size, and every capacity up to a bound.
std::vector<int32_t> Capacities(int32_t full) {
  std::vector<int32_t> out = {full - 1, full, full + 1, full / 2, full * 2 + 2};
  for (int32_t c = 0; c <= std::min(full + 2, 130); ++c) out.push_back(c);
  return out;
}

uint8_t* Bytes(std::string& s) { return reinterpret_cast<uint8_t*>(s.data()); }

// The units with each lone surrogate replaced by U+FFFD.
std::u16string Replaced(std::u16string_view s) {
  std::u16string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    if ((out[i] & 0xFC00) == 0xD800 && i + 1 < out.size() && (out[i + 1] & 0xFC00) == 0xDC00) ++i;
    else if ((out[i] & 0xF800) == 0xD800) out[i] = u'\uFFFD';
  }
  return out;
}

void Bocu1(const uint8_t* data, int32_t size) {
  std::u16string full(size_t(size) * 2 + 1, u'\0');
  const int32_t units = Bocu1DecodeUnits(data, size, full.data(), int32_t(full.size()));
  CHECK(units >= 0 && units <= size * 2 && full[units] == 0);
  full.resize(units);
  Bocu1Decoder decoder;
  std::u16string bytewise;
  std::vector<int32_t> ends = {0};  // where the code points end
  for (int32_t i = 0, c = 0; i < size && (c = decoder.Decode(data[i])) != -99; ++i) {
    CHECK(c >= -1 && c <= 0x10FFFF && decoder.count >= 0 && decoder.count <= 3);
    if (c > 0xFFFF) bytewise += char16_t(0xD7C0 + (c >> 10)), c = 0xDC00 | (c & 0x3FF);
    if (c >= 0) bytewise += char16_t(c), ends.push_back(int32_t(bytewise.size()));
  }
  CHECK(bytewise == full);
  for (int32_t capacity : Capacities(units + 1)) {
    std::vector<char16_t> out(size_t(std::max(capacity, 0)), u'\x7777');
    const int32_t n = Bocu1DecodeUnits(data, size, out.data(), capacity);
    CHECK(capacity < 1 ? n == 0 : n <= capacity - 1 && out[n] == 0);
    CHECK(std::u16string_view(out.data(), n) == std::u16string_view(full).substr(0, n));
    // Whole code points: the last end that fits.
    CHECK(capacity < 1 || n == *(std::upper_bound(ends.begin(), ends.end(), capacity - 1) - 1));
  }
}

void Cp932(const uint8_t* data, int32_t size) {
  std::u16string full(size_t(size), u'\0');
  full.resize(Cp932ToUtf16(data, size, full.data(), size));
  for (int32_t capacity : Capacities(int32_t(full.size()))) {
    std::vector<char16_t> out(size_t(std::max(capacity, 0)));
    const int32_t n = Cp932ToUtf16(data, size, out.data(), capacity);
    CHECK(n >= 0 && n <= std::max(capacity, 0) && size_t(n) <= full.size());
    CHECK(std::u16string_view(out.data(), n) == std::u16string_view(full).substr(0, n));
    if (size_t(capacity) >= full.size()) CHECK(size_t(n) == full.size());
  }
  if (full.find(u'\uFFFD') != std::u16string::npos) return;
  std::string bytes(full.size() * 2, '\0');
  const int32_t m = Utf16ToCp932(full.data(), int32_t(full.size()), Bytes(bytes), int32_t(bytes.size()));
  CHECK(m > 0 || full.empty());
  std::u16string back(size_t(m), u'\0');
  back.resize(Cp932ToUtf16(Bytes(bytes), m, back.data(), m));
  CHECK(back == full);
}

void Utf16(std::u16string_view units) {
  const int32_t count = int32_t(units.size());
  std::string whole(units.size() * 2, '\0');
  const int32_t need = Utf16ToCp932(units.data(), count, Bytes(whole), count * 2);
  CHECK(need <= count * 2 && (need > 0 || count == 0));
  for (int32_t capacity : Capacities(need)) {
    std::string out(size_t(std::max(capacity, 0)), '\0');
    const int32_t n = Utf16ToCp932(units.data(), count, Bytes(out), capacity);
    CHECK(n == (capacity >= need ? need : 0) && out.compare(0, n, whole, 0, n) == 0);
  }
  std::string utf8(units.size() * 3, '\0');
  const uint32_t written = Utf16ToUtf8(units.data(), uint32_t(count), Bytes(utf8));
  CHECK(written == Utf16ToUtf8(units.data(), uint32_t(count), nullptr) && written <= units.size() * 3);
  utf8.resize(written);
  CHECK(utf8 == Utf16ToUtf8(units));
  bool wellFormed = false;
  CHECK(Utf8ToUtf16(utf8, &wellFormed) == Replaced(units) && wellFormed);
  std::string visible = "x";
  AppendVisibleUtf8(units, &visible);
  CHECK(Utf8ToUtf16(visible, &wellFormed).size() >= units.size() && wellFormed);
  for (char16_t u : Utf8ToUtf16(visible)) {
    CHECK(u == '\t' || u == '\n' || (u >= 0x20 && (u < 0x7F || u > 0x9F)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  Bocu1(data, int32_t(size));
  Cp932(data, int32_t(size));
  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) units[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
  Utf16(units);
  // The bytes as UTF-8: well-formed exactly when they come back unchanged.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  bool wellFormed = false;
  const std::u16string decoded = Utf8ToUtf16(bytes, &wellFormed);
  CHECK(decoded.size() <= size && Replaced(decoded) == decoded);
  CHECK(wellFormed == (Utf16ToUtf8(decoded) == bytes));
  return 0;
}

// The byte test of full-text search: does a text hold a probe (a byte
// string with a second choice for each byte: a letter in either case), or a
// byte that forces it to be decoded anyway?
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kebu {

// Bytes that, when a text holds them, let the query hide from the probes.
enum class ByteClass : uint8_t {
  kNone,
  kCp932FullWidth,  // 82 followed by 4F-9A: a full-width letter or digit
  kBocuReset,       // FF: a BOCU-1 reset, which decodes to no unit
  kBocuNonAscii,    // 21-4F, D0-FF: BOCU-1 anything but ASCII, or a reset
};

// A probe as the byte test takes it: m bytes, a second choice for each.
struct ProbeBytes {
  const uint8_t* bytes;
  const uint8_t* other;
  size_t m;
};

// Whether the n bytes at p hold a byte of class `kind` or one of the probes
// (each one byte long at least, none holding a zero byte).
bool MayHold(ByteClass kind, const ProbeBytes* probes, size_t count, const uint8_t* p, size_t n);

// The same test for all the texts of a record area at once: sets, in
// `marks` (one bit a byte of the n bytes at p), the bit of each class byte
// and of the last byte of each probe found. A text of the area that holds
// the query holds a mark; AnyMark tells whether [from, to) does.
void MarkArea(ByteClass kind, const ProbeBytes* probes, size_t count, const uint8_t* p, size_t n,
              std::vector<uint64_t>* marks);
inline bool AnyMark(const std::vector<uint64_t>& marks, size_t from, size_t to) {
  for (size_t word = from >> 6; from < to; from = ++word << 6) {
    const size_t end = to - (word << 6) < 64 ? to - (word << 6) : 64;
    const uint64_t upTo = end == 64 ? ~uint64_t{0} : (uint64_t{1} << end) - 1;
    if ((marks[word] & upTo & (~uint64_t{0} << (from & 63))) != 0) return true;
  }
  return false;
}

}  // namespace kebu

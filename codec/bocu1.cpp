// BOCU-1: the byte-by-byte decoder, the bounded string driver, the encoder.
#include "codec/bocu1.h"

namespace kebu {
namespace {

constexpr int32_t kAsciiPrev = 0x40;   // prev after a reset
constexpr int32_t kMiddle = 0x90;      // single-byte difference 0
constexpr int32_t kTrailCount = 243;   // values a trail byte can carry
constexpr int32_t kTrailOffset = 13;   // trail value of bytes 21-FF: byte - 13
constexpr int32_t kReset = 0xFF;
constexpr int32_t kIllegal = -99;

// Leads 50-CF are single-byte differences -64..63; the two-byte range starts
// behind them, three- and four-byte ranges after that.
constexpr int32_t kReachPos1 = 63, kReachNeg1 = -64;
constexpr int32_t kReachPos2 = kReachPos1 + 43 * kTrailCount;
constexpr int32_t kReachNeg2 = kReachNeg1 - 43 * kTrailCount;
constexpr int32_t kReachPos3 = kReachPos2 + 3 * kTrailCount * kTrailCount;
constexpr int32_t kReachNeg3 = kReachNeg2 - 3 * kTrailCount * kTrailCount;
constexpr int32_t kStartPos2 = 0xD0, kStartPos3 = 0xFB, kStartPos4 = 0xFE;
constexpr int32_t kStartNeg2 = 0x50, kStartNeg3 = 0x25, kStartNeg4 = 0x22;

// Trail value of the bytes 00-20; -1 for the controls that never trail.
constexpr int8_t kByteToTrail[0x21] = {
    -1,   0x00, 0x01, 0x02, 0x03, 0x04, 0x05, -1,    // 00-07
    -1,   -1,   -1,   -1,   -1,   -1,   -1,   -1,    // 08-0F
    0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D,  // 10-17
    0x0E, 0x0F, -1,   -1,   0x10, 0x11, 0x12, 0x13,  // 18-1F
    -1,                                              // 20
};

// Trail byte of the trail values 0..19 (the bytes 00-20 that may trail);
// from 20 on a value t is the byte t + 13.
constexpr uint8_t kTrailToByte[20] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x10, 0x11, 0x12, 0x13,
                                      0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1C, 0x1D, 0x1E, 0x1F};

// Reference point after code point c: the middle of its script block for
// hiragana, unified CJK and hangul, else the middle of its 128-block.
inline int32_t NextPrev(int32_t c) {
  if (c >= 0x3040 && c <= 0x309F) return 0x3070;
  if (c >= 0x4E00 && c <= 0x9FA5) return 0x4E00 - kReachNeg2;  // 0x7711
  if (c >= 0xAC00 && c <= 0xD7A3) return (0xD7A3 + 0xAC00) / 2;  // 0xC1D1
  return (c & ~0x7F) + kAsciiPrev;
}

// Writes the difference of a code point from the reference point: one byte
// for -64..63, else a lead byte and one to three trail bytes. Returns the
// number of bytes.
uint32_t PackDiff(int32_t diff, uint8_t* out) {
  int32_t lead, count;
  if (diff >= kReachNeg1) {
    if (diff <= kReachPos1) {
      out[0] = static_cast<uint8_t>(kMiddle + diff);
      return 1;
    }
    if (diff <= kReachPos2) {
      diff -= kReachPos1 + 1, lead = kStartPos2, count = 1;
    } else if (diff <= kReachPos3) {
      diff -= kReachPos2 + 1, lead = kStartPos3, count = 2;
    } else {
      diff -= kReachPos3 + 1, lead = kStartPos4, count = 3;
    }
  } else if (diff >= kReachNeg2) {
    diff -= kReachNeg1, lead = kStartNeg2, count = 1;
  } else if (diff >= kReachNeg3) {
    diff -= kReachNeg2, lead = kStartNeg3, count = 2;
  } else {
    diff -= kReachNeg3, lead = kStartNeg4, count = 3;
  }
  // Trail values from the last byte back, each the remainder of a floor
  // division; what is left moves the lead byte (down for negative ones).
  for (int32_t k = count; k > 0; --k) {
    int32_t t = diff % kTrailCount;
    diff /= kTrailCount;
    if (t < 0) {
      t += kTrailCount;
      --diff;
    }
    out[k] = t < 20 ? kTrailToByte[t] : static_cast<uint8_t>(t + kTrailOffset);
  }
  out[0] = static_cast<uint8_t>(lead + diff);
  return static_cast<uint32_t>(count + 1);
}

}  // namespace

int32_t Bocu1Decoder::Decode(uint8_t b) {
  if (prev == 0) {
    prev = kAsciiPrev;
    count = 0;
  }
  if (count == 0) {
    if (b <= 0x20) {  // controls and space stand for themselves
      if (b != 0x20) prev = kAsciiPrev;
      return b;
    }
    if (b >= kStartNeg2 && b < kStartPos2) {
      const int32_t c = prev + (b - kMiddle);
      prev = NextPrev(c);
      return c;
    }
    if (b == kReset) {
      prev = kAsciiPrev;
      return -1;
    }
    // Lead byte of a multi-byte difference.
    if (b >= kStartNeg2) {
      if (b < kStartPos3) {
        diff = (b - kStartPos2) * kTrailCount + kReachPos1 + 1;
        count = 1;
      } else if (b < kStartPos4) {
        diff = (b - kStartPos3) * kTrailCount * kTrailCount + kReachPos2 + 1;
        count = 2;
      } else {
        diff = kReachPos3 + 1;
        count = 3;
      }
    } else if (b >= kStartNeg3) {
      diff = (b - kStartNeg2) * kTrailCount + kReachNeg1;
      count = 1;
    } else if (b > 0x21) {
      diff = (b - kStartNeg3) * kTrailCount * kTrailCount + kReachNeg2;
      count = 2;
    } else {
      diff = -kTrailCount * kTrailCount * kTrailCount + kReachNeg3;
      count = 3;
    }
    return -1;
  }

  // Trail byte.
  int32_t t;
  if (b <= 0x20) {
    t = kByteToTrail[b];
    if (t < 0) {
      prev = kAsciiPrev;
      count = 0;
      return kIllegal;
    }
  } else {
    t = b - kTrailOffset;
  }
  if (count == 1) {
    const int32_t c = prev + diff + t;
    count = 0;
    if (c < 0 || c > 0x10FFFF) {
      prev = kAsciiPrev;
      return kIllegal;
    }
    prev = NextPrev(c);
    return c;
  }
  diff += count == 2 ? t * kTrailCount : t * kTrailCount * kTrailCount;
  --count;
  return -1;
}

int32_t Bocu1DecodeUnits(const uint8_t* bytes, int32_t length, char16_t* out,
                         int32_t capacity) {
  if (capacity < 1) return 0;  // no room even for the terminator
  Bocu1Decoder decoder;
  decoder.prev = kAsciiPrev;  // what the first byte would set
  const int32_t end = capacity - 1;  // index reserved for the terminator
  int32_t n = 0;
  for (int32_t i = 0; i < length && n < end; ++i) {
    if (decoder.prev == kAsciiPrev && decoder.count == 0) {
      // ASCII from the ASCII reference point: bytes 50-CF are the code
      // points 00-7F and leave prev where it is, the space stands for itself.
      while (i < length && n < end) {
        const uint32_t b = bytes[i];
        if (b - kStartNeg2 < 0x80u) {
          out[n++] = static_cast<char16_t>(b - kStartNeg2);
        } else if (b == 0x20) {
          out[n++] = u' ';
        } else {
          break;
        }
        ++i;
      }
      if (i == length || n == end) break;
    }
    const uint8_t b = bytes[i];
    int32_t c;
    if (decoder.count == 0 && b >= kStartNeg2 && b < kStartPos2) {
      // The common case, a single-byte difference, without the call.
      c = decoder.prev + (b - kMiddle);
      decoder.prev = NextPrev(c);
    } else if (decoder.count == 0 && b > 0x21 && b < kStartPos4 && i + 2 < length &&
               bytes[i + 1] > 0x20 && ((b >= kStartNeg3 && b < kStartPos3) || bytes[i + 2] > 0x20)) {
      // Two- and three-byte differences (kana and kanji, and the first of
      // them in a text) whose trail bytes need no table, also without the
      // call; the last two bytes of a text take the long way.
      int32_t diff;
      if (b >= kStartPos3) {
        diff = (b - kStartPos3) * kTrailCount * kTrailCount + kReachPos2 + 1;
      } else if (b >= kStartPos2) {
        diff = (b - kStartPos2) * kTrailCount + kReachPos1 + 1;
      } else if (b >= kStartNeg3) {
        diff = (b - kStartNeg2) * kTrailCount + kReachNeg1;
      } else {
        diff = (b - kStartNeg3) * kTrailCount * kTrailCount + kReachNeg2;
      }
      if (b >= kStartNeg3 && b < kStartPos3) {
        diff += bytes[++i] - kTrailOffset;
      } else {
        diff += (bytes[i + 1] - kTrailOffset) * kTrailCount + (bytes[i + 2] - kTrailOffset);
        i += 2;
      }
      c = decoder.prev + diff;
      if (c < 0 || c > 0x10FFFF) break;  // illegal: the text ends here
      decoder.prev = NextPrev(c);
    } else {
      c = decoder.Decode(b);
      if (c < 0) {
        if (c == -1) continue;
        break;  // illegal byte: the text ends here
      }
    }
    if (c <= 0xFFFF) {
      out[n++] = static_cast<char16_t>(c);
    } else if (end - n >= 2) {
      out[n++] = static_cast<char16_t>(0xD7C0 + (c >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    } else {
      break;  // a pair does not fit: the text ends before it
    }
  }
  out[n] = 0;
  return n;
}

uint32_t Utf16ToBocu1(const char16_t* units, uint32_t count, uint8_t* out) {
  int32_t prev = kAsciiPrev;
  uint32_t n = 0;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t c = units[i];
    if ((c & 0xFC00) == 0xD800 && i + 1 < count && (units[i + 1] & 0xFC00) == 0xDC00) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    if (c <= 0x20) {  // controls and space stand for themselves
      if (c != 0x20) prev = kAsciiPrev;
      out[n++] = static_cast<uint8_t>(c);
      continue;
    }
    n += PackDiff(c - prev, out + n);
    prev = NextPrev(c);
  }
  return n;
}

}  // namespace kebu

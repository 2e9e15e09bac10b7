// The 256-byte dictionary header: layout, acceptance and version-4 layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "dictionary/le.h"

namespace kebu {

// Header fields by offset (layout of version 5 and later, which is also the
// in-memory layout after a version-4 header has been brought into it).
namespace header_offset {
inline constexpr int kVersion = 140;      // s16, major in the high byte
inline constexpr int kLword = 142;        // s16
inline constexpr int kLjapa = 144;        // s16
inline constexpr int kBlockSize = 146;    // s16, 1..1024
inline constexpr int kIndexBlock = 148;   // s16, blocks of the index area
inline constexpr int kHeaderSize = 150;   // s16, offset of the index area
inline constexpr int kNword = 160;        // s32
inline constexpr int kDicorder = 164;     // u8
inline constexpr int kDictype = 165;      // u8, bit 3: BOCU-1 text
inline constexpr int kAttrlen = 166;      // u8
inline constexpr int kOs = 167;           // u8
inline constexpr int kIndexBlkbit = 182;  // u8, 1: 32-bit block numbers
inline constexpr int kDataGap = 184;      // s32
inline constexpr int kNindex2 = 192;      // s32
inline constexpr int kNblock2 = 196;      // s32
}  // namespace header_offset

inline constexpr int kHeaderBytes = 256;
inline constexpr int kSignatureLength = 51;
extern const char kSignature[kSignatureLength + 1];

// The header as held in memory: the 256 bytes and their named fields.
struct DicHeader {
  std::array<uint8_t, kHeaderBytes> bytes{};  // all zero before any open

  int16_t version() const { return S16(header_offset::kVersion); }
  int16_t lword() const { return S16(header_offset::kLword); }
  int16_t ljapa() const { return S16(header_offset::kLjapa); }
  int16_t block_size() const { return S16(header_offset::kBlockSize); }
  int16_t index_block() const { return S16(header_offset::kIndexBlock); }
  int16_t header_size() const { return S16(header_offset::kHeaderSize); }
  int32_t nword() const { return S32(header_offset::kNword); }
  uint8_t dicorder() const { return bytes[header_offset::kDicorder]; }
  uint8_t dictype() const { return bytes[header_offset::kDictype]; }
  uint8_t attrlen() const { return bytes[header_offset::kAttrlen]; }
  uint8_t os() const { return bytes[header_offset::kOs]; }
  uint8_t index_blkbit() const { return bytes[header_offset::kIndexBlkbit]; }
  int32_t data_gap() const { return S32(header_offset::kDataGap); }
  int32_t nindex2() const { return S32(header_offset::kNindex2); }
  int32_t nblock2() const { return S32(header_offset::kNblock2); }

  // All text in the file is BOCU-1 when dictype bit 3 is set, else code
  // page 932.
  bool IsBocu1() const { return (dictype() & 0x08) != 0; }
  // Index block numbers are 4 bytes wide when index_blkbit is 1, else 2.
  int IndexBlockNumberWidth() const { return index_blkbit() == 1 ? 4 : 2; }

 private:
  int16_t S16(int offset) const {
    return static_cast<int16_t>(DecodeFixed16(bytes.data() + offset));
  }
  int32_t S32(int offset) const {
    return static_cast<int32_t>(DecodeFixed32(bytes.data() + offset));
  }
};

// The version field shifted right by 8 with its sign carried in.
int32_t VersionMajor(int16_t version);

// Why a header was refused.
enum class HeaderStatus {
  kAccepted,
  kTooShort,         // fewer than 256 bytes
  kVersionTooLow,    // major below 4 (also: bit 15 set)
  kBadHeaderSize,    // header_size outside 1..1024
  kBadBlockSize,     // block_size outside 1..1024
  kNoSignature,      // signature neither at offset 13 nor at offset 24
};

// A sentence for people: "version below 4.00" and the like.
const char* HeaderStatusText(HeaderStatus status);
// The same with the offending value and where it stands, for messages:
// "version 3.18 below 4.00 (field at offset 140)".
std::string DescribeHeaderStatus(HeaderStatus status, const DicHeader& header,
                                 size_t fileLength);

// The header steps of opening a file, in their order: copies the 256 bytes
// into *header, stores the version major into *versionMajor (before any
// test, so a refused header leaves both behind), tests version, header_size,
// block_size and the signature, and brings a version-4 header into the later
// layout. With fewer than 256 bytes nothing is touched.
HeaderStatus ReadHeader(const uint8_t* raw, size_t rawLength, DicHeader* header,
                        int32_t* versionMajor);

}  // namespace kebu

#include "dictionary/dic_header.h"

#include <cstdio>
#include <cstring>

namespace kebu {

const char kSignature[kSignatureLength + 1] =
    "=============== Dictionary for KEBU ===============";

int32_t VersionMajor(int16_t version) {
  return static_cast<int32_t>(version) >> 8;
}

const char* HeaderStatusText(HeaderStatus status) {
  switch (status) {
    case HeaderStatus::kAccepted: return "accepted";
    case HeaderStatus::kTooShort: return "file too short for a header (256 bytes)";
    case HeaderStatus::kVersionTooLow: return "version below 4.00";
    case HeaderStatus::kBadHeaderSize: return "header_size out of range (1 to 1024)";
    case HeaderStatus::kBadBlockSize: return "block_size out of range (1 to 1024)";
    case HeaderStatus::kNoSignature: return "signature not found at offset 13 or 24";
  }
  return "unknown";
}

std::string DescribeHeaderStatus(HeaderStatus status, const DicHeader& h,
                                 size_t fileLength) {
  char text[160];
  switch (status) {
    case HeaderStatus::kTooShort:
      std::snprintf(text, sizeof text,
                    "file too short for a header: %zu bytes, 256 needed",
                    fileLength);
      return text;
    case HeaderStatus::kVersionTooLow:
      std::snprintf(text, sizeof text,
                    "version %d.%02d below 4.00 (field at offset %d)",
                    VersionMajor(h.version()), h.version() & 0xFF,
                    header_offset::kVersion);
      return text;
    case HeaderStatus::kBadHeaderSize:
      std::snprintf(text, sizeof text,
                    "header_size %d out of range 1 to 1024 (field at offset %d)",
                    h.header_size(), header_offset::kHeaderSize);
      return text;
    case HeaderStatus::kBadBlockSize:
      std::snprintf(text, sizeof text,
                    "block_size %d out of range 1 to 1024 (field at offset %d)",
                    h.block_size(), header_offset::kBlockSize);
      return text;
    default:
      return HeaderStatusText(status);
  }
}

namespace {

// Where the fields of a version-4 header stand, and where they go.
struct MovedField {
  int from;
  int size;
  int to;
};
constexpr MovedField kVersion4Fields[] = {
    {167, 4, 168},  // not interpreted, kept in its later place
    {171, 1, header_offset::kOs},
    {182, 4, header_offset::kDataGap},
    {186, 4, 188},  // not interpreted
    {190, 4, header_offset::kNindex2},
    {194, 4, header_offset::kNblock2},
    {198, 1, header_offset::kIndexBlkbit},
};

bool SignatureAt(const uint8_t* raw, int offset) {
  return std::memcmp(raw + offset, kSignature, kSignatureLength) == 0;
}

}  // namespace

HeaderStatus ReadHeader(const uint8_t* raw, size_t rawLength, DicHeader* header,
                        int32_t* versionMajor) {
  if (rawLength < static_cast<size_t>(kHeaderBytes)) return HeaderStatus::kTooShort;
  std::memcpy(header->bytes.data(), raw, kHeaderBytes);
  const int32_t major = VersionMajor(header->version());
  *versionMajor = major;
  if (major < 4) return HeaderStatus::kVersionTooLow;
  if (header->header_size() < 1 || header->header_size() > 1024) {
    return HeaderStatus::kBadHeaderSize;
  }
  if (header->block_size() < 1 || header->block_size() > 1024) {
    return HeaderStatus::kBadBlockSize;
  }
  if (!SignatureAt(raw, 13) && !SignatureAt(raw, 24)) {
    return HeaderStatus::kNoSignature;
  }
  if (major == 4) {
    // Every value is taken from the bytes as they came from the file, so the
    // order of the moves does not matter.
    for (const MovedField& f : kVersion4Fields) {
      std::memcpy(header->bytes.data() + f.to, raw + f.from, f.size);
    }
  }
  return HeaderStatus::kAccepted;
}

}  // namespace kebu

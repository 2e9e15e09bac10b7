#include "dictionary/header_report.h"

#include <cstdio>
#include <cstring>

namespace kebu {

namespace {

const char* DicorderName(unsigned v) {
  switch (v) {
    case 0: return "code order ";
    case 1: return "ignore case ";
    case 2: return "lexicographic order ";
    case 3: return "descending order ";
    default: return "";
  }
}

const char* DictypeName(unsigned v) {
  switch (v) {
    case 1: return "AR compressed";
    case 8: return "BOCU-1 compressed";
    case 9: return "AR compressed / BOCU-1 compressed";
    default: return "";
  }
}

const char* OsName(unsigned v) {
  switch (v) {
    case 0: return "DOS,Windows,OS/2";
    case 1: return "Mac";
    case 2: return "UNIX - SJIS";
    case 3: return "UNIX - EUC";
    case 4: return "UNIX - JIS";
    case 32: return "BOCU encoding";
    default: return "";
  }
}

const char* BlkbitName(unsigned v) {
  switch (v) {
    case 0: return "16bit";
    case 1: return "32bit";
    default: return "";
  }
}

}  // namespace

void DumpHeaderInfo(const DicHeader& h, char* buffer, int32_t capacity) {
  // Each line is under 64 characters; a line is begun only with at least
  // 256 bytes of room left, so it always fits with its terminator.
  char lines[14][80];
  const int16_t version = h.version();
  std::snprintf(lines[0], sizeof lines[0], "version = %d.%02d\r\n",
                VersionMajor(version), version & 0xFF);
  std::snprintf(lines[1], sizeof lines[1], "lword = %d\r\n", h.lword());
  std::snprintf(lines[2], sizeof lines[2], "ljapa = %d\r\n", h.ljapa());
  std::snprintf(lines[3], sizeof lines[3], "block_size = %d\r\n", h.block_size());
  std::snprintf(lines[4], sizeof lines[4], "index_block = %d\r\n", h.index_block());
  std::snprintf(lines[5], sizeof lines[5], "header_size = %d\r\n", h.header_size());
  std::snprintf(lines[6], sizeof lines[6], "nword   = %d\r\n", h.nword());
  std::snprintf(lines[7], sizeof lines[7], "dicorder= [%02x] %s\r\n", h.dicorder(),
                DicorderName(h.dicorder()));
  std::snprintf(lines[8], sizeof lines[8], "dictype = [%02x] %s\r\n", h.dictype(),
                DictypeName(h.dictype()));
  std::snprintf(lines[9], sizeof lines[9], "attrlen = %d\r\n", h.attrlen());
  std::snprintf(lines[10], sizeof lines[10], "os      = [%02x] %s\r\n", h.os(),
                OsName(h.os()));
  std::snprintf(lines[11], sizeof lines[11], "index_blkbit = [%02x] %s\r\n",
                h.index_blkbit(), BlkbitName(h.index_blkbit()));
  std::snprintf(lines[12], sizeof lines[12], "nindex2 = %d\r\n", h.nindex2());
  std::snprintf(lines[13], sizeof lines[13], "nblock2 = %d\r\n", h.nblock2());

  static const char kTitle[] = "[Kebu Dictionary]\r\n";
  if (capacity < static_cast<int32_t>(sizeof kTitle)) {
    // Too small even for the title: write what fits, never past capacity.
    if (capacity <= 0) return;
    std::memcpy(buffer, kTitle, capacity - 1);
    buffer[capacity - 1] = '\0';
    return;
  }
  std::memcpy(buffer, kTitle, sizeof kTitle);
  int32_t written = static_cast<int32_t>(sizeof kTitle - 1);
  const int32_t margin = capacity - 255;
  for (const char* line : lines) {
    if (written >= margin) break;
    const size_t length = std::strlen(line);
    std::memcpy(buffer + written, line, length + 1);
    written += static_cast<int32_t>(length);
  }
}

}  // namespace kebu

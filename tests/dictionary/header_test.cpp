// Header acceptance, the version-4 layout and the header report.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dictionary/dic_header.h"
#include "dictionary/header_report.h"
#include "tests/dictionary/reader_fixture.h"

namespace kebu::testing {
namespace {

std::vector<uint8_t> HeaderBytes(const Options& options) { return MakeHeader(options); }

HeaderStatus Check(const std::vector<uint8_t>& raw, DicHeader* header = nullptr,
                   int32_t* major = nullptr) {
  DicHeader h;
  int32_t m = 0;
  return ReadHeader(raw.data(), raw.size(), header ? header : &h, major ? major : &m);
}

TEST(HeaderAcceptance, FieldsAreTestedInOrder) {
  struct Case {
    const char* name;
    uint16_t version;
    int16_t headerSize;
    int16_t blockSize;
    int signatureOffset;
    HeaderStatus expected;
  };
  const Case cases[] = {
      {"version 5.00", 0x0500, 256, 1024, 13, HeaderStatus::kAccepted},
      {"version 4.00", 0x0400, 256, 1024, 13, HeaderStatus::kAccepted},
      {"version 4.255", 0x04FF, 256, 1024, 13, HeaderStatus::kAccepted},
      {"version 6.00", 0x0600, 256, 1024, 13, HeaderStatus::kAccepted},
      {"version 3.255", 0x03FF, 256, 1024, 13, HeaderStatus::kVersionTooLow},
      {"version with bit 15", 0x8000, 256, 1024, 13, HeaderStatus::kVersionTooLow},
      {"header_size 0", 0x0500, 0, 1024, 13, HeaderStatus::kBadHeaderSize},
      {"header_size 1", 0x0500, 1, 1024, 13, HeaderStatus::kAccepted},
      {"header_size 1024", 0x0500, 1024, 1024, 13, HeaderStatus::kAccepted},
      {"header_size 1025", 0x0500, 1025, 1024, 13, HeaderStatus::kBadHeaderSize},
      {"header_size negative", 0x0500, -32768, 1024, 13, HeaderStatus::kBadHeaderSize},
      {"block_size 0", 0x0500, 256, 0, 13, HeaderStatus::kBadBlockSize},
      {"block_size 1", 0x0500, 256, 1, 13, HeaderStatus::kAccepted},
      {"block_size 1025", 0x0500, 256, 1025, 13, HeaderStatus::kBadBlockSize},
      {"block_size negative", 0x0500, 256, -32768, 13, HeaderStatus::kBadBlockSize},
      {"signature at 24", 0x0500, 256, 1024, 24, HeaderStatus::kAccepted},
      {"signature at 14", 0x0500, 256, 1024, 14, HeaderStatus::kNoSignature},
      {"no signature", 0x0500, 256, 1024, -1, HeaderStatus::kNoSignature},
      // The first failing test names the cause.
      {"version before header_size", 0x0300, 0, 0, -1, HeaderStatus::kVersionTooLow},
      {"header_size before block_size", 0x0500, 0, 0, -1, HeaderStatus::kBadHeaderSize},
      {"block_size before signature", 0x0500, 256, 0, -1, HeaderStatus::kBadBlockSize},
  };
  for (const Case& c : cases) {
    Options o;
    o.version = c.version;
    o.signature_offset = c.signatureOffset;
    std::vector<uint8_t> raw = HeaderBytes(o);
    PutLe16(raw, header_offset::kHeaderSize, static_cast<uint16_t>(c.headerSize));
    PutLe16(raw, header_offset::kBlockSize, static_cast<uint16_t>(c.blockSize));
    EXPECT_EQ(Check(raw), c.expected) << c.name;
  }
}

TEST(HeaderAcceptance, ShortInputTouchesNothing) {
  DicHeader header;
  header.bytes.fill(0x5A);
  int32_t major = 77;
  std::vector<uint8_t> raw = HeaderBytes(Options{});
  EXPECT_EQ(ReadHeader(raw.data(), 255, &header, &major), HeaderStatus::kTooShort);
  EXPECT_EQ(header.bytes[0], 0x5A);
  EXPECT_EQ(header.bytes[255], 0x5A);
  EXPECT_EQ(major, 77);
}

TEST(HeaderAcceptance, RefusedHeaderLeavesItsBytesAndMajor) {
  Options o;
  o.version = 0x0312;
  DicHeader header;
  int32_t major = 0;
  EXPECT_EQ(Check(HeaderBytes(o), &header, &major), HeaderStatus::kVersionTooLow);
  EXPECT_EQ(major, 3);
  EXPECT_EQ(header.version(), 0x0312);
}

TEST(HeaderAcceptance, VersionFourFieldsMoveToTheirLaterPlaces) {
  // The same bytes at the version-4 places, in a version-4 and a version-5
  // header: only the version-4 header moves them.
  for (uint16_t version : {0x0400, 0x0500}) {
    Options o;
    o.version = version;
    std::vector<uint8_t> raw = HeaderBytes(o);
    std::fill(raw.begin() + 167, raw.begin() + 200, 0);
    raw[171] = 3;                           // os
    PutLe32(raw, 182, 0x01020304);          // data_gap
    PutLe32(raw, 190, 16);                  // nindex2
    PutLe32(raw, 194, 0x7FFFFFFF);          // nblock2
    raw[198] = 1;                           // index_blkbit
    DicHeader h;
    int32_t major = 0;
    ASSERT_EQ(Check(raw, &h, &major), HeaderStatus::kAccepted);
    if (version == 0x0400) {
      EXPECT_EQ(h.os(), 3);
      EXPECT_EQ(h.data_gap(), 0x01020304);
      EXPECT_EQ(h.nindex2(), 16);
      EXPECT_EQ(h.nblock2(), 0x7FFFFFFF);
      EXPECT_EQ(h.index_blkbit(), 1);
      EXPECT_EQ(h.IndexBlockNumberWidth(), 4);
    } else {
      // Read where they stand: byte 182 is the low byte of the number put
      // at 182, and nindex2 takes bytes 192-195.
      EXPECT_EQ(h.os(), 0);
      EXPECT_EQ(h.index_blkbit(), 0x04);
      EXPECT_EQ(h.nindex2(), static_cast<int32_t>(0xFFFF0000u));
      EXPECT_EQ(h.IndexBlockNumberWidth(), 2);
    }
  }
}

TEST(HeaderAcceptance, EncodingFollowsDictypeBitThreeAlone) {
  struct Case {
    uint8_t dictype;
    uint8_t os;
    bool bocu;
  };
  for (const Case& c : {Case{0, 0, false}, Case{1, 0, false}, Case{8, 0, true},
                        Case{9, 0, true}, Case{0, 32, false}, Case{0x18, 0, true}}) {
    Options o;
    o.dictype = c.dictype;
    o.os = c.os;
    DicHeader h;
    int32_t major = 0;
    ASSERT_EQ(Check(HeaderBytes(o), &h, &major), HeaderStatus::kAccepted);
    EXPECT_EQ(h.IsBocu1(), c.bocu) << int(c.dictype) << "/" << int(c.os);
  }
}

TEST(ReaderOpen, FailedOpensKeepWhatTheyShould) {
  TempDir dir;
  Options good;
  good.nindex2 = 0;
  WriteFile(dir.File("good.dic"), HeaderBytes(good));
  Options v3;
  v3.version = 0x0301;
  WriteFile(dir.File("v3.dic"), HeaderBytes(v3));
  std::vector<uint8_t> shortFile(100, 0x41);
  WriteFile(dir.File("short.dic"), shortFile);

  DicReader reader;
  // Before any open the header copy is all zero.
  for (uint8_t b : reader.GetHeader().bytes) ASSERT_EQ(b, 0);

  ASSERT_EQ(reader.Open(Utf8ToUtf16(dir.File("good.dic").string()).c_str()), 0);
  EXPECT_EQ(reader.GetVersionMajor(), 5);
  // Open on an open reader fails and leaves it usable.
  EXPECT_EQ(reader.Open(Utf8ToUtf16(dir.File("v3.dic").string()).c_str()), -1);
  EXPECT_TRUE(reader.IsOpen());
  EXPECT_EQ(reader.GetVersionMajor(), 5);
  reader.Close();

  // A refused file leaves its header and major behind.
  EXPECT_EQ(reader.Open(Utf8ToUtf16(dir.File("v3.dic").string()).c_str()), -1);
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.GetVersionMajor(), 3);
  EXPECT_EQ(reader.GetHeader().version(), 0x0301);
  EXPECT_NE(reader.LastError().find("version 3.01"), std::string::npos) << reader.LastError();

  // A file of 100 bytes leaves the header copy as it was.
  EXPECT_EQ(reader.Open(Utf8ToUtf16(dir.File("short.dic").string()).c_str()), -1);
  EXPECT_EQ(reader.GetHeader().version(), 0x0301);
  EXPECT_EQ(reader.GetVersionMajor(), 3);
  EXPECT_NE(reader.LastError().find("100 bytes"), std::string::npos) << reader.LastError();

  // A missing file: the cause comes from the system.
  EXPECT_EQ(reader.Open(Utf8ToUtf16(dir.File("none.dic").string()).c_str()), -1);
  EXPECT_NE(reader.LastError().find("No such file"), std::string::npos) << reader.LastError();
  // A directory is no dictionary.
  EXPECT_EQ(reader.Open(Utf8ToUtf16(dir.path().string()).c_str()), -1);
  EXPECT_FALSE(reader.LastError().empty());
}

std::string Report(const DicHeader& h, int32_t capacity = 2048) {
  std::vector<char> buffer(std::max(capacity, 64) + 16, '#');
  DumpHeaderInfo(h, buffer.data(), capacity);
  return std::string(buffer.data());
}

DicHeader HeaderWith(const std::function<void(std::vector<uint8_t>&)>& patch) {
  std::vector<uint8_t> raw(256, 0);
  patch(raw);
  DicHeader h;
  std::memcpy(h.bytes.data(), raw.data(), 256);
  return h;
}

TEST(HeaderReport, WholeReportByteForByte) {
  const DicHeader h = HeaderWith([](std::vector<uint8_t>& raw) {
    PutLe16(raw, 140, 0x0600);
    PutLe16(raw, 142, 10);
    PutLe16(raw, 144, 20);
    PutLe16(raw, 146, 1024);
    PutLe16(raw, 148, 4);
    PutLe16(raw, 150, 256);
    PutLe32(raw, 160, 12345);
    raw[164] = 1;
    raw[165] = 8;
    raw[166] = 200;
    raw[167] = 32;
    raw[182] = 1;
    PutLe32(raw, 192, static_cast<uint32_t>(-5));
    PutLe32(raw, 196, 7);
  });
  EXPECT_EQ(Report(h),
            "[Kebu Dictionary]\r\n"
            "version = 6.00\r\n"
            "lword = 10\r\n"
            "ljapa = 20\r\n"
            "block_size = 1024\r\n"
            "index_block = 4\r\n"
            "header_size = 256\r\n"
            "nword   = 12345\r\n"
            "dicorder= [01] ignore case \r\n"
            "dictype = [08] BOCU-1 compressed\r\n"
            "attrlen = 200\r\n"
            "os      = [20] BOCU encoding\r\n"
            "index_blkbit = [01] 32bit\r\n"
            "nindex2 = -5\r\n"
            "nblock2 = 7\r\n");
}

TEST(HeaderReport, CodedValuesAreNamedByWholeByte) {
  struct Case {
    int offset;
    uint8_t value;
    const char* line;
  };
  const Case cases[] = {
      {164, 0, "dicorder= [00] code order \r\n"},
      {164, 2, "dicorder= [02] lexicographic order \r\n"},
      {164, 3, "dicorder= [03] descending order \r\n"},
      {164, 4, "dicorder= [04] \r\n"},
      {165, 0, "dictype = [00] \r\n"},
      {165, 1, "dictype = [01] AR compressed\r\n"},
      {165, 9, "dictype = [09] AR compressed / BOCU-1 compressed\r\n"},
      {165, 0x18, "dictype = [18] \r\n"},
      {167, 0, "os      = [00] DOS,Windows,OS/2\r\n"},
      {167, 1, "os      = [01] Mac\r\n"},
      {167, 2, "os      = [02] UNIX - SJIS\r\n"},
      {167, 3, "os      = [03] UNIX - EUC\r\n"},
      {167, 4, "os      = [04] UNIX - JIS\r\n"},
      {167, 5, "os      = [05] \r\n"},
      {167, 0xFF, "os      = [ff] \r\n"},
      {182, 0, "index_blkbit = [00] 16bit\r\n"},
      {182, 2, "index_blkbit = [02] \r\n"},
  };
  for (const Case& c : cases) {
    const DicHeader h = HeaderWith([&](std::vector<uint8_t>& raw) { raw[c.offset] = c.value; });
    EXPECT_NE(Report(h).find(c.line), std::string::npos) << c.line << "\n" << Report(h);
  }
}

TEST(HeaderReport, NumbersPrintSigned) {
  struct Case {
    uint16_t version;
    const char* versionLine;
  };
  for (const Case& c : {Case{0x050A, "version = 5.10\r\n"}, Case{0x06FF, "version = 6.255\r\n"},
                        Case{0x8000, "version = -128.00\r\n"}, Case{0, "version = 0.00\r\n"}}) {
    const DicHeader h = HeaderWith([&](std::vector<uint8_t>& raw) {
      PutLe16(raw, 140, c.version);
      PutLe16(raw, 146, 0x8000);
    });
    const std::string report = Report(h);
    EXPECT_NE(report.find(c.versionLine), std::string::npos) << report;
    EXPECT_NE(report.find("block_size = -32768\r\n"), std::string::npos) << report;
  }
}

TEST(HeaderReport, CapacityDecidesHowManyLines) {
  const DicHeader h;  // all zero
  const std::string full = Report(h);
  auto lines = [](const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
  };
  const int title = static_cast<int>(std::strlen("[Kebu Dictionary]\r\n"));
  struct Case {
    int32_t capacity;
    int lines;
  };
  for (const Case& c : {Case{2048, 15}, Case{255 + title, 1}, Case{255 + title + 1, 2},
                        Case{100, 1}, Case{255 + 100, 7}}) {
    const std::string r = Report(h, c.capacity);
    EXPECT_EQ(lines(r), c.lines) << c.capacity;
    EXPECT_EQ(full.compare(0, r.size(), r), 0) << "a cut report is a beginning of the whole";
  }
  // Nothing is written behind the terminator.
  std::vector<char> buffer(2048, '#');
  DumpHeaderInfo(h, buffer.data(), 2048);
  const size_t end = std::strlen(buffer.data());
  EXPECT_EQ(buffer[end + 1], '#');
}

}  // namespace
}  // namespace kebu::testing

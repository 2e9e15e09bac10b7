// Header acceptance, the version-4 layout, opening files and the header report.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "dictionary/header_report.h"
#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

TEST(Header, FieldsAreTestedInOrderAndTheFirstFailureNamesTheCause) {
  struct Case {
    uint16_t version;
    int16_t headerSize, blockSize;
    int signatureOffset;
    HeaderStatus expected;
  };
  const Case cases[] = {
      {0x0500, 256, 1024, 13, HeaderStatus::kAccepted}, {0x0400, 1, 1, 24, HeaderStatus::kAccepted},
      {0x04FF, 1024, 1, 13, HeaderStatus::kAccepted},  {0x0600, 256, 1024, 13, HeaderStatus::kAccepted},
      {0x03FF, 256, 1024, 13, HeaderStatus::kVersionTooLow},
      {0x8000, 256, 1024, 13, HeaderStatus::kVersionTooLow},
      {0x0500, 0, 1024, 13, HeaderStatus::kBadHeaderSize},
      {0x0500, 1025, 1024, 13, HeaderStatus::kBadHeaderSize},
      {0x0500, -32768, 1024, 13, HeaderStatus::kBadHeaderSize},
      {0x0500, 256, 0, 13, HeaderStatus::kBadBlockSize},
      {0x0500, 256, 1025, 13, HeaderStatus::kBadBlockSize},
      {0x0500, 256, -32768, 13, HeaderStatus::kBadBlockSize},
      {0x0500, 256, 1024, 14, HeaderStatus::kNoSignature},
      {0x0500, 256, 1024, -1, HeaderStatus::kNoSignature},
      {0x0300, 0, 0, -1, HeaderStatus::kVersionTooLow},
      {0x0500, 0, 0, -1, HeaderStatus::kBadHeaderSize},
      {0x0500, 256, 0, -1, HeaderStatus::kBadBlockSize},
  };
  for (const Case& c : cases) {
    Options o;
    o.version = c.version;
    o.signatureOffset = c.signatureOffset;
    std::vector<uint8_t> raw = MakeHeader(o);
    PutLe16(raw, header_offset::kHeaderSize, static_cast<uint16_t>(c.headerSize));
    PutLe16(raw, header_offset::kBlockSize, static_cast<uint16_t>(c.blockSize));
    DicHeader h;
    int32_t major = 0;
    EXPECT_EQ(ReadHeader(raw.data(), raw.size(), &h, &major), c.expected) << std::hex << c.version;
    // A refused header still leaves its bytes and its major behind.
    EXPECT_EQ(h.version(), static_cast<int16_t>(c.version));
    EXPECT_EQ(major, static_cast<int16_t>(c.version) >> 8);
  }
  DicHeader untouched;
  int32_t major = 77;
  const std::vector<uint8_t> raw = MakeHeader(Options{});
  EXPECT_EQ(ReadHeader(raw.data(), 255, &untouched, &major), HeaderStatus::kTooShort);
  EXPECT_EQ(major, 77);
  EXPECT_EQ(untouched.version(), 0);
}

TEST(Header, VersionFourFieldsMoveAndDictypeBitThreeAloneChoosesTheEncoding) {
  for (uint16_t version : {0x0400, 0x0500}) {
    Options o;
    o.version = version;
    std::vector<uint8_t> raw = MakeHeader(o);
    std::fill(raw.begin() + 167, raw.begin() + 200, 0);
    raw[171] = 3;
    PutLe32(raw, 182, 0x01020304);
    PutLe32(raw, 190, 16);
    PutLe32(raw, 194, 0x7FFFFFFF);
    raw[198] = 1;
    DicHeader h;
    int32_t major = 0;
    ASSERT_EQ(ReadHeader(raw.data(), raw.size(), &h, &major), HeaderStatus::kAccepted);
    const bool v4 = version == 0x0400;
    EXPECT_EQ(h.os(), v4 ? 3 : 0);
    EXPECT_EQ(h.data_gap(), v4 ? 0x01020304 : 0x0102);  // read where they stand
    EXPECT_EQ(h.nindex2(), v4 ? 16 : static_cast<int32_t>(0xFFFF0000u));
    EXPECT_EQ(h.nblock2(), v4 ? 0x7FFFFFFF : 0x17FFF);
    EXPECT_EQ(h.IndexBlockNumberWidth(), v4 ? 4 : 2);
  }
  for (const auto& [dictype, bocu] : std::vector<std::pair<uint8_t, bool>>{
           {0, false}, {1, false}, {8, true}, {9, true}, {0x18, true}, {0xF7, false}}) {
    Options o;
    o.dictype = dictype;
    o.os = 32;  // the os code says nothing about the encoding
    DicHeader h;
    int32_t major = 0;
    const std::vector<uint8_t> raw = MakeHeader(o);
    ASSERT_EQ(ReadHeader(raw.data(), raw.size(), &h, &major), HeaderStatus::kAccepted);
    EXPECT_EQ(h.IsBocu1(), bocu) << int(dictype);
  }
}

TEST(Open, FailuresSayWhyAndKeepWhatTheyShould) {
  TempDir dir;
  Options v3;
  v3.version = 0x0301;
  WriteFile(dir.File("good.dic"), MakeDictionary({{.headword = "a", .translation = "b"}}).bytes);
  WriteFile(dir.File("v3.dic"), MakeHeader(v3));
  WriteFile(dir.File("short.dic"), std::string(100, 'A'));
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  DicReader reader;
  EXPECT_EQ(reader.GetHeader().version(), 0);  // all zero before any open
  ASSERT_TRUE(reader.Open(dir.File("good.dic")).IsOk());
  // Open already: stays usable.
  EXPECT_EQ(reader.Open(dir.File("v3.dic")).Code(), StatusCode::kInvalidArgument);
  EXPECT_EQ(reader.GetVersionMajor(), 5);
  EXPECT_EQ(reader.Lookup(u"a", false, 0).count, 1u);
  reader.Close();
  struct Case {
    const char* name;
    const char* cause;
    StatusCode code;
    int major;  // what GetVersionMajor gives after the failure
  };
  for (const Case& c : {Case{"v3.dic", "version 3.01 below 4.00 (field at offset 140)", StatusCode::kUnsupported, 3},
                        Case{"short.dic", "100 bytes", StatusCode::kCorrupt, 3},  // header copy untouched
                        Case{"none.dic", "No such file", StatusCode::kNotFound, 3},
                        Case{"fifo", "is a FIFO", StatusCode::kInvalidArgument, 3},
                        Case{"", "is a folder", StatusCode::kInvalidArgument, 3}}) {
    const Status opened = reader.Open(dir.File(c.name));
    EXPECT_EQ(opened.Code(), c.code) << c.name;
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_NE(opened.Message().find(c.cause), std::string::npos) << opened.Message();
    EXPECT_EQ(reader.GetVersionMajor(), c.major);
    EXPECT_EQ(reader.GetHeader().version(), 0x0301);
  }
  // A path is the file system's bytes: a name that is not UTF-8 opens.
  const std::string odd = dir.File("caf\xE9.dic").string();
  std::filesystem::copy_file(dir.File("good.dic"), odd);
  EXPECT_TRUE(reader.Open(odd).IsOk());
}

std::string Report(const DicHeader& h, int32_t capacity = 2048) {
  std::vector<char> buffer(std::max(capacity, 64) + 16, '#');
  DumpHeaderInfo(h, buffer.data(), capacity);
  EXPECT_EQ(buffer[std::strlen(buffer.data()) + 1], '#') << "nothing is written behind the end";
  return buffer.data();
}

DicHeader HeaderWith(std::initializer_list<std::pair<int, uint32_t>> fields) {
  DicHeader h;
  std::vector<uint8_t> raw(256, 0);
  for (const auto& [offset, value] : fields) {
    // 16-bit fields stand before offset 160, bytes at 164-167 and 182, and
    // 32-bit fields at the other offsets.
    const int size = offset >= 160 && offset != 182 && (offset < 164 || offset > 167) ? 4 : offset < 160 ? 2 : 1;
    if (size == 4) PutLe32(raw, offset, value);
    if (size == 2) PutLe16(raw, offset, static_cast<uint16_t>(value));
    if (size == 1) raw[offset] = static_cast<uint8_t>(value);
  }
  std::memcpy(h.bytes.data(), raw.data(), 256);
  return h;
}

TEST(HeaderReport, ByteForByteWithEveryCodedValueAndTheCapacityRule) {
  EXPECT_EQ(Report(HeaderWith({{140, 0x0600}, {142, 10}, {144, 20}, {146, 1024}, {148, 4},
                               {150, 256}, {160, 12345}, {164, 1}, {165, 8}, {166, 200},
                               {167, 32}, {182, 1}, {192, 0xFFFFFFFB}, {196, 7}})),
            "[Kebu Dictionary]\r\nversion = 6.00\r\nlword = 10\r\nljapa = 20\r\n"
            "block_size = 1024\r\nindex_block = 4\r\nheader_size = 256\r\nnword   = 12345\r\n"
            "dicorder= [01] ignore case \r\ndictype = [08] BOCU-1 compressed\r\n"
            "attrlen = 200\r\nos      = [20] BOCU encoding\r\nindex_blkbit = [01] 32bit\r\n"
            "nindex2 = -5\r\nnblock2 = 7\r\n");
  const std::pair<DicHeader, const char*> lines[] = {
      {HeaderWith({{164, 0}}), "dicorder= [00] code order \r\n"},
      {HeaderWith({{164, 2}}), "dicorder= [02] lexicographic order \r\n"},
      {HeaderWith({{164, 3}}), "dicorder= [03] descending order \r\n"},
      {HeaderWith({{164, 4}}), "dicorder= [04] \r\n"},
      {HeaderWith({{165, 0}}), "dictype = [00] \r\n"},
      {HeaderWith({{165, 1}}), "dictype = [01] AR compressed\r\n"},
      {HeaderWith({{165, 9}}), "dictype = [09] AR compressed / BOCU-1 compressed\r\n"},
      {HeaderWith({{165, 0x18}}), "dictype = [18] \r\n"},
      {HeaderWith({{167, 0}}), "os      = [00] DOS,Windows,OS/2\r\n"},
      {HeaderWith({{167, 1}}), "os      = [01] Mac\r\n"},
      {HeaderWith({{167, 2}}), "os      = [02] UNIX - SJIS\r\n"},
      {HeaderWith({{167, 3}}), "os      = [03] UNIX - EUC\r\n"},
      {HeaderWith({{167, 4}}), "os      = [04] UNIX - JIS\r\n"},
      {HeaderWith({{167, 0xFF}}), "os      = [ff] \r\n"},
      {HeaderWith({{182, 0}}), "index_blkbit = [00] 16bit\r\n"},
      {HeaderWith({{182, 2}}), "index_blkbit = [02] \r\n"},
      {HeaderWith({{140, 0x050A}}), "version = 5.10\r\n"},
      {HeaderWith({{140, 0x06FF}}), "version = 6.255\r\n"},
      {HeaderWith({{140, 0x8000}}), "version = -128.00\r\n"},
      {HeaderWith({{146, 0x8000}}), "block_size = -32768\r\n"},
  };
  for (const auto& [header, line] : lines) {
    EXPECT_NE(Report(header).find(line), std::string::npos) << line << "\n" << Report(header);
  }
  const DicHeader zero;
  const std::string full = Report(zero);
  const int title = static_cast<int>(std::strlen("[Kebu Dictionary]\r\n"));
  for (const auto& [capacity, count] : std::vector<std::pair<int32_t, long>>{
           {2048, 15}, {255 + title, 1}, {256 + title, 2}, {100, 1}, {355, 7}}) {
    const std::string r = Report(zero, capacity);
    EXPECT_EQ(std::count(r.begin(), r.end(), '\n'), count) << capacity;
    EXPECT_TRUE(full.starts_with(r));
  }
  // Less room than the title: what fits, and nothing at all without room.
  EXPECT_EQ(Report(zero, 5), "[Keb");
  char none[3] = "##";
  DumpHeaderInfo(zero, none, 0);
  EXPECT_STREQ(none, "##");
}

}  // namespace
}  // namespace kebu::testing

// make_seeds: writes the seed corpora of the fuzz targets, made with the test
// dictionary writer, so that no binary file needs to be kept in the tree.
//
//   make_seeds DIC_DIR CODEC_DIR
//
// DIC_DIR receives small dictionaries (both encodings, every header layout
// and variant, multi-block areas, 2- and 4-byte lengths, extended records
// with every kind of field); CODEC_DIR receives texts as BOCU-1, code page
// 932, UTF-16LE and UTF-8 bytes.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/dic_builder.h"

namespace {

using namespace kebu::testing;

std::vector<Record> Words() {
  return {
      {.headword = "cat", .translation = "neko", .attribute = 1},
      {.headword = "car", .translation = "kuruma"},
      {.headword = "card", .translation = "fuda", .example = "a card game"},
      {.headword = "dog", .translation = "inu", .example = "wan", .pronunciation = "dg"},
      {.headword = "Apple-Pie", .translation = "pai", .attribute = 3},
      {.headword = "apple", .translation = "ringo"},
      {.headword = "zebra", .translation = "shimauma", .attribute = 15},
  };
}

std::vector<Record> Japanese() {
  return {
      {.headword = "猫", .translation = "cat", .pronunciation = "ねこ"},
      {.headword = "ガッコウ", .translation = "school", .example = "学校へ行く"},
      {.headword = "ｱｲｳ", .translation = "half-width kana"},
      {.headword = "漢字", .translation = "kanji ①②", .attribute = 2},
      {.headword = "smile", .translation = "😀 and ∑"},
      {.headword = "ー～", .translation = "dash and wave"},
  };
}

// Records with every kind of field in the field list.
std::vector<Record> Extended() {
  return {
      {.headword = "a", .translation = "t", .example = "first", .extra = {{1, "second"}}},
      {.headword = "ab", .translation = "t", .extra = {{0x10, std::string("\x01\x02\x00\x03", 4)}}},
      {.headword = "abc", .translation = "t", .extra = {{3, "skipped"}, {0x81, "also"}}},
      {.headword = "abd", .translation = "t", .pronunciation = "p", .end_tag = false},
      {.headword = "abe", .translation = "t", .extended = true,
       .extra = {{0x80, ""}, {1, "after the end"}}},
      {.headword = "b", .translation = std::string(200, 'x')},
      {.headword = std::string(300, 'h'), .translation = "long headword"},
      {.headword = std::string(300, 'h') + "i", .translation = "shares 255 bytes"},
  };
}

std::vector<Record> V6(std::vector<Record> records) {
  for (Record& r : records) r.headword = V6Headword(r.headword);
  return records;
}

struct Seed {
  std::string name;
  std::vector<Record> records;
  Options options;
};

Options Base(Encoding encoding, uint16_t version, int blockSize, int perArea) {
  Options o;
  o.encoding = encoding;
  o.version = version;
  o.block_size = blockSize;
  o.records_per_area = perArea;
  return o;
}

std::vector<Seed> Seeds() {
  std::vector<Seed> seeds;
  const Encoding cp = Encoding::kCp932, bocu = Encoding::kBocu1;
  seeds.push_back({"cp932-v5", Words(), Base(cp, 0x0500, 64, 3)});
  seeds.push_back({"bocu1-v5", Words(), Base(bocu, 0x0500, 64, 3)});
  seeds.push_back({"cp932-v6", V6(Words()), Base(cp, 0x0600, 64, 2)});
  seeds.push_back({"bocu1-v6", V6(Words()), Base(bocu, 0x0600, 64, 2)});
  seeds.push_back({"cp932-v4", Words(), Base(cp, 0x0400, 64, 3)});
  seeds.push_back({"bocu1-v4", Japanese(), Base(bocu, 0x0412, 64, 2)});
  seeds.push_back({"cp932-japanese", Japanese(), Base(cp, 0x0500, 48, 2)});
  seeds.push_back({"bocu1-japanese-v6", V6(Japanese()), Base(bocu, 0x0600, 64, 2)});
  {
    Seed s{"sig24-gaps", Words(), Base(cp, 0x0500, 64, 3)};
    s.options.signature_offset = 24;
    s.options.header_size = 300;
    s.options.data_gap = 17;
    s.options.dicorder = 2;
    s.options.attrlen = 7;
    s.options.lword = 40;
    s.options.ljapa = -3;
    seeds.push_back(s);
  }
  {
    Seed s{"index32-wide", Japanese(), Base(bocu, 0x0500, 64, 2)};
    s.options.index32 = true;
    s.options.lengths = LengthWidth::k4;
    seeds.push_back(s);
  }
  {
    Seed s{"multiblock", Extended(), Base(cp, 0x0500, 32, 0)};
    s.options.area_blocks = 3;
    seeds.push_back(s);
  }
  {
    Seed s{"extended-bocu1", Extended(), Base(bocu, 0x0500, 128, 4)};
    s.options.lengths = LengthWidth::k4;
    seeds.push_back(s);
  }
  {
    Seed s{"no-prefix", Extended(), Base(cp, 0x0500, 512, 0)};
    s.options.prefix_compression = false;
    s.options.dicorder = 1;
    seeds.push_back(s);
  }
  {
    Seed s{"block-size-1", {{.headword = "a", .translation = "b"}, {.headword = "c", .translation = "d"}},
           Base(cp, 0x0500, 1, 1)};
    seeds.push_back(s);
  }
  {
    Seed s{"end-mark", Words(), Base(cp, 0x0500, 64, 2)};
    s.options.min_index_blocks = 2;
    s.options.nindex2 = 40;  // more than the index holds: zeros end it
    seeds.push_back(s);
  }
  {
    Seed s{"dictype-9", Words(), Base(bocu, 0x0600, 64, 4)};
    s.options.dictype = 9;
    s.options.os = 32;
    s.options.nword = 0;
    seeds.push_back(s);
  }
  {
    Seed s{"header-1024", Words(), Base(cp, 0x0500, 256, 0)};
    s.options.header_size = 1024;
    seeds.push_back(s);
  }
  return seeds;
}

// The worked example of the format description, assembled by hand.
std::vector<uint8_t> WorkedExample() {
  const std::vector<uint8_t> records = {
      0x09, 0x00, 0x00, 'c',  'a',  't', 0x00, 0x01, 'n',  'e',  'k',  'o',  0x05, 0x00,
      0x02, 'r',  0x00, 0x01, 'i',  'n', 0x13, 0x00, 0x00, 'd',  'o',  'g',  0x00, 0x11,
      'i',  'n',  'u',  0x00, 0x01, 'w', 'a',  'n',  0x00, 0x02, 'd',  'g',  0x00, 0x80,
      0x00, 0x00};
  Options o;
  o.block_size = 64;
  return AssembleFile(o, {{0, "car"}}, MakeRawArea(records, 64));
}

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  WriteFile(path, bytes);
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
  WriteFile(path, std::string_view(bytes));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds DIC_DIR CODEC_DIR\n");
    return 2;
  }
  try {
    const std::filesystem::path dicDir = argv[1], codecDir = argv[2];
    std::filesystem::create_directories(dicDir);
    std::filesystem::create_directories(codecDir);
    int count = 0;
    for (const Seed& s : Seeds()) {
      Write(dicDir / (s.name + ".dic"), BuildDictionary(s.records, s.options).bytes);
      ++count;
    }
    Write(dicDir / "worked-example.dic", WorkedExample());
    ++count;

    const std::vector<std::string> texts = {
        "cat", "a card game", "猫がいる", "ガッコウへ行く", "ｱｲｳｴｵ", "漢字 ①② ～",
        "😀 and ∑ and 𠀋", "한국어 텍스트", "Ünïcödé ßtraße", std::string("tab\there\x01\x1f", 13)};
    int n = 0;
    for (const std::string& t : texts) {
      const std::string id = std::to_string(n++);
      Write(codecDir / ("bocu1-" + id), EncodeBocu1(t));
      Write(codecDir / ("cp932-" + id), EncodeCp932(t));
      Write(codecDir / ("utf8-" + id), t);
      const std::u16string units = Utf8ToUtf16(t);
      std::string le;
      for (char16_t u : units) {
        le.push_back(static_cast<char>(u & 0xFF));
        le.push_back(static_cast<char>(u >> 8));
      }
      Write(codecDir / ("utf16le-" + id), le);
    }
    std::printf("make_seeds: %d dictionaries, %d texts in 4 encodings\n", count, n);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}

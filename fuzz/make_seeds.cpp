// make_seeds DIC_DIR CODEC_DIR: the fuzz targets' seeds, made by the
// dictionary writer so that no binary file is kept in the tree. DIC_DIR gets
// dictionaries of every variant (both encodings, the version-4, 5 and 6
// layouts, both signature places, gaps, 32-bit index block numbers, 4-byte
// lengths, areas of several blocks, block size 1, every kind of field);
// CODEC_DIR gets texts as BOCU-1, code page 932, UTF-16LE and UTF-8.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "writer/dic_writer.h"

using namespace kebu::writer;

namespace {

void Write(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<Record> Records(bool v6) {
  std::vector<Record> records = {
      {.headword = "cat", .translation = "neko", .attribute = 1},
      {.headword = "card", .translation = "fuda", .example = "a card game"},
      {.headword = "Apple-Pie", .translation = "pai", .pronunciation = "ap", .attribute = 15},
      {.headword = "猫", .translation = "cat", .pronunciation = "ねこ"},
      {.headword = "ガッコウ", .translation = "school ①", .example = "学校へ行く"},
      {.headword = "ｱｲｳ～", .translation = "😀 and ∑ 한"},
      {.headword = "a", .translation = "t", .extra = {{1, "again"}, {0x10, {"\1\0\3", 3}}, {3, "x"}}},
      {.headword = "ab", .translation = "t", .extended = true, .extra = {{0x80, ""}, {2, "after the end"}}},
      {.headword = "abc", .translation = "t", .pronunciation = "p", .endTag = false},
      {.headword = std::string(300, 'h'), .translation = std::string(200, 'x')},
      {.headword = std::string(300, 'h') + "i", .translation = "shares 255 bytes"},
  };
  for (Record& r : records) r.headword = v6 ? V6Headword(r.headword) : r.headword;
  return records;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: make_seeds DIC_DIR CODEC_DIR\n"), 2;
  const std::filesystem::path dic = argv[1], codec = argv[2];
  for (const auto& folder : {dic, codec}) std::filesystem::create_directories(folder);
  const Encoding cp = Encoding::kCp932, bocu = Encoding::kBocu1;
  const Options variants[] = {
      {.version = 0x0500, .encoding = cp, .block_size = 64, .recordsPerArea = 3},
      {.version = 0x0500, .encoding = bocu, .block_size = 64, .recordsPerArea = 3},
      {.version = 0x0600, .encoding = cp, .block_size = 128, .recordsPerArea = 2},
      {.version = 0x0600, .encoding = bocu, .block_size = 128, .recordsPerArea = 2},
      {.version = 0x0400, .signatureOffset = 24, .encoding = cp, .block_size = 64, .lengths = LengthWidth::k4},
      {.version = 0x0412, .encoding = bocu, .os = 0, .block_size = 256, .index32 = true},
      {.signatureOffset = 24, .dicorder = 2, .attrlen = 7, .lword = 40, .ljapa = -3, .header_size = 300,
       .data_gap = 17},
      {.encoding = bocu, .block_size = 32, .index32 = true, .areaBlocks = 3, .lengths = LengthWidth::k4},
      {.block_size = 1, .prefixCompression = false},
      {.block_size = 1024, .header_size = 1024, .minIndexBlocks = 2, .nindex2 = 40},
      {.version = 0x0600, .encoding = bocu, .dictype = 9, .block_size = 96, .nword = 0},
      {.version = 0x0612, .encoding = cp, .block_size = 16, .recordsPerArea = 1},
  };
  for (size_t i = 0; i < std::size(variants); ++i) {
    const kebu::Result<BuiltDictionary> built = BuildDictionary(Records(variants[i].version >= 0x0600), variants[i]);
    if (!built.IsOk()) {
      std::fprintf(stderr, "make_seeds: %s\n", built.GetStatus().Message().c_str());
      return 1;
    }
    Write(dic / ("seed-" + std::to_string(i) + ".dic"), std::string(built->bytes.begin(), built->bytes.end()));
  }
  const std::string texts[] = {"a card game", "猫がいる ｱｲｳ", "漢字 ①② ～ 𠀋😀", "한국어 Ünïcödé",
                               "tab\there\x01\x1f\x7f\xc2\x85"};
  for (size_t i = 0; i < std::size(texts); ++i) {
    const std::string& text = texts[i];
    const std::string id = std::to_string(i);
    const std::u16string units = Utf8ToUtf16(text);
    Write(codec / ("bocu1-" + id), EncodeBocu1(text));
    Write(codec / ("cp932-" + id), EncodeCp932(text));
    Write(codec / ("utf8-" + id), text);
    Write(codec / ("utf16le-" + id), {reinterpret_cast<const char*>(units.data()), units.size() * 2});
  }
  std::printf("make_seeds: %zu dictionaries, %zu texts\n", std::size(variants), std::size(texts));
  return 0;
}

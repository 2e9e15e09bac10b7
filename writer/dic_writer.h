// The dictionary writer: records in, file bytes and their layout out.
//
// Text is encoded by the codec's encoders (codec/), from the same code page
// 932 table that the reader decodes with, so that every text comes back as
// it was written; the tests hold them to ICU. Records, areas, index and
// header are laid out here from scratch. Besides whole
// dictionaries it writes areas and files by hand (MakeRawArea,
// AssembleFile), so that damaged files can be made on purpose.
//
// Typical use:
//
//   Options options;
//   options.block_size = 64;
//   Result<BuiltDictionary> dic = BuildDictionary(
//       {{.headword = "cat", .translation = "neko", .attribute = 1},
//        {.headword = "dog", .translation = "inu", .example = "wan"}},
//       options);
//   if (dic.IsOk()) Write(dic->bytes);
//
// Texts in Record and Field are UTF-8 and are encoded into the dictionary's
// text encoding, unless Record::rawText says they already are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace kebu::writer {

enum class Encoding { kCp932, kBocu1 };

// One field of an extended record's field list, by tag:
//  - 0x80: the tag byte alone (the end of the list; later fields still get
//    written, behind it);
//  - bit 4 (0x10) set: a length of the area's width, then `content` as raw
//    bytes;
//  - any other tag: `content` as text in the dictionary's encoding and a
//    zero byte (tag 1 is the example, tag 2 the pronunciation).
struct Field {
  uint8_t tag = 0;
  std::string content;
};

// One word record. A record is extended (attribute bit 4 set, translation
// zero-terminated, field list behind it) when `extended` is set, when
// `attribute` has bit 4 set, or when it has an example, a pronunciation or
// extra fields. Otherwise it is simple: the translation, without terminator,
// is the rest of the record.
struct Record {
  std::string headword;
  std::string translation;
  std::string example;        // non-empty: a field with tag 1
  std::string pronunciation;  // non-empty: a field with tag 2
  // The attribute byte without bit 4: bits 0-3 are the attribute (0-15),
  // bits 5-7 are written as given. Bit 4 set forces an extended record.
  uint8_t attribute = 0;
  bool extended = false;
  // Written behind the example and the pronunciation, in this order.
  std::vector<Field> extra;
  // Extended records end their field list with the tag 0x80 unless this is
  // false; the record then ends right behind its last field.
  bool endTag = true;
  // The strings above are already in the dictionary's text encoding and are
  // written as they are (no conversion, no substitution).
  bool rawText = false;
};

enum class LengthWidth {
  kAuto,  // 2 bytes; 4 for an area holding a length above 65535
  k2,     // always 2 (a length above 65535 is an error)
  k4,     // always 4 (area word bit 15 set)
};

struct Options {
  // Header fields. A version 0x04xx is written in the version-4 layout, any
  // other in the later layout.
  uint16_t version = 0x0500;
  int signatureOffset = 13;  // 13 or 24 (any of 0..89); -1: no signature
  Encoding encoding = Encoding::kCp932;
  std::optional<uint8_t> dictype;  // default 0 for code page 932, 8 for BOCU-1
  std::optional<uint8_t> os;       // default 0 for code page 932, 32 for BOCU-1
  uint8_t dicorder = 0;
  uint8_t attrlen = 0;
  int16_t lword = 0;
  int16_t ljapa = 0;

  // Geometry.
  int block_size = 1024;   // 1..32767 (the reader accepts 1..1024)
  int header_size = 256;   // offset of the index area, >= 256 for
                           // BuildDictionary; bytes 256..header_size-1 are
                           // filler (kFillerByte)
  bool index32 = false;    // index_blkbit 1: 32-bit index block numbers
  bool autoIndex32 = false;  // BuildDictionary: 32-bit index block numbers
                              // once a block number is above 65535
  int32_t data_gap = 0;    // >= 0; filler bytes between index and block 0
  int minIndexBlocks = 0;  // the index area spans at least this many blocks

  // Packing of records into record areas.
  int areaBlocks = 1;       // blocks per area; an area grows for a record
                             // that does not fit on its own
  int recordsPerArea = 0;  // > 0: exactly this many records per area (the
                             // last may hold fewer); the area grows to hold
                             // them; 0: as many as fit in areaBlocks
  LengthWidth lengths = LengthWidth::kAuto;
  bool prefixCompression = true;  // the first record of an area: always 0
  bool sort = true;  // false: keep the records in the given order
  // false: Layout gets its index entries and areas but no RecordLayout
  // (saves memory for very large files).
  bool recordLayout = true;
  // > 0: BuiltDictionary::firstLongHeadword names the first record whose
  // encoded headword is longer (the file is written all the same).
  size_t maxHeadwordBytes = 0;

  // Header values written instead of the computed ones (the file is still
  // laid out with the real values).
  std::optional<int32_t> nword;
  std::optional<int32_t> nindex2;
  std::optional<int32_t> nblock2;
  std::optional<int16_t> index_block;
};

// The byte written into the gaps: between 256 and header_size, and between
// the index area and data block 0.
inline constexpr uint8_t kFillerByte = 0xEE;

// The 51-byte signature text.
inline constexpr std::string_view kSignatureText =
    "=============== Dictionary for KEBU ===============";

// A span of bytes inside a record area: offset from the area's start.
struct Span {
  uint32_t offset = 0;
  uint32_t length = 0;  // without a terminating zero byte
};

struct FieldLayout {
  uint8_t tag = 0;
  uint32_t tagOffset = 0;  // offset of the tag byte in the area
  Span content;             // length field excluded; for 0x80: length 0
};

struct RecordLayout {
  size_t source = 0;     // index of the record in the input vector
  std::string headword;  // the whole headword, encoded
  uint32_t offset = 0;   // of the length field (what the reader calls
                         // recordOffset); the record's first byte
  uint32_t lengthOffset = 0;  // == offset
  uint32_t lengthValue = 0;   // L as written
  uint32_t prefixOffset = 0;
  uint8_t prefix = 0;
  uint32_t attributeOffset = 0;
  uint8_t attributeByte = 0;
  Span tail;         // headword tail; its zero byte follows
  Span translation;  // extended: up to its zero byte
  // As the reader reports them: the last field with tag 1 / tag 2, or
  // offset 0, length 0 when there is none.
  Span example;
  Span pronunciation;
  std::vector<FieldLayout> fields;  // the field list in written order
  uint32_t end = 0;  // offset behind the record: tail offset + L
  bool extended = false;
};

struct AreaLayout {
  uint32_t firstBlock = 0;
  uint32_t blockCount = 0;
  uint64_t fileOffset = 0;  // of the area word
  int lengthWidth = 2;
  std::vector<RecordLayout> records;  // in file order
  uint32_t endMarkerOffset = 0;     // the zero length behind the records
};

struct IndexEntryLayout {
  uint64_t fileOffset = 0;      // of the block number
  uint64_t keyFileOffset = 0;  // of the key
  uint32_t block = 0;
  std::string key;  // encoded, without its zero byte
};

struct Layout {
  uint32_t block_size = 0;
  uint64_t indexOffset = 0;  // header_size
  uint32_t indexBytes = 0;   // bytes used by the entries
  uint32_t index_block = 0;   // blocks spanned by the index area (real)
  uint64_t dataOffset = 0;   // file offset of data block 0
  uint32_t blockCount = 0;   // data blocks written
  bool index32 = false;       // 32-bit block numbers in the index
  std::vector<IndexEntryLayout> entries;
  std::vector<AreaLayout> areas;  // in file order; area i has entry i

  // File offset of data block n.
  uint64_t BlockOffset(uint32_t n) const;
  // All records in file order (area after area).
  std::vector<const RecordLayout*> Records() const;
};

struct BuiltDictionary {
  std::vector<uint8_t> bytes;
  Layout layout;
  size_t substitutions = 0;  // characters that code page 932 lacks ('?')
  // Indexes into the records given: the first with a substitution, the
  // first with a headword over Options::maxHeadwordBytes.
  std::optional<size_t> firstSubstituted;
  std::optional<size_t> firstLongHeadword;
};

// Sorts (stably, as lookup compares: unsigned bytes for code page 932,
// UTF-16 units for BOCU-1), packs and writes a whole dictionary file.
// Fails with kInvalidArgument for options it cannot honour (a record that
// needs 4-byte lengths where 2 are asked for, a geometry out of range), with
// kOutOfMemory, and with kInternal when the encoder fails.
Result<BuiltDictionary> BuildDictionary(std::vector<Record> records,
                                        const Options& options = {});

// The functions below make files by hand, damaged ones too, for the tests
// and the fuzz seeds. Their arguments must make sense (a geometry in range,
// a length width of 2 or 4): a test's mistake throws std::invalid_argument.

// The 256 header bytes from the options alone: counts not overridden in the
// options (nword, nindex2, nblock2, index_block) are 0.
std::vector<uint8_t> MakeHeader(const Options& options);

// One record's bytes, from its length field on. `previous` is the encoded
// headword of the record before it in the same area (empty for the first);
// with prefix compression the shared leading bytes (at most 255) are left
// out. `layout` (optional) receives area offsets counted from `base`, the
// record's offset in its area. Returns the substitutions made through
// `substitutions` when given.
std::vector<uint8_t> EncodeRecord(const Record& record, Encoding encoding,
                                  int lengthWidth,
                                  std::string_view previous = {},
                                  bool prefixCompression = true,
                                  RecordLayout* layout = nullptr,
                                  uint32_t base = 0,
                                  size_t* substitutions = nullptr);

// A record area by hand: area word (block count, bit 15 for 4-byte
// lengths), then `content` as given (records and, if wanted, the zero end
// marker: nothing is added), then zeros up to whole blocks. The block count
// is what the bytes need, at least `minBlocks`.
std::vector<uint8_t> MakeRawArea(std::span<const uint8_t> content,
                                 int block_size, bool wideLengths = false,
                                 int minBlocks = 1);

struct RawIndexEntry {
  uint32_t block = 0;
  std::string key;  // bytes as written, a zero byte is added
};

// A file by hand: the header from `options` (counts computed unless
// overridden: nindex2 = entries, nblock2 = data blocks, nword = 0), the
// index entries, gaps as in BuildDictionary, then `data` padded with zeros
// to whole blocks (e.g. areas from MakeRawArea, one after the other).
std::vector<uint8_t> AssembleFile(const Options& options,
                                  const std::vector<RawIndexEntry>& entries,
                                  std::span<const uint8_t> data);

// Text encoding, from UTF-8 (an ill-formed sequence is taken as U+FFFD).
// Code page 932 replaces characters that the reader would not read back as
// themselves with '?' and counts them in `substitutions` when given.
std::string EncodeText(Encoding encoding, std::string_view utf8,
                       size_t* substitutions = nullptr);
std::string EncodeCp932(std::string_view utf8, size_t* substitutions = nullptr);
std::string EncodeBocu1(std::string_view utf8);
std::string EncodeBocu1(std::u16string_view units);
std::u16string Utf8ToUtf16(std::string_view utf8);
void AppendUtf16(std::string_view utf8, std::u16string* out);
std::string Utf16ToUtf8(std::u16string_view units);
std::u16string DecodeBocu1(std::string_view bytes);
// BOCU-1 bytes for one UTF-16 unit from 0x2A51 to 0xFFFF, surrogates
// included, standing on its own: a reset, the three-byte
// difference from the reset state (0x40), and a reset again, so that text
// encoded on its own can follow.
std::string Bocu1LoneUnit(char16_t unit);

// Version-6 keys: A-Z to lower case, '-' to a space, and the 37 voiced,
// semi-voiced and small katakana to their plain forms, unit by unit.
std::u16string FoldKeyV6(std::u16string_view key);
std::string FoldKeyV6(std::string_view utf8);
// A version-6 headword: the folded display form, a TAB, the display form.
std::string V6Headword(std::string_view displayUtf8);

// Little-endian numbers into a byte vector: Put* overwrite at `offset`
// (growing the vector if needed), Append* add at the end.
void PutLe16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value);
void PutLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
void AppendLe16(std::vector<uint8_t>& bytes, uint16_t value);
void AppendLe32(std::vector<uint8_t>& bytes, uint32_t value);
uint16_t GetLe16(std::span<const uint8_t> bytes, size_t offset);
uint32_t GetLe32(std::span<const uint8_t> bytes, size_t offset);

}  // namespace kebu::writer

// Laying out dictionaries: records, record areas, index and header.
#include "writer/dic_writer.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <numeric>
#include <stdexcept>
#include <utility>


namespace kebu::writer {
namespace {

constexpr uint8_t kExtendedBit = 0x10;
constexpr uint8_t kEndTag = 0x80;
constexpr uint16_t kWideAreaBit = 0x8000;
constexpr uint32_t kMaxAreaBlocks = 0x7FFF;

void Require(bool condition, const char* message) {
  if (!condition) throw std::invalid_argument(message);
}

bool IsLengthField(uint8_t tag) { return tag != kEndTag && (tag & 0x10); }

// A record with its texts in the dictionary's encoding, ready to be written
// at any width and after any headword.
struct EncodedRecord {
  size_t source = 0;
  std::string headword;
  std::string translation;
  std::vector<Field> fields;  // example, pronunciation, extra; encoded
  uint8_t attributeByte = 0;
  bool extended = false;
  bool endTag = true;
  bool bocu1 = false;         // attribute byte before the tail, outside L
  // BOCU-1 dictionaries sort by the headword's UTF-16 units: where they
  // stand in the units of all headwords.
  uint32_t unitsOffset = 0;
  uint32_t unitsLength = 0;
};

// `sortUnits` (BOCU-1 only) receives the headword's UTF-16 units.
EncodedRecord Encode(const Record& record, size_t source, Encoding encoding,
                     size_t* substitutions, std::u16string* sortUnits = nullptr) {
  auto text = [&](const std::string& s) {
    return record.rawText ? s : EncodeText(encoding, s, substitutions);
  };
  EncodedRecord e;
  e.source = source;
  e.headword = text(record.headword);
  e.translation = text(record.translation);
  if (!record.example.empty()) e.fields.push_back({1, text(record.example)});
  if (!record.pronunciation.empty()) {
    e.fields.push_back({2, text(record.pronunciation)});
  }
  for (const Field& f : record.extra) {
    bool isText = f.tag != kEndTag && !IsLengthField(f.tag);
    e.fields.push_back({f.tag, isText ? text(f.content) : f.content});
  }
  e.extended = record.extended || (record.attribute & kExtendedBit) ||
               !e.fields.empty();
  e.attributeByte = static_cast<uint8_t>(
      (record.attribute & ~kExtendedBit) | (e.extended ? kExtendedBit : 0));
  e.endTag = record.endTag;
  e.bocu1 = encoding == Encoding::kBocu1;
  if (e.bocu1 && sortUnits != nullptr) {
    e.unitsOffset = static_cast<uint32_t>(sortUnits->size());
    if (record.rawText) {
      sortUnits->append(DecodeBocu1(e.headword));
    } else {
      AppendUtf16(record.headword, sortUnits);
    }
    e.unitsLength = static_cast<uint32_t>(sortUnits->size() - e.unitsOffset);
  }
  return e;
}

uint8_t SharedPrefix(std::string_view previous, std::string_view headword) {
  size_t n = std::min({previous.size(), headword.size(), size_t{255}});
  size_t i = 0;
  while (i < n && previous[i] == headword[i]) ++i;
  return static_cast<uint8_t>(i);
}

// L: bytes from the tail's first byte to the record's end (the attribute
// byte counts only in code page 932 records, where it follows the tail).
uint64_t RecordLengthValue(const EncodedRecord& r, int width, uint8_t prefix) {
  uint64_t n = (r.headword.size() - prefix) + 1 + (r.bocu1 ? 0 : 1) +
               r.translation.size();
  if (!r.extended) return n;
  n += 1;  // translation's zero byte
  for (const Field& f : r.fields) {
    n += 1;
    if (f.tag == kEndTag) continue;
    n += IsLengthField(f.tag) ? width + f.content.size() : f.content.size() + 1;
  }
  if (r.endTag) n += 1;
  return n;
}

uint64_t RecordSize(const EncodedRecord& r, int width, uint8_t prefix) {
  return width + 1 + (r.bocu1 ? 1 : 0) + RecordLengthValue(r, width, prefix);
}

// Whether 2-byte lengths cannot hold the record's length or a field length.
bool NeedsWideLengths(const EncodedRecord& r) {
  if (RecordLengthValue(r, 2, 0) > 0xFFFF) return true;
  return std::any_of(r.fields.begin(), r.fields.end(), [](const Field& f) {
    return IsLengthField(f.tag) && f.content.size() > 0xFFFF;
  });
}

void AppendUint(std::vector<uint8_t>& out, int width, uint64_t value) {
  if (width == 4) {
    AppendLe32(out, static_cast<uint32_t>(value));
  } else {
    AppendLe16(out, static_cast<uint16_t>(value));
  }
}

void AppendBytes(std::vector<uint8_t>& out, std::string_view s) {
  out.insert(out.end(), s.begin(), s.end());
}

// Appends one record to `out`; `base` is the record's offset in its area.
void WriteRecord(const EncodedRecord& r, Encoding encoding, int width,
                 uint8_t prefix, std::vector<uint8_t>& out, uint32_t base,
                 RecordLayout* layout) {
  uint64_t length = RecordLengthValue(r, width, prefix);
  if (width == 2 && NeedsWideLengths(r)) {
    throw std::invalid_argument("record needs 4-byte lengths");
  }
  const size_t start = out.size();
  auto here = [&] { return static_cast<uint32_t>(base + out.size() - start); };
  RecordLayout l;
  l.source = r.source;
  l.offset = l.lengthOffset = base;
  l.lengthValue = static_cast<uint32_t>(length);
  l.extended = r.extended;
  l.prefix = prefix;
  l.attributeByte = r.attributeByte;
  AppendUint(out, width, length);
  l.prefixOffset = here();
  out.push_back(prefix);
  const bool bocu1 = encoding == Encoding::kBocu1;
  if (bocu1) {
    l.attributeOffset = here();
    out.push_back(r.attributeByte);
  }
  std::string_view tail = std::string_view(r.headword).substr(prefix);
  l.tail = {here(), static_cast<uint32_t>(tail.size())};
  AppendBytes(out, tail);
  out.push_back(0);
  if (!bocu1) {
    l.attributeOffset = here();
    out.push_back(r.attributeByte);
  }
  l.translation = {here(), static_cast<uint32_t>(r.translation.size())};
  AppendBytes(out, r.translation);
  if (r.extended) {
    out.push_back(0);
    for (const Field& f : r.fields) {
      FieldLayout fl;
      fl.tag = f.tag;
      fl.tagOffset = here();
      out.push_back(f.tag);
      if (f.tag != kEndTag) {
        if (IsLengthField(f.tag)) AppendUint(out, width, f.content.size());
        fl.content = {here(), static_cast<uint32_t>(f.content.size())};
        AppendBytes(out, f.content);
        if (!IsLengthField(f.tag)) out.push_back(0);
      }
      if (f.tag == 1) l.example = fl.content;
      if (f.tag == 2) l.pronunciation = fl.content;
      l.fields.push_back(fl);
    }
    if (r.endTag) out.push_back(kEndTag);
  }
  l.end = here();
  if (layout != nullptr) {
    l.headword = r.headword;
    *layout = std::move(l);
  }
}

// The records of one area before they are written.
struct PendingArea {
  std::vector<size_t> records;  // indexes into the sorted records
  std::vector<uint8_t> prefixes;
  int width = 2;
  uint64_t used = 2;  // area word and records so far
};

uint32_t BlocksFor(uint64_t bytes, int block_size) {
  uint64_t n = (bytes + block_size - 1) / block_size;
  Require(n <= kMaxAreaBlocks, "record area longer than 32767 blocks");
  return static_cast<uint32_t>(std::max<uint64_t>(n, 1));
}

void ValidateGeometry(const Options& o) {
  Require(o.block_size >= 1 && o.block_size <= 0x7FFF,
          "block_size must be 1..32767");
  Require(o.header_size >= 1 && o.header_size <= 0x7FFF,
          "header_size must be 1..32767");
  Require(o.data_gap >= 0, "data_gap must not be negative");
  Require(o.signatureOffset == -1 ||
              (o.signatureOffset >= 0 &&
               o.signatureOffset + static_cast<int>(kSignatureText.size()) <=
                   140),
          "signatureOffset must be -1 or 0..89");
}

uint32_t BlocksForIndex(uint64_t bytes, int block_size) {
  return static_cast<uint32_t>((bytes + block_size - 1) / block_size);
}

struct IndexArea {
  std::vector<uint8_t> bytes;
  std::vector<IndexEntryLayout> entries;  // offsets from the index start
};

IndexArea MakeIndex(const Options& o,
                    const std::vector<RawIndexEntry>& entries) {
  IndexArea index;
  for (const RawIndexEntry& e : entries) {
    Require(o.index32 || e.block <= 0xFFFF,
            "block number above 65535 needs 32-bit index block numbers");
    IndexEntryLayout l;
    l.fileOffset = index.bytes.size();
    l.block = e.block;
    l.key = e.key;
    AppendUint(index.bytes, o.index32 ? 4 : 2, e.block);
    l.keyFileOffset = index.bytes.size();
    AppendBytes(index.bytes, e.key);
    index.bytes.push_back(0);
    index.entries.push_back(std::move(l));
  }
  return index;
}

// Header, filler, index area, gap and data: the whole file. Fills the
// file-level fields of `layout`.
std::vector<uint8_t> Assemble(Options o, const IndexArea& index,
                              std::span<const uint8_t> data,
                              int32_t nwordValue, Layout& layout) {
  ValidateGeometry(o);
  Require(o.header_size >= 256, "header_size below 256 is not supported");
  const uint64_t bs = o.block_size;
  const uint32_t index_block = std::max<uint32_t>(
      BlocksForIndex(index.bytes.size(), o.block_size), o.minIndexBlocks);
  const uint32_t blocks = static_cast<uint32_t>((data.size() + bs - 1) / bs);
  Require(o.index_block || index_block <= 0x7FFF,
          "index area longer than 32767 blocks (index_block is 16-bit)");
  if (!o.nword) o.nword = nwordValue;
  if (!o.nindex2) o.nindex2 = static_cast<int32_t>(index.entries.size());
  if (!o.nblock2) o.nblock2 = static_cast<int32_t>(blocks);
  if (!o.index_block) o.index_block = static_cast<int16_t>(index_block);

  std::vector<uint8_t> file = MakeHeader(o);
  file.reserve(o.header_size + index_block * bs + o.data_gap + blocks * bs);
  file.resize(o.header_size, kFillerByte);
  layout.indexOffset = o.header_size;
  layout.indexBytes = static_cast<uint32_t>(index.bytes.size());
  layout.index_block = index_block;
  layout.entries = index.entries;
  for (IndexEntryLayout& e : layout.entries) {
    e.fileOffset += o.header_size;
    e.keyFileOffset += o.header_size;
  }
  file.insert(file.end(), index.bytes.begin(), index.bytes.end());
  file.resize(o.header_size + index_block * bs, 0);
  file.resize(file.size() + o.data_gap, kFillerByte);
  layout.dataOffset = file.size();
  layout.blockCount = blocks;
  file.insert(file.end(), data.begin(), data.end());
  file.resize(layout.dataOffset + blocks * bs, 0);
  return file;
}

int WidthFor(const EncodedRecord& r, LengthWidth lengths) {
  switch (lengths) {
    case LengthWidth::k4:
      return 4;
    case LengthWidth::k2:
      Require(!NeedsWideLengths(r),
              "a record needs 4-byte lengths but k2 was asked for");
      return 2;
    case LengthWidth::kAuto:
      break;
  }
  return NeedsWideLengths(r) ? 4 : 2;
}

uint64_t AreaBytesAtWidth(const PendingArea& area,
                          const std::vector<EncodedRecord>& records,
                          int width) {
  uint64_t used = 2;
  for (size_t i = 0; i < area.records.size(); ++i) {
    used += RecordSize(records[area.records[i]], width, area.prefixes[i]);
  }
  return used;
}

// Groups the records, in the given order, into record areas.
std::vector<PendingArea> Pack(const std::vector<EncodedRecord>& records,
                              const std::vector<size_t>& order,
                              const Options& o) {
  const uint64_t capacity = static_cast<uint64_t>(o.areaBlocks) * o.block_size;
  const size_t perArea = static_cast<size_t>(o.recordsPerArea);
  std::vector<PendingArea> areas;
  for (size_t index : order) {
    const EncodedRecord& r = records[index];
    const int ownWidth = WidthFor(r, o.lengths);
    if (!areas.empty()) {
      PendingArea& area = areas.back();
      if (perArea == 0 || area.records.size() < perArea) {
        const int width = std::max(area.width, ownWidth);
        const uint8_t prefix =
            o.prefixCompression
                ? SharedPrefix(records[area.records.back()].headword,
                               r.headword)
                : 0;
        const uint64_t used = width == area.width
                                  ? area.used
                                  : AreaBytesAtWidth(area, records, width);
        const uint64_t size = RecordSize(r, width, prefix);
        // The zero length that ends the area must fit behind the record.
        if (perArea > 0 || used + size + width <= capacity) {
          area.width = width;
          area.used = used + size;
          area.records.push_back(index);
          area.prefixes.push_back(prefix);
          continue;
        }
      }
    }
    PendingArea area;
    area.width = ownWidth;
    area.used = 2 + RecordSize(r, ownWidth, 0);
    area.records.push_back(index);
    area.prefixes.push_back(0);
    areas.push_back(std::move(area));
  }
  return areas;
}

// The order of the records as lookup compares their headwords (unsigned
// bytes for code page 932, UTF-16 units for BOCU-1), equal ones in the
// order given. Each headword's first 8 bytes (4 units) are packed into a
// number, so that most comparisons touch no text.
std::vector<size_t> SortOrder(const std::vector<EncodedRecord>& encoded,
                              const std::u16string& units, bool bocu1) {
  struct Key {
    uint64_t prefix;
    uint32_t index;
  };
  auto text = [&](const EncodedRecord& e) {
    return std::u16string_view(units).substr(e.unitsOffset, e.unitsLength);
  };
  std::vector<Key> keys(encoded.size());
  for (size_t i = 0; i < encoded.size(); ++i) {
    uint64_t prefix = 0;
    if (bocu1) {
      const std::u16string_view u = text(encoded[i]);
      for (size_t k = 0; k < 4; ++k) prefix = prefix << 16 | (k < u.size() ? u[k] : 0);
    } else {
      const std::string& h = encoded[i].headword;
      for (size_t k = 0; k < 8; ++k) {
        prefix = prefix << 8 | (k < h.size() ? static_cast<uint8_t>(h[k]) : 0);
      }
    }
    keys[i] = {prefix, static_cast<uint32_t>(i)};
  }
  std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    const EncodedRecord& ea = encoded[a.index];
    const EncodedRecord& eb = encoded[b.index];
    // std::string and std::u16string compare unsigned bytes and units.
    const int c = bocu1 ? text(ea).compare(text(eb)) : ea.headword.compare(eb.headword);
    return c != 0 ? c < 0 : a.index < b.index;
  });
  std::vector<size_t> order(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) order[i] = keys[i].index;
  return order;
}

}  // namespace

uint64_t Layout::BlockOffset(uint32_t n) const {
  return dataOffset + static_cast<uint64_t>(n) * block_size;
}

std::vector<const RecordLayout*> Layout::Records() const {
  std::vector<const RecordLayout*> all;
  for (const AreaLayout& area : areas) {
    for (const RecordLayout& record : area.records) all.push_back(&record);
  }
  return all;
}

namespace {

BuiltDictionary Build(std::vector<Record> records,
                                const Options& o) {
  ValidateGeometry(o);
  Require(o.header_size >= 256, "header_size below 256 is not supported");
  Require(o.areaBlocks >= 1 && o.areaBlocks <= 0x7FFF,
          "areaBlocks must be 1..32767");
  Require(o.recordsPerArea >= 0, "recordsPerArea must not be negative");

  BuiltDictionary out;
  std::vector<EncodedRecord> encoded;
  encoded.reserve(records.size());
  std::u16string units;  // of all headwords, for sorting BOCU-1
  const bool bocu1 = o.encoding == Encoding::kBocu1;
  for (size_t i = 0; i < records.size(); ++i) {
    const size_t before = out.substitutions;
    const EncodedRecord& e = encoded.emplace_back(
        Encode(records[i], i, o.encoding, &out.substitutions, bocu1 && o.sort ? &units : nullptr));
    if (out.substitutions != before && !out.firstSubstituted) out.firstSubstituted = i;
    if (o.maxHeadwordBytes > 0 && e.headword.size() > o.maxHeadwordBytes &&
        !out.firstLongHeadword) {
      out.firstLongHeadword = i;
    }
  }
  records = {};

  std::vector<size_t> order = o.sort ? SortOrder(encoded, units, bocu1)
                                     : std::vector<size_t>(encoded.size());
  if (!o.sort) std::iota(order.begin(), order.end(), size_t{0});
  units = {};

  const std::vector<PendingArea> pending = Pack(encoded, order, o);
  std::vector<uint8_t> data;
  uint64_t dataBytes = 0;  // known before writing: the data grows in place
  for (const PendingArea& p : pending) {
    dataBytes += static_cast<uint64_t>(std::max<uint32_t>(
                      static_cast<uint32_t>(o.areaBlocks), BlocksFor(p.used + p.width, o.block_size))) *
                  o.block_size;
  }
  data.reserve(dataBytes);
  std::vector<RawIndexEntry> entries;
  Layout& layout = out.layout;
  layout.block_size = static_cast<uint32_t>(o.block_size);
  uint32_t nextBlock = 0;
  for (const PendingArea& p : pending) {
    AreaLayout area;
    area.firstBlock = nextBlock;
    area.blockCount = std::max<uint32_t>(
        static_cast<uint32_t>(o.areaBlocks),
        BlocksFor(p.used + p.width, o.block_size));
    area.lengthWidth = p.width;
    const size_t start = data.size();
    AppendLe16(data, static_cast<uint16_t>(area.blockCount |
                                           (p.width == 4 ? kWideAreaBit : 0)));
    for (size_t i = 0; i < p.records.size(); ++i) {
      const uint32_t offset = static_cast<uint32_t>(data.size() - start);
      RecordLayout* record = nullptr;
      if (o.recordLayout) record = &area.records.emplace_back();
      WriteRecord(encoded[p.records[i]], o.encoding, p.width, p.prefixes[i],
                  data, offset, record);
    }
    area.endMarkerOffset = static_cast<uint32_t>(data.size() - start);
    AppendUint(data, p.width, 0);
    data.resize(start + static_cast<size_t>(area.blockCount) * o.block_size,
                0);
    entries.push_back({area.firstBlock, encoded[p.records.front()].headword});
    nextBlock += area.blockCount;
    layout.areas.push_back(std::move(area));
  }
  encoded = {};

  Options headerOptions = o;
  if (o.autoIndex32 && !layout.areas.empty() &&
      layout.areas.back().firstBlock > 0xFFFF) {
    headerOptions.index32 = true;
  }
  layout.index32 = headerOptions.index32;
  out.bytes = Assemble(headerOptions, MakeIndex(headerOptions, entries),
                       data, static_cast<int32_t>(order.size()), layout);
  for (AreaLayout& area : layout.areas) {
    area.fileOffset = layout.BlockOffset(area.firstBlock);
  }
  return out;
}

}  // namespace

Result<BuiltDictionary> BuildDictionary(std::vector<Record> records, const Options& options) {
  // Whatever the laying out throws stays here: options it cannot honour,
  // an encoder that fails, memory.
  try {
    return Build(std::move(records), options);
  } catch (const std::invalid_argument& e) {
    return Status::InvalidArgument(e.what());
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory();
  } catch (const std::exception& e) {
    return Status::Internal(e.what());
  }
}

std::vector<uint8_t> MakeHeader(const Options& o) {
  Require(o.signatureOffset == -1 ||
              (o.signatureOffset >= 0 && o.signatureOffset <= 89),
          "signatureOffset must be -1 or 0..89");
  std::vector<uint8_t> h(256, 0);
  if (o.signatureOffset >= 0) {
    std::copy(kSignatureText.begin(), kSignatureText.end(),
              h.begin() + o.signatureOffset);
  }
  const bool bocu1 = o.encoding == Encoding::kBocu1;
  PutLe16(h, 140, o.version);
  PutLe16(h, 142, static_cast<uint16_t>(o.lword));
  PutLe16(h, 144, static_cast<uint16_t>(o.ljapa));
  PutLe16(h, 146, static_cast<uint16_t>(o.block_size));
  PutLe16(h, 148, static_cast<uint16_t>(o.index_block.value_or(0)));
  PutLe16(h, 150, static_cast<uint16_t>(o.header_size));
  PutLe32(h, 160, static_cast<uint32_t>(o.nword.value_or(0)));
  h[164] = o.dicorder;
  h[165] = o.dictype.value_or(bocu1 ? 8 : 0);
  h[166] = o.attrlen;
  const uint8_t os = o.os.value_or(bocu1 ? 32 : 0);
  const uint8_t blkbit = o.index32 ? 1 : 0;
  const auto gap = static_cast<uint32_t>(o.data_gap);
  const auto nindex2 = static_cast<uint32_t>(o.nindex2.value_or(0));
  const auto nblock2 = static_cast<uint32_t>(o.nblock2.value_or(0));
  if ((o.version >> 8) == 4) {
    h[171] = os;
    PutLe32(h, 182, gap);
    PutLe32(h, 190, nindex2);
    PutLe32(h, 194, nblock2);
    h[198] = blkbit;
  } else {
    h[167] = os;
    h[182] = blkbit;
    PutLe32(h, 184, gap);
    PutLe32(h, 192, nindex2);
    PutLe32(h, 196, nblock2);
  }
  return h;
}

std::vector<uint8_t> EncodeRecord(const Record& record, Encoding encoding,
                                  int lengthWidth, std::string_view previous,
                                  bool prefixCompression,
                                  RecordLayout* layout, uint32_t base,
                                  size_t* substitutions) {
  Require(lengthWidth == 2 || lengthWidth == 4, "length width is 2 or 4");
  const EncodedRecord r = Encode(record, 0, encoding, substitutions);
  const uint8_t prefix =
      prefixCompression ? SharedPrefix(previous, r.headword) : 0;
  std::vector<uint8_t> out;
  WriteRecord(r, encoding, lengthWidth, prefix, out, base, layout);
  return out;
}

std::vector<uint8_t> MakeRawArea(std::span<const uint8_t> content,
                                 int block_size, bool wideLengths,
                                 int minBlocks) {
  Require(block_size >= 1, "block_size must be positive");
  const uint32_t blocks = std::max<uint32_t>(
      BlocksFor(2 + content.size(), block_size),
      static_cast<uint32_t>(std::max(minBlocks, 1)));
  std::vector<uint8_t> out;
  AppendLe16(out,
             static_cast<uint16_t>(blocks | (wideLengths ? kWideAreaBit : 0)));
  out.insert(out.end(), content.begin(), content.end());
  out.resize(static_cast<size_t>(blocks) * block_size, 0);
  return out;
}

std::vector<uint8_t> AssembleFile(const Options& options,
                                  const std::vector<RawIndexEntry>& entries,
                                  std::span<const uint8_t> data) {
  Layout layout;
  layout.block_size = static_cast<uint32_t>(options.block_size);
  return Assemble(options, MakeIndex(options, entries), data, 0, layout);
}

void PutLe16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  if (bytes.size() < offset + 2) bytes.resize(offset + 2, 0);
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  PutLe16(bytes, offset, static_cast<uint16_t>(value));
  PutLe16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

void AppendLe16(std::vector<uint8_t>& bytes, uint16_t value) {
  PutLe16(bytes, bytes.size(), value);
}

void AppendLe32(std::vector<uint8_t>& bytes, uint32_t value) {
  PutLe32(bytes, bytes.size(), value);
}

uint16_t GetLe16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

uint32_t GetLe32(std::span<const uint8_t> bytes, size_t offset) {
  return GetLe16(bytes, offset) |
         (static_cast<uint32_t>(GetLe16(bytes, offset + 2)) << 16);
}

}  // namespace kebu::writer

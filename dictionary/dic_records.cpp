// The word record walk: prefix-compressed headwords, the attribute byte, the
// translation and the field list of extended records. Every length and zero
// byte found in the file is checked against the loaded area before it is
// used; a record that breaks the area's bounds ends the area.
#include <algorithm>
#include <cstring>

#include "dictionary/dic_block_reader.h"
#include "dictionary/le.h"

namespace kebu {

namespace {

constexpr uint32_t kTagEnd = 0x80;
constexpr uint32_t kTagSized = 0x10;  // bit 4: a length, then that many bytes
constexpr uint32_t kTagExample = 1;
constexpr uint32_t kTagPronunciation = 2;
constexpr uint32_t kAttributeExtended = 0x10;

// Lengths are reported 16 bits wide; a longer text is taken as its first
// 65535 bytes rather than wrapped around.
uint16_t Length16(size_t length) {
  return static_cast<uint16_t>(std::min<size_t>(length, 0xFFFF));
}

}  // namespace

bool DicBlockReader::ParseRecord(RecordFields* fields, RecordPosition* position) {
  // Any way out but the last one ends the walk of the area.
  walkEnded_ = true;
  const ByteView area(data_.data(), areaSize_);
  const int w = lengthWidth_;
  const size_t p = static_cast<size_t>(position_);
  uint32_t length = 0;
  if (position_ < 0 || !area.Uint(p, w, &length)) return false;
  position_ = static_cast<int32_t>(p + w);
  if (length == 0) return false;

  size_t q = p + w;
  uint32_t prefix = 0;
  if (!area.U8(q++, &prefix)) return false;
  uint32_t attributeByte = 0;
  const bool bocu = header_.IsBocu1();
  if (bocu && !area.U8(q++, &attributeByte)) return false;

  const size_t tail = q;
  const size_t end = tail + length;  // the record ends L bytes behind the tail
  size_t zero = 0;
  if (end > areaSize_ || !area.FindZero(tail, &zero)) return false;
  const size_t tailLength = zero - tail;
  // The tail, its zero byte and (code page 932) the attribute byte lie in
  // the record; the shared part is no longer than the headword before.
  const size_t translation = zero + 1 + (bocu ? 0 : 1);
  if (translation > end) return false;
  if (prefix > previousLength_ || prefix + tailLength > kMaxHeadwordBytes) return false;
  if (!bocu) attributeByte = data_[zero + 1];

  std::memcpy(headword_ + prefix, data_.data() + tail, tailLength);
  const uint32_t headwordLength = static_cast<uint32_t>(prefix + tailLength);
  headword_[headwordLength] = 0;

  RecordFields f;
  f.headwordLength = static_cast<uint16_t>(headwordLength);
  f.translationOffset = static_cast<int32_t>(translation);
  f.attribute = static_cast<int16_t>(attributeByte & 0x0F);
  if ((attributeByte & kAttributeExtended) == 0) {
    f.translationLength = Length16(end - translation);
  } else {
    size_t z = 0;
    if (!area.FindZero(translation, &z)) return false;
    f.translationLength = Length16(z - translation);
    size_t r = z + 1;
    while (r < end) {
      const uint32_t tag = data_[r++];
      if (tag == kTagEnd) break;
      if (tag & kTagSized) {
        uint32_t skip = 0;
        if (!area.Uint(r, w, &skip)) return false;
        r += w + static_cast<size_t>(skip);
        if (r > areaSize_) return false;
        continue;
      }
      if (!area.FindZero(r, &z)) return false;
      if (tag == kTagExample) {
        f.exampleOffset = static_cast<int32_t>(r);
        f.exampleLength = Length16(z - r);
      } else if (tag == kTagPronunciation) {
        f.pronunciationOffset = static_cast<int32_t>(r);
        f.pronunciationLength = Length16(z - r);
      }
      r = z + 1;
    }
  }

  previousLength_ = headwordLength;
  position_ = static_cast<int32_t>(end);
  walkEnded_ = false;
  *fields = f;
  if (position != nullptr) {
    position->indexEntry = 0;
    position->block = currentBlock_;
    position->recordOffset = static_cast<int32_t>(p);
  }
  return true;
}

}  // namespace kebu

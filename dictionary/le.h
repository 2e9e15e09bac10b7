// Fixed-width little-endian decoding over a bounded byte view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kebu {

inline uint16_t DecodeFixed16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t DecodeFixed32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// A pointer and a length. Every read says whether it stayed inside.
class ByteView {
 public:
  ByteView() = default;
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

  // Reads a 1-, 2- or 4-byte unsigned little-endian number at `offset`.
  // Returns false (and leaves *value alone) when it does not lie inside.
  bool U8(size_t offset, uint32_t* value) const {
    if (offset >= size_) return false;
    *value = data_[offset];
    return true;
  }
  bool U16(size_t offset, uint32_t* value) const {
    if (offset > size_ || size_ - offset < 2) return false;
    *value = DecodeFixed16(data_ + offset);
    return true;
  }
  bool U32(size_t offset, uint32_t* value) const {
    if (offset > size_ || size_ - offset < 4) return false;
    *value = DecodeFixed32(data_ + offset);
    return true;
  }
  // A 2- or 4-byte number by width.
  bool Uint(size_t offset, int width, uint32_t* value) const {
    return width == 4 ? U32(offset, value) : U16(offset, value);
  }
  // Offset of the first zero byte at or after `offset`, or false when the
  // view ends first.
  bool FindZero(size_t offset, size_t* zero) const {
    if (offset >= size_) return false;
    const void* z = std::memchr(data_ + offset, 0, size_ - offset);
    if (z == nullptr) return false;
    *zero = static_cast<size_t>(static_cast<const uint8_t*>(z) - data_);
    return true;
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace kebu

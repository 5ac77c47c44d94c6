// Little-endian access to on-disk bytes, and the bounds-checked reader that
// every parse of untrusted file bytes goes through.
#pragma once

#include <cstdint>
#include <cstring>

namespace binio {

inline uint16_t getLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (static_cast<uint16_t>(p[1]) << 8));
}

inline uint32_t getLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void putLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void putLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// A view of `size` bytes that answers false instead of reading past the end.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}

  uint64_t size() const { return size_; }

  // True when [offset, offset + length) lies inside the view.
  bool holds(uint64_t offset, uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  bool u8(uint64_t offset, uint8_t& out) const {
    if (!holds(offset, 1)) return false;
    out = data_[offset];
    return true;
  }

  bool u16le(uint64_t offset, uint16_t& out) const {
    if (!holds(offset, 2)) return false;
    out = getLe16(data_ + offset);
    return true;
  }

  bool u32le(uint64_t offset, uint32_t& out) const {
    if (!holds(offset, 4)) return false;
    out = getLe32(data_ + offset);
    return true;
  }

  // Direct access, only after holds(offset, length) said yes.
  const uint8_t* at(uint64_t offset) const { return data_ + offset; }

  bool copy(uint64_t offset, uint64_t length, uint8_t* out) const {
    if (!holds(offset, length)) return false;
    if (length != 0) std::memcpy(out, data_ + offset, static_cast<size_t>(length));
    return true;
  }

 private:
  const uint8_t* data_;
  uint64_t size_;
};

}  // namespace binio

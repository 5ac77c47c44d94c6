#include "cursor/cursor.h"

#include <cstring>

namespace cursor {

Bytes::Bytes(size_t count, uint8_t fill) {
  if (count == 0) return;
  std::shared_ptr<uint8_t[]> bytes(new uint8_t[count]);
  std::memset(bytes.get(), fill, count);
  data_ = std::shared_ptr<const uint8_t>(bytes, bytes.get());
  size_ = count;
}

Bytes::Bytes(const uint8_t* data, size_t count) {
  if (count == 0) return;
  std::shared_ptr<uint8_t[]> bytes(new uint8_t[count]);
  std::memcpy(bytes.get(), data, count);
  data_ = std::shared_ptr<const uint8_t>(bytes, bytes.get());
  size_ = count;
}

Bytes Bytes::adopt(uint8_t* block, size_t count, void (*release)(void*)) {
  Bytes b;
  // Should the share count not be had, the block is given back first.
  b.data_ = std::shared_ptr<const uint8_t>(block, release);
  b.size_ = block != nullptr ? count : 0;
  return b;
}

std::vector<Step> stepsInOrder(size_t frames, uint32_t jiffies) {
  std::vector<Step> steps(frames);
  for (size_t i = 0; i < frames; ++i) steps[i] = {static_cast<uint32_t>(i), jiffies};
  return steps;
}

}  // namespace cursor

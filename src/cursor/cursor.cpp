#include "cursor/cursor.h"

namespace cursor {

std::vector<Step> stepsInOrder(size_t frames, uint32_t jiffies) {
  std::vector<Step> steps(frames);
  for (size_t i = 0; i < frames; ++i) steps[i] = {static_cast<uint32_t>(i), jiffies};
  return steps;
}

}  // namespace cursor

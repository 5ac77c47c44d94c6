#include "base/runtime.h"

#include <cstddef>
#include <limits>
#include <string>

#include "base/captions.h"
#include "platform/platform.h"

namespace {
AllocGate g_gate = nullptr;
ErrorSink g_sink = nullptr;
}  // namespace

AllocGate setAllocGate(AllocGate gate) {
  AllocGate old = g_gate;
  g_gate = gate;
  return old;
}

namespace {
// The heap every block comes from, asked for at the first use.
void* g_heap = nullptr;

// The gate and the size checks that every allocation passes.
bool mayAllocate(uint64_t bytes) {
  if (g_gate != nullptr && !g_gate(bytes)) return false;
  if (bytes > std::numeric_limits<size_t>::max() ||
      bytes > static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
    return false;
  }
  if (g_heap == nullptr) g_heap = plat::processHeap();
  return true;
}
}  // namespace

void* allocZeroed(uint64_t bytes) {
  if (!mayAllocate(bytes)) return nullptr;
  return plat::heapAllocZeroed(g_heap, static_cast<size_t>(bytes));
}

void* allocForOverwrite(uint64_t bytes) {
  if (!mayAllocate(bytes)) return nullptr;
  return plat::heapAllocForOverwrite(g_heap, static_cast<size_t>(bytes));
}

void freeBlock(void* block) {
  if (block == nullptr) return;
  if (g_heap == nullptr) g_heap = plat::processHeap();
  plat::heapFree(g_heap, block);
}

ErrorSink setErrorSink(ErrorSink sink) {
  ErrorSink old = g_sink;
  g_sink = sink;
  return old;
}

void showError(const char* caption, const char* text) {
  if (g_sink != nullptr) {
    g_sink(caption, text);
    return;
  }
  plat::errorBox(caption, text);
}

void explainFailure(const char* why, const char* path) {
  std::string line = "kinetor: ";
  line += why;
  line += ": ";
  line += path;
  plat::diagnostic(line.c_str());
}

void showOutOfMemory() { showError(caption::kError, caption::kOutOfMemory); }

#include "app/runtime.h"

#include <cstddef>
#include <limits>

#include "app/state.h"
#include "platform/platform.h"

namespace {
AllocGate g_gate = nullptr;
}  // namespace

AllocGate setAllocGate(AllocGate gate) {
  AllocGate old = g_gate;
  g_gate = gate;
  return old;
}

void* allocZeroed(uint64_t bytes) {
  if (g_gate != nullptr && !g_gate(bytes)) return nullptr;
  if (bytes > std::numeric_limits<size_t>::max() ||
      bytes > static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
    return nullptr;
  }
  if (appState.processHeap == nullptr) appState.processHeap = plat::processHeap();
  return plat::heapAllocZeroed(appState.processHeap, static_cast<size_t>(bytes));
}

void freeBlock(void* block) {
  if (block == nullptr) return;
  if (appState.processHeap == nullptr) appState.processHeap = plat::processHeap();
  plat::heapFree(appState.processHeap, block);
}

void showError(const char* caption, const char* text) { plat::errorBox(caption, text); }

namespace {
// A blank of the command line is any byte from 1 to 32.
bool isBlank(unsigned char c) { return c >= 1 && c <= 32; }
}  // namespace

char* skipProgramName(char* commandLine) {
  if (commandLine == nullptr) return nullptr;
  auto* p = reinterpret_cast<unsigned char*>(commandLine);

  // Blanks and empty quoted pairs may stand before the name, in any mix.
  for (;;) {
    if (isBlank(*p)) {
      ++p;
    } else if (p[0] == '"' && p[1] == '"') {
      p += 2;
    } else {
      break;
    }
  }

  while (*p > 32) {
    if (*p == '"') {
      ++p;
      while (*p != '\0' && *p != '"') ++p;
      if (*p == '\0') return nullptr;  // never closed: no argument part
      ++p;
    } else {
      ++p;
    }
  }
  if (*p == '\0') return nullptr;
  *p = '\0';
  return reinterpret_cast<char*>(p + 1);
}

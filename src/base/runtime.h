// Small operations that every module uses: the zero-filling heap and the
// error box.
#pragma once

#include <cstdint>

// A new zero-filled block of `bytes` bytes, or null when the heap refuses or
// the size does not fit this process's address space.
void* allocZeroed(uint64_t bytes);

// Like allocZeroed, for a block that the caller fills completely before
// anything reads it; its bytes may start as anything.
void* allocForOverwrite(uint64_t bytes);

// Tests refuse chosen allocations through this gate to exercise the
// out-of-memory paths; a gate answering false makes allocZeroed fail.
using AllocGate = bool (*)(uint64_t bytes);
AllocGate setAllocGate(AllocGate gate);

// Returns a block to the heap; null is accepted and ignored.
void freeBlock(void* block);

// Frees *block and sets it to null, so a second release is harmless.
template <typename T>
void releaseBlock(T*& block) {
  freeBlock(block);
  block = nullptr;
}

// The modal error box: caption first, then the detail text.
void showError(const char* caption, const char* text);

// The line that follows a box: on POSIX `kinetor: WHY: PATH` on standard
// error, so that the user learns why; the Windows program stays silent.
void explainFailure(const char* why, const char* path);

// Tests divert the error box with this sink so that no box ever blocks
// them; returns the previous sink.
using ErrorSink = void (*)(const char* caption, const char* text);
ErrorSink setErrorSink(ErrorSink sink);

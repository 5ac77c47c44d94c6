// The texts of the error boxes that more than one module shows.
#pragma once

namespace caption {
constexpr const char* kError = "Error";
constexpr const char* kOutOfMemory = "Out of memory";
constexpr const char* kCantLoadFile = "Can't load file";
constexpr const char* kCantWriteFile = "Can't write file";
constexpr const char* kMixedDepths = "Mixed color depths";
constexpr const char* kCantMakeMask = "Can't make mask";
}  // namespace caption

// "Error" / "Out of memory": the box every refused heap block leads to.
void showOutOfMemory();

// A section text read from memory, for the tests and the fuzzers: the bytes
// must outlive the record, and the size rules are a file's.
#pragma once

#include <cstdint>

#include "textfile/section_text.h"

inline bool openSectionBytes(const uint8_t* bytes, uint32_t size, SectionText& text) {
  text = SectionText{};
  if (bytes == nullptr || size == 0) return false;
  text.textBase = bytes;
  text.textSize = size > kMaxSectionTextSize ? kMaxSectionTextSize : size;
  text.sectionStart = bytes;
  return true;
}

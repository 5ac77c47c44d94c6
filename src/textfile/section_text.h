// Reader of section-structured texts: "[Name]" header lines, each followed by
// a body of hexadecimal numbers or text values, one per line. The build script
// and the settings file are such texts.
#pragma once

#include <cstdint>

#include "base/frame_record.h"
#include "platform/platform.h"

// Only this many bytes of a text are ever looked at; the rest of a longer
// file is ignored.
constexpr uint32_t kMaxSectionTextSize = 0x2FFFF;

// One open text. The caller owns the record, starts it cleared (as the
// default initializers leave it) and always closes it, also after a failed
// open.
struct SectionText {
  plat::FileHandle fileHandle = plat::kInvalidFile;
  plat::MapHandle mappingHandle = 0;
  const uint8_t* textBase = nullptr;
  uint32_t textSize = 0;
  const uint8_t* sectionStart = nullptr;  // body of the section found last
};

// Takes a read-only view of the file (a copy where another program could cut
// a mapped file short). False for a null or empty name, a file that cannot be
// opened or viewed whole, anything but a regular file, and an empty file;
// the handles obtained so far stay in the record for closeSectionText.
bool openSectionText(const char* fileName, SectionText& text);

// Unmaps and closes whatever the record holds, then clears it.
void closeSectionText(SectionText& text);

// Searches from the top of the text for the first header "[name]" (ASCII
// letters compared without regard to case). On success sectionStart is the
// first byte of the body; otherwise it is the end of the text.
bool findSection(const char* name, SectionText& text);

// Reads the numbers of the section found last into `values`; returns how many
// (0 to 255). Entries beyond the count are left as they were.
int readHexList(uint32_t (&values)[kMaxEntries], const SectionText& text);

// Reads the line values of the section found last into the `path` fields of
// records[0], records[1], ... (each a new 260-byte heap block the caller owns;
// null when the allocation failed), at most maxCount of them; returns how many
// records were given a value. `records` must hold maxCount entries. A value
// longer than 259 characters is cut, and its record's pathTooLong set.
int readLineList(FrameRecord* records, const SectionText& text, int maxCount);

// One line value of a section body, as the line lists read it (from the
// first non-blank byte up to the CR or LF, cut to 259 characters and trimmed
// of trailing blanks), seen in place in the text: valid while the text is
// open.
struct LineView {
  const char* text;
  uint32_t length;
};

// Reads up to maxCount line values of the section found last into `lines`
// without copying them, passing over lines that hold only blanks; returns
// how many. `lines` must hold maxCount entries.
int readLineViews(LineView* lines, const SectionText& text, int maxCount);

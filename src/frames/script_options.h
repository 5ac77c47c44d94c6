// The optional sections of a build script that shape the written file beyond
// its frames: [Hotspot], [Rate], [Sequence], [Title], [Author] and [Sizes].
#pragma once

#include <cstdint>

#include "ani/ani_options.h"
#include "textfile/section_text.h"

// A display time in milliseconds as jiffies of 1/60 s: rounded to the
// nearest jiffy, and at least one.
constexpr uint64_t jiffiesFromMs(uint64_t ms) {
  const uint64_t jiffies = (ms * 60 + 500) / 1000;
  return jiffies == 0 ? 1 : jiffies;
}

// Room for a section name and one line value.
constexpr int kScriptProblemCapacity = 320;

// Reads the sections of `script` into `options`, which starts cleared, and
// checks every line against the script's frameCount frames. False when a
// line is malformed, out of range or one too many (or a count is wrong):
// then `problem` names the section and quotes the line. A static cursor
// (one frame, written as a .cur file) refuses the sections that only an
// animation has: [Rate], [Sequence], [Title] and [Author].
bool readScriptOptions(SectionText& script, int frameCount, AnimationOptions& options,
                       char (&problem)[kScriptProblemCapacity], bool staticCursor = false);

// A script that writes a .cur file (any case) from one frame asks for a
// static cursor; one that lists more frames writes an animation, whatever
// the name.
bool namesStaticCursor(const char* outputPath, int frameCount);

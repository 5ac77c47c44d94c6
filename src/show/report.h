// The printout of a cursor file: chunk tree, header, frames, steps and the
// defects, as a person wants to read them.
#pragma once

#include <cstdint>
#include <string>

#include "ani/ani_reader.h"

std::string describeAniFile(const AniFile& file, const uint8_t* data, const char* name);

// One line per defect: "defect at OFFSET: what is wrong; what a loader does".
std::string defectLine(const AniDefect& defect);

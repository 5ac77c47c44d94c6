// The switches and colour lists that shape a build, as one value: the
// editor hands over what its dialog shows, the batch what its script and
// the settings files say.
#pragma once

#include <cstdint>
#include <vector>

struct Settings {
  bool transparent = false;  // masks mark the transparent colours
  bool replace = false;      // the replace pairs change colours
  bool merge = false;        // later frames lie over the first
  bool optimize = false;     // frames are cropped to what they show
  // COLORREF 0x00BBGGRR, as the settings file keeps them.
  std::vector<uint32_t> transColors;
  std::vector<uint32_t> replaceColors;  // pairs: find, replacement
};

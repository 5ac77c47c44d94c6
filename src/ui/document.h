// What the editor holds beside its frame list: the cursor's own settings
// (hotspot, display times, title, author) and the build script that the work
// was opened from or saved to, with the text that script format takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ani/ani_options.h"
#include "frames/script_options.h"
#include "ui/state.h"

// Jiffies (1/60 s) that a step shows for when no time is set.
constexpr uint32_t kDefaultRate = 10;

struct EditorDocument {
  char scriptPath[kPathCapacity];  // empty until saved as or opened from a build script
  char cursorPath[kPathCapacity];  // the cursor last saved, or the script's [Result]
  bool changed;                    // since the work was last saved as either
  bool hasHotspot;
  int32_t hotspotX;
  int32_t hotspotY;
  char title[anifile::kMaxInfoText + 1];
  char author[anifile::kMaxInfoText + 1];
  // Sides of the square pictures each frame holds, in the order [Sizes]
  // lists them; none: each frame as it is.
  int32_t sizeCount;
  uint16_t sizes[anifile::kMaxSizes];
  // Rates that a script gave one per step though all equal: written back
  // so, for the same file.
  bool ratesPerStep;
  // An order of steps the list cannot show, kept as read while the frame
  // list stays as it was: 0-based frames, and the rates of the steps
  // (stepRateCount 0, 1 or sequenceLength).
  int32_t sequenceLength;
  uint8_t sequence[anifile::kMaxSteps];
  int32_t stepRateCount;
  uint32_t stepRates[anifile::kMaxSteps];
};

extern EditorDocument editorDocument;

// Back to an untitled document without settings.
void resetDocument();

// The jiffies that frame `position` (0-based) shows for.
uint32_t frameRate(int position);

// The steps the cursor file shows: a kept order's, or one per frame.
int playedSteps();
// The frame (0-based) that step `step` shows, and its jiffies.
int stepFrame(int step);
uint32_t stepRate(int step);

// Whether the document holds side `side` among its sizes.
bool hasSize(int side);

// Adds the side to the sizes or takes it out; false when the sizes are full.
bool toggleSize(int side);

// Sets frame `position`'s rate, or every frame's with -1, also in a kept
// order of steps.
void setFrameRate(int position, uint32_t jiffies);

// The frame list changed: a kept order of steps no longer names the same
// frames and goes; each frame keeps the rate of its first step.
void dropSequence();

// What the title shows about the document beyond its name; empty for none.
std::string documentNote();

// Jiffies as whole milliseconds, rounded to the nearest.
uint32_t msFromJiffies(uint32_t jiffies);

// The options a save writes for the `frameCount` frames of the table. With no
// setting made the record is the default one, so the file is the plain one.
void fillAnimationOptions(AnimationOptions& options, int frameCount);

// An opened script's settings into the document and the rates of its
// `frameCount` frames: what fillAnimationOptions gives back.
void takeOpenedOptions(const AnimationOptions& options, int frameCount);

// The dialog's caption: the document's name, marked while it has changes.
std::string documentCaption();

// The build script for the given frame paths, in the batch's format (CR LF
// line ends), with every setting the editor holds, the options and colours
// included, so that the batch builds the cursor a save builds. Paths below
// the script's folder are written relative to it.
std::string buildScriptText(const char* scriptPath, const std::vector<std::string>& framePaths);

// A build script as the editor takes it in: the frames with their paths
// resolved against the script's folder, the cursor it builds and its
// settings.
struct OpenedScript {
  std::vector<std::string> frames;
  std::string cursorPath;
  AnimationOptions options;
};

// Reads the script at `path`. False, with `problem` saying why, when it
// cannot be read, lists no frame or more than the table holds, or has a bad
// line.
bool readBuildScript(const char* path, OpenedScript& script,
                     char (&problem)[kScriptProblemCapacity]);

// Writes `text` to `path` as every saved file is written (see
// safeWriteWhole): a failed save or a crash leaves the old file whole.
// False when it could not be written.
bool writeTextFile(const char* path, const std::string& text);

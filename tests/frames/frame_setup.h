// Shared set-up of the build tests: a clean state block, a private
// directory, and frames written as real files into the frame table.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "base/runtime.h"
#include "frames/bounds.h"
#include "image/bitmap_format.h"
#include "support/bmp_writer.h"
#include "support/content_bounds.h"
#include "support/pixel_access.h"
#include "support/process.h"
#include "support/recorder.h"
#include "support/riff_reader.h"
#include "ui/build_table.h"
#include "ui/settings_state.h"
#include "ui/state.h"

inline void PrintTo(const ShownError& e, std::ostream* os) {
  *os << "\"" << e.caption << "\" / \"" << e.text << "\"";
}

class FrameTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetAppState();
    files_.clear();
    dir_ = makeTempDir();
    takeShownErrors();
  }
  void TearDown() override {
    releaseFrameBuffers();
    resetAppState();
    setAllocGate(nullptr);
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // Writes the bytes as the next frame's file and puts the frame into the
  // table with the given preview size.
  std::string addFrameFile(const std::string& bytes, int32_t width, int32_t height) {
    std::string file = path("frame" + std::to_string(files_.size()) + ".bmp");
    EXPECT_TRUE(writeFileBytes(file, bytes));
    addFramePath(file, width, height);
    return file;
  }

  // A BMP frame; the preview size is the bitmap's own.
  std::string addBmp(const BmpLayout& layout, const std::vector<uint32_t>& topDown) {
    return addFrameFile(makeBmp(layout, topDown), layout.width,
                        layout.height < 0 ? -layout.height : layout.height);
  }

  void addFramePath(const std::string& file, int32_t width, int32_t height) {
    const int n = appState.frameCount;
    files_.push_back(file);
    FrameRecord& f = appState.frameTable[n];
    f.width = width;
    f.height = height;
    appState.frameCount = n + 1;
    fillPath(n);
  }

  // Paths belong to the build and are freed after it; a second build needs
  // them again, as the editor and the batch script fill them before each.
  void refillPaths() {
    for (int k = 0; k < appState.frameCount; ++k) fillPath(k);
  }

  // One build as the callers run it: build, then release.
  bool buildAndRelease(const std::string& out) {
    bool ok = buildAnimation(out.c_str());
    releaseFrameBuffers();
    return ok;
  }

  // The file read back by the cursor checker, which is to find `defects`
  // defects (frames without columns or rows are ones no loader takes).
  ParsedAni parseFile(const std::string& file, size_t defects = 0) {
    ParsedAni ani;
    std::string error;
    parseAni(readFileBytes(file), ani, error);
    EXPECT_EQ(ani.defectOffsets.size(), defects) << error;
    return ani;
  }

  std::string dir_;
  std::vector<std::string> files_;

 private:
  void fillPath(int k) {
    FrameRecord& f = appState.frameTable[k];
    freeBlock(f.path);
    f.path = static_cast<char*>(allocZeroed(kPathCapacity));
    ASSERT_NE(f.path, nullptr);
    ASSERT_LT(files_[k].size(), static_cast<size_t>(kPathCapacity));
    std::memcpy(f.path, files_[k].c_str(), files_[k].size());
  }
};

// The table's frames as the build's steps take them, and their depth as
// the first frame's header gives it.
inline std::span<FrameRecord> tableFrames() {
  return {appState.frameTable, static_cast<size_t>(frameTotal())};
}
inline bool tableIs24() {
  return frameTotal() > 0 && appState.frameTable[0].header != nullptr &&
         headerBitCount(appState.frameTable[0].header) == 24;
}

// The bounds of one 24-bit frame alone (see findContentBounds8).
inline ContentRect findContentBounds24(const Settings& settings, FrameRecord& f) {
  return unionContentBounds(settings, {&f, 1}, true);
}

// A w x h picture of one value everywhere.
inline std::vector<uint32_t> solid(int32_t w, int32_t h, uint32_t value) {
  return std::vector<uint32_t>(static_cast<size_t>(w) * (h < 0 ? -h : h), value);
}

inline BmpLayout spec24(int32_t w, int32_t h) {
  BmpLayout s;
  s.width = w;
  s.height = h;
  s.bitCount = 24;
  return s;
}

inline BmpLayout spec8(int32_t w, int32_t h, std::vector<uint32_t> palette) {
  BmpLayout s;
  s.width = w;
  s.height = h;
  s.bitCount = 8;
  s.clrUsed = static_cast<uint32_t>(palette.size() == 256 ? 0 : palette.size());
  s.palette = std::move(palette);
  return s;
}

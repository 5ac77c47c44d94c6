// The writer on hand-made cursors: chunk sizes, the pad byte, the
// directory entry and the header it writes.
#include <gtest/gtest.h>

#include "support/bmp_writer.h"

#include <cstring>
#include <string>
#include <vector>

#include "ani/ani_writer.h"
#include "support/process.h"
#include "support/riff_reader.h"

namespace {

class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cursor_ = cursor::Cursor{};
    dir_ = makeTempDir();
  }
  void TearDown() override { cursor_ = cursor::Cursor{}; }
  // A frame as the build hands it to the writer, with marked bytes so that
  // the fields the writer fills show.
  void addFrame(bool is24, int32_t width, int32_t doubledHeight, int32_t pixelBytes,
                int32_t maskBytes) {
    cursor::Image image;
    image.width = width;
    image.height = doubledHeight / 2;
    image.depth = is24 ? 24 : 8;
    image.sizeImage = 0xEEEEEEEE;
    if (!is24) image.palette = cursor::Bytes(1024, 0xEE);
    image.pixels = cursor::Bytes(static_cast<size_t>(pixelBytes), 0x5A);
    image.mask = cursor::Bytes(static_cast<size_t>(maskBytes), 0xA5);
    cursor_.frames.push_back({{image}});
    cursor_.steps = cursor::stepsInOrder(cursor_.frames.size(), 10);
  }
  std::string write() {
    const std::string out = dir_ + "/w" + std::to_string(files_++) + ".anim";
    EXPECT_TRUE(writeCursorFile(cursor_, out.c_str()));
    return readFileBytes(out);
  }
  cursor::Cursor cursor_;
  std::string dir_;
  int files_ = 0;
};

TEST_F(WriterTest, ChunkSizesFollowTheFrames) {
  struct Case {
    bool is24;
    int32_t width, doubledHeight, pixelBytes, maskBytes;
    uint32_t chunkSize;
    bool padded;
  } cases[] = {
      {false, 32, 64, 1024, 128, 2238, false},
      {true, 32, 64, 3072, 128, 3262, false},
      {true, 3, 2, 9, 4, 75, true},  // an odd size gets a pad byte
      {true, 1, 2, 3, 4, 69, true},
  };
  for (const auto& c : cases) {
    SetUp();
    addFrame(c.is24, c.width, c.doubledHeight, c.pixelBytes, c.maskBytes);
    addFrame(c.is24, c.width, c.doubledHeight, c.pixelBytes, c.maskBytes);
    const std::string bytes = write();
    const uint32_t rounded = c.chunkSize + (c.padded ? 1 : 0);
    ASSERT_EQ(bytes.size(), 68u + 2 * (8 + rounded));
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(le32(bytes, 60), 4 + 2 * (8 + rounded));
    for (int k = 0; k < 2; ++k) {
      const size_t chunk = 68 + k * (8 + rounded);
      EXPECT_EQ(bytes.substr(chunk, 4), "icon");
      EXPECT_EQ(le32(bytes, chunk + 4), c.chunkSize);
      EXPECT_EQ(le32(bytes, chunk + 8 + 14), c.chunkSize - 22) << "bytes in resource";
      const size_t mask = chunk + 8 + c.chunkSize - c.maskBytes;
      EXPECT_EQ(static_cast<uint8_t>(bytes[mask - 1]), 0x5A) << "last colour byte";
      EXPECT_EQ(static_cast<uint8_t>(bytes[mask]), 0xA5) << "first mask byte";
      if (c.padded) {
        EXPECT_EQ(bytes[chunk + 8 + c.chunkSize], 0);
      }
    }
    TearDown();
  }
}

TEST_F(WriterTest, EntryAndHeaderCarryTheFrameSize) {
  struct Case {
    int32_t width, doubledHeight;
    uint8_t entryWidth, entryHeight;
  } cases[] = {{32, 64, 32, 32}, {256, 2, 0, 1}, {3, 512, 3, 0}, {300, 600, 0, 0}};
  for (const auto& c : cases) {
    SetUp();
    addFrame(false, c.width, c.doubledHeight, 4, 4);
    const std::string bytes = write();
    const size_t entry = 68 + 8 + 6, header = entry + 16;
    EXPECT_EQ(static_cast<uint8_t>(bytes[entry]), c.entryWidth);
    EXPECT_EQ(static_cast<uint8_t>(bytes[entry + 1]), c.entryHeight);
    EXPECT_EQ(bytes.substr(entry + 2, 6), std::string(6, '\0')) << "colours, hotspot";
    EXPECT_EQ(le32(bytes, entry + 12), 22u);
    EXPECT_EQ(le32(bytes, header), 40u);
    EXPECT_EQ(le32(bytes, header + 8), static_cast<uint32_t>(c.doubledHeight));
    EXPECT_EQ(le32(bytes, header + 20), 0xEEEEEEEEu) << "biSizeImage is kept";
    EXPECT_EQ(bytes.substr(header + 24, 16), std::string(16, '\0'));
    TearDown();
  }
}

TEST_F(WriterTest, NoFramesGiveTheBareHeaders) {
  const std::string bytes = write();
  ParsedAni ani;
  std::string error;
  // Well formed, but a cursor without frames or steps is one no loader takes.
  EXPECT_FALSE(parseAni(bytes, ani, error));
  EXPECT_EQ(ani.defectOffsets, (std::vector<uint64_t>{24, 28})) << error;
  EXPECT_EQ(ani.fileLength, 68u);
  EXPECT_EQ(ani.riffSize, 60u);
  EXPECT_EQ(ani.anihSize, 36u);
  EXPECT_EQ(ani.headerSize, 36u);
  EXPECT_EQ(ani.listSize, 4u);
  EXPECT_EQ(ani.width + ani.height + ani.bitCount + ani.planes, 0u);
}

TEST_F(WriterTest, AnExistingFileIsNeverOpened) {
  const std::string out = dir_ + "/taken.anim";
  ASSERT_TRUE(writeFileBytes(out, "taken"));
  addFrame(false, 2, 4, 8, 8);
  EXPECT_FALSE(writeCursorFile(cursor_, out.c_str()));
  EXPECT_EQ(readFileBytes(out), "taken");
}

}  // namespace

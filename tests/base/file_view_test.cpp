// Views of whole files, as the section reader and the preview take them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "support/process.h"

namespace {

#ifndef _WIN32
// Another program may cut a file short while it is being read. A view must
// then either hold what was read or not exist; it must never fault (a mapped
// page beyond the new end would kill the process).
TEST(FileView, AFileCutShortAroundTheReadNeverFaults) {
  const std::string path = makeTempDir() + "/shrinking.txt";
  const std::string bytes(100000, 'x');
  for (bool cutBeforeTheView : {false, true}) {
    SCOPED_TRACE(cutBeforeTheView ? "cut between size and view" : "cut after the view");
    ASSERT_TRUE(writeFileBytes(path, bytes));
    plat::FileHandle file = plat::openForRead(path.c_str());
    ASSERT_NE(file, plat::kInvalidFile);
    const auto size = static_cast<uint32_t>(plat::fileSize(file));
    plat::MapHandle mapping = plat::createReadMapping(file, size);
    if (cutBeforeTheView) std::filesystem::resize_file(path, 10);
    const uint8_t* view = plat::mapView(mapping, size);
    if (!cutBeforeTheView) std::filesystem::resize_file(path, 10);
    if (cutBeforeTheView) {
      EXPECT_EQ(view, nullptr) << "the file no longer holds what was measured";
    } else {
      ASSERT_NE(view, nullptr);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(view), size), bytes);
    }
    plat::unmapView(view, size);
    plat::closeMapping(mapping);
    plat::closeFile(file);
  }
}
#endif

}  // namespace

#include "ui/build_table.h"

#include <vector>

#include "base/runtime.h"
#include "ui/settings_state.h"
#include "ui/state.h"

bool buildAnimation(const char* outputPath, PreviewSize preview, const AnimationOptions* options) {
  if (outputPath == nullptr) outputPath = "";
  std::vector<FrameSource> sources(static_cast<size_t>(frameTotal()));
  for (size_t k = 0; k < sources.size(); ++k) {
    const FrameRecord& f = appState.frameTable[k];
    sources[k] = {f.path, f.pathTooLong != 0, f.width, f.height};
  }
  if (outputReplacesAFrame(outputPath, sources)) return false;
  const BuildResult built =
      buildAndSave(currentSettings(), sources, {preview, options, outputPath});
  for (size_t k = 0; k < built.sizes.size(); ++k) {
    appState.frameTable[k].width = built.sizes[k].width;
    appState.frameTable[k].height = built.sizes[k].height;
  }
  return built.built;
}

void releaseFrameBuffers() {
  const int n = frameTotal();
  for (int k = 0; k < n; ++k) {
    FrameRecord& f = appState.frameTable[k];
    releaseBlock(f.path);
    releaseFrameBlocks(f);
    f.pathTooLong = 0;
  }
}

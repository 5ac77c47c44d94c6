// The bundled example, examples/spinner, built in this process as the
// program builds it: frames and options from its build.txt, and magenta
// transparent as its kinetor.ini says. Also kinetor-show run on files.
#pragma once

#include <string>

#include "frames/frame_setup.h"
#include "frames/script_options.h"
#include "support/process.h"
#include "textfile/section_text.h"

class ExampleCursorTest : public FrameTableTest {
 protected:
  // Builds the twelve example frames into `name` in the test's folder and
  // returns the file's bytes.
  std::string buildExample(const std::string& name) {
    std::string example = std::string(KINETOR_SOURCE_DIR) + "/examples/spinner/";
#ifdef _WIN32
    if (example[0] == '/') example = "Z:" + example;
#endif
    for (int i = 1; i <= 12; ++i) {
      addFramePath(example + "frame" + (i < 10 ? "0" : "") + std::to_string(i) + ".bmp", 32, 32);
    }
    appState.optTransparent = 1;
    appState.transColors[0] = 0xFF00FF;
    appState.transCount = 1;
    static AnimationOptions options;
    options = AnimationOptions{};
    SectionText script;
    char problem[kScriptProblemCapacity] = {};
    EXPECT_TRUE(openSectionText((example + "build.txt").c_str(), script));
    EXPECT_TRUE(readScriptOptions(script, 12, options, problem)) << problem;
    closeSectionText(script);
    EXPECT_TRUE(buildAnimation(path(name).c_str(), PreviewSize::kept, &options));
    releaseFrameBuffers();
    return readFileBytes(path(name));
  }

  static ProcessResult show(const std::vector<std::string>& arguments) {
    ProcessResult r = runProgram(KINETOR_SHOW_EXE, arguments);
    // The Windows program writes text-mode line ends.
    std::erase(r.output, '\r');
    return r;
  }
};

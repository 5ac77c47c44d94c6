// The real program, run as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"

namespace fs = std::filesystem;

namespace {

TEST(ProgramExit, MissingScriptEndsAtOnceWithCodeTwo) {
  std::string dir = makeTempDir();
  ProcessResult r = runKinetor(dir + "/no-such-script.txt", 30);
  EXPECT_EQ(r.exitCode, 2);
}

#ifndef _WIN32
TEST(ProgramExit, NoArgumentExplainsTheBatchModeOnPosix) {
  ProcessResult r = runKinetor("");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.errorOutput.find("kinetor SCRIPT"), std::string::npos) << r.errorOutput;
  // One line only.
  EXPECT_EQ(r.errorOutput.find('\n'), r.errorOutput.size() - 1) << r.errorOutput;
}
#endif

// A path as this process's file calls take it (Wine reaches "/" as Z:).
std::string hostPath(std::string path) {
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
#endif
  return path;
}

// The test build of the program, and the shipped build where the tests know
// one.
std::vector<std::string> programs() {
  std::vector<std::string> list{KINETOR_EXE};
#ifdef KINETOR_SHIPPED_EXE
  list.push_back(KINETOR_SHIPPED_EXE);
#endif
  return list;
}

std::string scriptText(const std::string& output, const std::vector<std::string>& frames) {
  std::string text = "[Result]\r\n" + output + "\r\n[BMP]\r\n";
  for (const auto& f : frames) text += f + "\r\n";
  return text;
}

// Every program, copied into a folder whose name holds a blank beside the
// example's settings, builds the example from a script in such a folder:
// typed in quotes, typed bare (one argument on Windows, two words for a POSIX
// shell), and with a frame missing, which keeps the old file.
TEST(TypedPaths, ScriptPathsWithBlanksReachTheProgram) {
  const std::string example = hostPath(KINETOR_SOURCE_DIR "/examples/spinner/");
  std::vector<std::string> frames;
  for (int i = 1; i <= 12; ++i) {
    frames.push_back(example + "frame" + (i < 10 ? "0" : "") + std::to_string(i) + ".bmp");
  }
  std::string reference;
  for (const std::string& program : programs()) {
    SCOPED_TRACE(program);
    const fs::path home = makeTempDir();
    fs::create_directory(home / "my programs");
    fs::create_directory(home / "my scripts");
    const fs::path exe = home / "my programs" / fs::path(program).filename();
    fs::copy_file(hostPath(program), exe);
    fs::copy_file(example + "kinetor.ini", home / "my programs" / "kinetor.ini");
    const std::string out = (home / "my scripts" / "spinner.anim").string();
    const std::string script = (home / "my scripts" / "build.txt").string();
    const std::string broken = (home / "my scripts" / "broken.txt").string();
    ASSERT_TRUE(writeFileBytes(script, scriptText(out, frames)));
    const std::string missing = (home / "my scripts" / "gone.bmp").string();
    ASSERT_TRUE(writeFileBytes(broken, scriptText(out, {frames[0], missing})));

#ifdef _WIN32
    const bool bareWorks = true;  // the rest of the line is the one argument
#else
    const bool bareWorks = false;  // the shell makes two arguments of it
#endif
    struct Case {
      const char* what;
      std::string typed;
      int exitCode;
      bool keepsOld;
      std::string report;  // a message box on Windows, standard error on POSIX
    };
    const Case cases[] = {
        {"quoted", "\"" + script + "\"", 1, false, ""},
        {"bare", script, bareWorks ? 1 : 2, !bareWorks,
         bareWorks ? "" : "more than one argument (a path with blanks needs quotes)\nusage:"},
        {"quoted, a frame missing", "\"" + broken + "\"", 2, true, "Can't load file: " + missing},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.what);
      ASSERT_TRUE(writeFileBytes(out, "old file"));
      ProcessResult r = runTyped(exe.string(), c.typed);
      EXPECT_EQ(r.exitCode, c.exitCode) << r.errorOutput;
#ifdef _WIN32
      EXPECT_EQ(r.boxes,
                c.report.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.report});
#else
      EXPECT_NE(r.errorOutput.find(c.report), std::string::npos) << r.errorOutput;
      if (c.report.empty()) {
        EXPECT_EQ(r.errorOutput, "");
      }
#endif
      const std::string written = readFileBytes(out);
      if (c.keepsOld) {
        EXPECT_EQ(written, "old file");
        continue;
      }
      ASSERT_EQ(written.substr(0, 4), "RIFF");
      if (reference.empty()) reference = written;
      EXPECT_EQ(written, reference) << "every program builds the same bytes";
    }
  }
  EXPECT_FALSE(reference.empty());
}

#ifndef _WIN32
TEST(TypedPaths, VersionAndHelpAnswerAndAScriptNamedLikeAnOptionStaysReachable) {
  const fs::path dir = makeTempDir();
  const std::string exe = (dir / "kinetor").string();
  fs::copy_file(KINETOR_EXE, exe);
  const std::string frame = KINETOR_SOURCE_DIR "/examples/spinner/frame01.bmp";
  ASSERT_TRUE(writeFileBytes((dir / "--help").string(),
                             scriptText((dir / "help.anim").string(), {frame, frame})));
  struct Case {
    const char* typed;
    int exitCode;
    std::vector<std::string> output;  // each found on standard output
    const char* error;                // found on standard error; "" for none
  };
  const Case cases[] = {
      {"--version", 0, {"kinetor " KINETOR_VERSION "\n"}, ""},  // and nothing more, below
      {"--help",
       0,
       {"usage: kinetor SCRIPT", "[Result]\n", "[BMP]\n", "Exit code 1", "2: it was not",
        "1. the script itself",
        "2. the settings file beside the program:\n     " + (dir / "kinetor.ini").string() +
            "\n  3. "},
       ""},
      {"./--help", 1, {}, ""},
      {"--version --help", 2, {}, "usage: kinetor SCRIPT"},
  };
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    ProcessResult r = runTyped(exe, c.typed);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.errorOutput;
    for (const auto& text : c.output) EXPECT_NE(r.output.find(text), std::string::npos) << r.output;
    if (c.output.empty() || c.typed == std::string("--version")) {
      EXPECT_EQ(r.output, c.output.empty() ? "" : c.output[0]);
    }
    if (c.error[0] == '\0') {
      EXPECT_EQ(r.errorOutput, "");
    }
    EXPECT_NE(r.errorOutput.find(c.error), std::string::npos) << r.errorOutput;
  }
  fs::current_path(before);
  EXPECT_EQ(readFileBytes((dir / "help.anim").string()).substr(0, 4), "RIFF");
}
#endif

}  // namespace

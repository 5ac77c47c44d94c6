#include "app/startup.h"

#include <string>

#include "app/batch.h"
#include "app/command_line.h"
#include "base/runtime.h"
#include "platform/platform.h"
#include "ui/file_names.h"
#include "ui/preview.h"
#include "ui/settings_state.h"
#include "ui/shell.h"
#include "ui/state.h"

#ifndef KINETOR_VERSION
#error "KINETOR_VERSION comes from the project's version in CMakeLists.txt"
#endif

namespace {

constexpr char kUsage[] = "usage: kinetor SCRIPT | --help | --version";

void printHelp() {
  std::string text = kUsage;
  text +=
      "\n"
      "Builds the animated cursor that SCRIPT describes. A script names the output\n"
      "file, then at least two BMP frames, in this form:\n"
      "  [Result]\n"
      "  busy.anim\n"
      "  [BMP]\n"
      "  busy1.bmp\n"
      "  busy2.bmp\n"
      "The optional sections [Hotspot], [Rate], [Sequence], [Title], [Author] and\n"
      "[Sizes] are described in the README. An output ending in .cur with exactly\n"
      "one frame is written as a static cursor.\n"
      "Exit code 1: the file was written; 2: it was not (the reason is printed).\n"
      "Options and colours come from the first of:\n"
      "  1. the script itself, when it holds any of the settings sections [Fix],\n"
      "     [Rpl], [Trans], [Resize], [TransColors] or [ReplaceColor], written as\n"
      "     in kinetor.ini: then from the script alone;\n"
      "  2. the settings file beside the program:\n     ";
  computeProgramDir();
  char settings[kPathCapacity];
  text += settingsFilePath(settings) ? settings : "(none: the program's folder is too deep)";
  if (userSettingsFilePath(settings)) {
    text += "\n  3. the user's settings file, in $XDG_CONFIG_HOME (or ~/.config):\n     ";
    text += settings;
  }
  text += "\n";
  plat::printText(text.c_str());
}

// Answers what a POSIX command line asks for besides a build. True with the
// exit code when the program is to end at once.
bool answerShellRequest(const ShellArguments& request, int& exitCode) {
  switch (request.request) {
    case ShellRequest::kRun:
      return false;
    case ShellRequest::kVersion:
      plat::printText("kinetor " KINETOR_VERSION "\n");
      exitCode = 0;
      return true;
    case ShellRequest::kHelp:
      printHelp();
      exitCode = 0;
      return true;
    case ShellRequest::kTooMany:
      plat::diagnostic(
          (std::string("kinetor: more than one argument (a path with blanks needs quotes)\n") +
           kUsage)
              .c_str());
      exitCode = 2;
      return true;
  }
  return false;
}

}  // namespace

int runProgram(int argc, char** argv) {
  // POSIX hands over the arguments already split; the Windows program takes
  // its command line apart itself below.
  char* commandLine = plat::commandLine();
  ShellArguments shell;
  if (commandLine == nullptr) {
    shell = readShellArguments(argc, argv);
    int exitCode = 0;
    if (answerShellRequest(shell, exitCode)) return exitCode;
  }

  appState.instance = plat::moduleInstance();
  initCommonControls();
  loadSettings();
  registerWindowClasses();
  appState.commandArgs =
      commandLine != nullptr ? unquoteArgument(skipProgramName(commandLine)) : shell.script;

  int exitCode = 1;
  const bool hasArgument = appState.commandArgs != nullptr && appState.commandArgs[0] != '\0';
  if (hasArgument && editorAvailable() && namesCursorFile(appState.commandArgs)) {
    // As Explorer's "Open with" starts it: the cursor opens in the editor.
    runMainDialog(appState.commandArgs);
  } else if (hasArgument) {
    // A failed batch run must be distinguishable from a good one by scripts.
    exitCode = runBatchScript(appState.commandArgs) ? 1 : 2;
  } else if (editorAvailable()) {
    runMainDialog();
  } else {
    plat::diagnostic(
        "kinetor: the editor is part of the Windows program; "
        "to build a cursor here, run: kinetor SCRIPT");
    exitCode = 2;
  }
  releaseAllPreviews();
  return exitCode;
}

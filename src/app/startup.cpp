#include "app/startup.h"

#include "app/batch.h"
#include "app/command_line.h"
#include "base/runtime.h"
#include "base/state.h"
#include "platform/platform.h"
#include "textfile/settings.h"
#include "ui/preview.h"
#include "ui/shell.h"

int runProgram() {
  appState.instance = plat::moduleInstance();
  initCommonControls();
  loadSettings();
  registerWindowClasses();
  appState.commandArgs = skipProgramName(plat::commandLine());

  int exitCode = 1;
  if (appState.commandArgs != nullptr && appState.commandArgs[0] != '\0') {
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

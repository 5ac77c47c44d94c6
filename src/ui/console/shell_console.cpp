// Outside Windows the program is the command-line tool only.
#include "ui/shell.h"

bool editorAvailable() { return false; }
void initCommonControls() {}
void registerWindowClasses() {}
void runMainDialog(const char*) {}

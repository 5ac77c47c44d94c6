#pragma once

// The program's start-up sequence: settings, window classes, then the batch
// build or the editor, then the release of the previews. Returns the exit
// code: 1 after the editor and after a batch build that wrote its file, 2
// after a batch run that did not. On POSIX `argc` and `argv` are main's (the
// Windows program reads its command line itself) and may ask for the help or
// the version instead, which end with 0.
int runProgram(int argc, char** argv);

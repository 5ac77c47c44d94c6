#pragma once

// The program's start-up sequence: settings, window classes, then the batch
// build or the editor, then the release of the previews. Returns the exit
// code: 1 after the editor and after a batch build that wrote its file, 2
// after a batch run that did not.
int runProgram();

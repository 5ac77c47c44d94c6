// The Windows command line as GetCommandLineA hands it over.
#pragma once

// Cuts the program name off a modifiable command line and returns the
// argument part, or null when there is none.
char* skipProgramName(char* commandLine);

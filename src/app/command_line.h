// The command line: the Windows one as GetCommandLineA hands it over, and the
// POSIX one as the shell has already split it into arguments.
#pragma once

// Cuts the program name off a modifiable command line and returns the
// argument part, or null when there is none.
char* skipProgramName(char* commandLine);

// A Windows argument part that is one path in double quotes (as Explorer
// passes a dropped file) loses the quotes: no Windows path can hold one, so
// the quoted form could never be opened. Anything else comes back as it is.
char* unquoteArgument(char* argument);

// What a POSIX command line asks for.
enum class ShellRequest {
  kRun,      // the script (argv[1] verbatim), or none: null
  kVersion,  // --version
  kHelp,     // --help
  kTooMany,  // more than one argument
};

struct ShellArguments {
  ShellRequest request = ShellRequest::kRun;
  char* script = nullptr;
};

ShellArguments readShellArguments(int argc, char** argv);

// Runs the real program in a child process and reports how it ended.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
  // -1 when the child could not be run; errorOutput then says why (on
  // Windows: the failing call, its error code, and the command line or the
  // output file).
  int exitCode = -1;
  std::string output;       // standard output (POSIX only, but runProgram everywhere)
  std::string errorOutput;  // standard error (POSIX only, but runProgram everywhere)
  // Windows only: the message boxes the program showed, as "caption: text",
  // each closed with OK as soon as it appeared.
  std::vector<std::string> boxes;
};

// Runs the kinetor program with `argument` as its whole argument part (none
// when empty) and waits up to `timeoutSeconds` for it; a run that does not
// end by then is killed and reported with exit code -2.
ProcessResult runKinetor(const std::string& argument, int timeoutSeconds = 60);

// The same for a copy of the program at `exePath` (for instance one placed
// beside a settings file of the test's own).
ProcessResult runKinetorAt(const std::string& exePath, const std::string& argument,
                           int timeoutSeconds = 60);

// Runs a program the way a user types its command: the quoted program path,
// a blank, then `typed` as the rest of the line. POSIX hands the line to
// /bin/sh, which splits and unquotes it; Windows passes it to the program as
// its command line, which the program takes apart itself.
ProcessResult runTyped(const std::string& exePath, const std::string& typed,
                       int timeoutSeconds = 60);

// Runs a console program with the given arguments, each passed as one
// argument, and collects its standard output and standard error (on
// Windows too).
ProcessResult runProgram(const std::string& exePath, const std::vector<std::string>& arguments,
                         int timeoutSeconds = 60);

// A fresh, empty directory for one test's files (removed at process exit is
// not promised; names are unique per process and call).
std::string makeTempDir();

// Reads and writes whole files as bytes.
std::string readFileBytes(const std::string& path);
bool writeFileBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

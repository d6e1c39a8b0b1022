#pragma once

#include <string>
#include <vector>

namespace lettermoor::test {

// What one run of lettermoor-cli left behind.
struct CliRun {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Where the tool's standard output goes, and the limits it runs under.
struct CliSetup {
  enum class Out {
    Capture,     // a file, read back into CliRun::out
    Closed,      // no standard output at all
    Full,        // /dev/full: every write fails with "no space"
    ReaderGone,  // a pipe whose reading end is already closed
  };
  Out out = Out::Capture;
  long long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes, when not negative
  std::string in;                // a file to read standard input from; by default this process's
  unsigned hangAlarm = 0;        // seconds after which an alarm ends a tool that hangs (0: none)
};

// Runs the built lettermoor-cli with `arguments` in the working directory `cwd`, capturing both
// output streams completely.
CliRun RunCli(const std::vector<std::string>& arguments, const std::string& cwd, const CliSetup& setup = {});

// The lines of a text, without their "\n" (a last line without one counts too).
std::vector<std::string> Lines(const std::string& text);

// The tab-separated fields of one line.
std::vector<std::string> Fields(const std::string& line);

}  // namespace lettermoor::test

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

// Runs the built lettermoor-cli with `arguments` in the working directory `cwd`, capturing both
// output streams completely.
CliRun RunCli(const std::vector<std::string>& arguments, const std::string& cwd);

// The lines of a text, without their "\n" (a last line without one counts too).
std::vector<std::string> Lines(const std::string& text);

// The tab-separated fields of one line.
std::vector<std::string> Fields(const std::string& line);

}  // namespace lettermoor::test

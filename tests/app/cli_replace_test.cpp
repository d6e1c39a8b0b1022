// lettermoor-cli replace: a name renamed through the sample's script, as one import.

#include <gtest/gtest.h>

#include <algorithm>

#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

class CliReplace : public CliSample {
 protected:
  std::string Expanded(const std::string& stem) {
    const CliRun made = Run({"make-sample", "--expanded", Name(stem)});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return Dir() + "/" + Name(stem);
  }
};

// Every way the command ends, with the exit code, whether the ROM or the copy changed, and the
// last line of what it said.
TEST_F(CliReplace, ExitsAsAnImportAndWritesAllOrNothing) {
  struct Case {
    const char* name;
    bool expanded;
    std::vector<std::string> arguments;  // after the ROM
    int exitCode;
    bool romChanged;
    bool copyWritten;
    std::string said;  // in the last line of its output (standard output, else standard error)
  };
  const std::vector<Case> cases = {
      {"dry run", true, {"Tobias", "Tobiah", "--dry-run"}, 0, false, false, "Dry run: nothing was written."},
      {"renamed", true, {"Tobias", "Tobiah"}, 0, true, false, " moved, 0 too large, 0 stale), 0 unchanged."},
      {"into a copy", true, {"Tobias", "Tobiah", "-o", "copy.smc"}, 0, false, true, "0 too large"},
      // Nothing leads to a raw listing's text from outside it: it cannot move, and so none moves.
      {"raw listing, moved", true, {"Tobias", "Tobiah", "--listing", "raw"}, 1, false, false, "nothing was written."},
      {"raw listing, in place", true, {"Tobias", "T", "--listing", "raw"}, 0, true, false, "0 too large"},
      {"no room", false, {"Tobias", "Tobiah"}, 1, false, false, "nothing was written."},
      {"moving off", true, {"Tobias", "Tobiah", "--no-relocate"}, 1, false, false, "nothing was written."},
      {"case matched", true, {"tobias", "Tobiah", "--match-case"}, 1, false, false, "holds \"tobias\""},
      {"only in codes", true, {"02]", "03]"}, 1, false, false, "holds \"02]\""},
      {"codes matched", true, {"[03 02]", "[13 02]", "--match-codes"}, 0, true, false, "0 too large"},
      {"breaks a text", true, {"Tobias", "Tob["}, 2, false, false, "Nothing was replaced."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string rom = c.expanded ? Expanded("replace") : CopyOfSample("replace");
    std::remove((Dir() + "/copy.smc").c_str());
    const std::vector<uint8_t> before = ReadBytes(rom);
    std::vector<std::string> arguments = {"replace", rom};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const CliRun run = Run(arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(ReadBytes(rom) != before, c.romChanged);
    const std::vector<uint8_t> copy = ReadBytes(Dir() + "/copy.smc");
    EXPECT_EQ(!copy.empty() && copy != before, c.copyWritten);
    const std::vector<std::string> said = Lines(run.out.empty() ? run.err : run.out);
    ASSERT_FALSE(said.empty());
    EXPECT_NE(said.back().find(c.said), std::string::npos) << said.back();
  }
}

// After the rename no line holds the old name, and every line that held it holds the new one.
TEST_F(CliReplace, RenamesTheNameOnEveryLine) {
  const std::string rom = Expanded("renamed");
  const auto linesHolding = [&](const char* name) {
    std::vector<std::string> lines;
    for (const std::string& line : Lines(Run({"search", rom, name}).out)) lines.push_back(Fields(line).at(0));
    return lines;
  };
  const std::vector<std::string> before = linesHolding("Tobias");
  ASSERT_GT(before.size(), 20u);
  const CliRun run = Run({"replace", rom, "Tobias", "Tobiah"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(linesHolding("Tobias").empty());
  std::vector<std::string> after = linesHolding("Tobiah");
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace lettermoor::test

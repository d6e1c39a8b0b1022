// lettermoor-cli refs and apply --relocate / --allow-larger over a ROM whose references are known.

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "support/reference_scenario.h"

namespace lettermoor::test {
namespace {

TEST(CliReferences, RefsRelocateAndOverwrittenLines) {
  TempDir dir;
  TempFile rom;
  rom.WriteAll(ReferenceScenario::Image().Bytes());
  const std::vector<std::string> refs = {"record 0\tF8B92", "record 2\tF8BB4", "plain pointer 0\t157D6C",
                                         "GOTO\t60102"};
  CliRun run = RunCli({"refs", rom.Path(), "1"}, dir.Path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Lines(run.out), refs);

  // Too long for its place: moved, and every reference follows it.
  run = RunCli({"apply", rom.Path(), "1", "A text much longer than the old one[02]", "--relocate"}, dir.Path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "Moved line 1 to $F00000: 4 references repointed.\n");
  run = RunCli({"refs", rom.Path(), "3"}, dir.Path());
  EXPECT_EQ(Lines(run.out), refs);
  run = RunCli({"show", rom.Path(), "5"}, dir.Path());
  EXPECT_EQ(run.out, "A text much longer than the old one[02]\n");

  // With the guard off, line 2's longer text runs on over line 4's string, and says so.
  run = RunCli({"apply", rom.Path(), "2", std::string(0x101, 'x') + "[02]", "--allow-larger"}, dir.Path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "Overwrote line 4.\n");

  // No end code: refused, nothing written.
  const std::vector<uint8_t> before = rom.ReadAll();
  run = RunCli({"apply", rom.Path(), "4", std::string(40, 'y'), "--relocate"}, dir.Path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("end code [02]"), std::string::npos) << run.err;
  EXPECT_EQ(rom.ReadAll(), before);
}

}  // namespace
}  // namespace lettermoor::test

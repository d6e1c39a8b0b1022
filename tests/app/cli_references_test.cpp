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

// info tells the free space left in the expansion area: all of it, then less what a move took.
TEST(CliReferences, InfoTellsTheFreeSpaceLeft) {
  TempDir dir;
  TempFile rom;
  auto freeSpaceLine = [&] {
    const CliRun run = RunCli({"info", rom.Path()}, dir.Path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    return lines.empty() ? std::string() : lines.back();
  };
  rom.WriteAll(ReferenceScenario::Image(false).Bytes());
  EXPECT_EQ(freeSpaceLine(), "Free space: none (the ROM is not expanded)");
  rom.WriteAll(ReferenceScenario::Image(true).Bytes());
  EXPECT_EQ(freeSpaceLine(), "Free space: 1048576 bytes in the expansion area");
  const std::string text = "A text much longer than the old one[02]";
  ASSERT_EQ(RunCli({"apply", rom.Path(), "1", text, "--relocate"}, dir.Path()).exitCode, 0);
  const CliRun measured = RunCli({"measure", rom.Path(), text}, dir.Path());
  ASSERT_EQ(measured.exitCode, 0) << measured.err;
  EXPECT_EQ(freeSpaceLine(),
            "Free space: " + std::to_string(1048576 - std::stoi(measured.out)) + " bytes in the expansion area");
}

// An apply names the other lines whose text it changed: those that read some of its bytes (a
// second entry point into the string, or the string it starts inside), whatever its size, and
// those a longer text ran on over. Lines showing the same text are not named.
TEST(CliReferences, ApplyNamesTheOtherLinesItChanged) {
  TempDir dir;
  TempFile rom;
  rom.WriteAll(SharedBytesScenario::Image().Bytes());
  const struct {
    std::vector<std::string> args;  // after "apply ROM"
    const char* out;
  } steps[] = {
      {{"1", "Howdy there, friend[02]"}, ""},
      {{"1", "Hello there, pal[02]"}, "Changed line 2 too.\n"},
      {{"4", "Hello there, pam[02]"}, "Changed line 2 too.\n"},
      {{"2", "there, ma[02]"}, "Changed line 1 too.\nChanged line 4 too.\n"},
      {{"3", "Otter[02]"}, ""},
      {{"1", std::string(0x101, 'x') + "[02]", "--allow-larger"}, "Overwrote line 3.\nChanged line 2 too.\n"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.args[1]);
    std::vector<std::string> args = {"apply", rom.Path()};
    args.insert(args.end(), step.args.begin(), step.args.end());
    const CliRun run = RunCli(args, dir.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, step.out);
  }
  const CliRun shown = RunCli({"show", rom.Path(), "2"}, dir.Path());
  EXPECT_EQ(shown.out, std::string(0xFB, 'x') + "[02]\n");
}

}  // namespace
}  // namespace lettermoor::test

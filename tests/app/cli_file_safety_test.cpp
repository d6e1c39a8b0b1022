// lettermoor-cli never turns the ROM or an earlier dump into something else: a dump into the ROM
// is refused, a dump that fails leaves the old one, and output it cannot write is an error.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliFileSafety = CliSample;

// A dump named after the ROM (by any path) used to empty the ROM and fill it with text.
TEST_F(CliFileSafety, ADumpIntoTheRomItselfIsRefused) {
  const std::string dir = Dir() + "/own";
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  const std::vector<uint8_t> pristine = ReadBytes(RomPath());
  ASSERT_TRUE(WriteBytesTo(dir + "/d.smc", pristine));
  ASSERT_EQ(::link((dir + "/d.smc").c_str(), (dir + "/hard.smc").c_str()), 0);
  ASSERT_EQ(::symlink("d.smc", (dir + "/soft.smc").c_str()), 0);
  ASSERT_TRUE(WriteBytesTo(dir + "/ptrlist.txt", pristine));  // a ROM under the dump's own name

  struct Case {
    std::vector<std::string> command;
    std::string rom;
  };
  const Case cases[] = {
      {{"dump", "d.smc", "-o", "d.smc"}, "d.smc"},
      {{"dump", "d.smc", "-o", "./hard.smc"}, "d.smc"},
      {{"dump", "hard.smc", "-o", dir + "/soft.smc"}, "d.smc"},
      {{"dump", "ptrlist.txt"}, "ptrlist.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command.back());
    const CliRun run = RunCli(c.command, dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("ROM file itself"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(dir + "/" + c.rom), pristine);
  }
}

// On a full disk the old dump used to be replaced by a partial one; the file size limit stands in
// for the full disk. Other kinds of target are still written directly.
TEST_F(CliFileSafety, AFailedDumpLeavesThePreviousDumpWhole) {
  const std::string dir = Dir() + "/dumps";
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  const std::string old = "the previous dump\n";
  ASSERT_TRUE(WriteBytesTo(dir + "/out.txt", {old.begin(), old.end()}));

  CliSetup tight;
  tight.fileSizeLimit = 4096;  // far less than a dump of the sample
  const CliRun failed = RunCli({"dump", RomPath(), "-o", "out.txt"}, dir, tight);
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_NE(failed.err.find("Cannot write out.txt"), std::string::npos) << failed.err;
  const std::vector<uint8_t> after = ReadBytes(dir + "/out.txt");
  EXPECT_EQ(std::string(after.begin(), after.end()), old);
  // Nothing of the attempt is left behind in the folder.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) entries += e.path().filename() != "out.txt";
  EXPECT_EQ(entries, 0);

  // Done right, the dump replaces the old file, and a link the user placed is written through.
  ASSERT_EQ(::symlink("out.txt", (dir + "/link.txt").c_str()), 0);
  const CliRun written = RunCli({"dump", RomPath(), "-o", "link.txt"}, dir);
  ASSERT_EQ(written.exitCode, 0) << written.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.txt"));
  EXPECT_GT(ReadBytes(dir + "/out.txt").size(), 4096u);
  EXPECT_EQ(RunCli({"dump", RomPath(), "-o", "/dev/null"}, dir).exitCode, 0);
}

// Output that could not be written used to end with exit 0; with standard output closed, the ROM
// itself was opened as standard output and printed into.
TEST_F(CliFileSafety, OutputThatCannotBeWrittenIsAnErrorExceptIntoAClosedPipe) {
  const std::string rom = CopyOfSample("output.smc");
  const std::vector<uint8_t> before = ReadBytes(rom);
  struct Case {
    CliSetup::Out out;
    int exitCode;
    bool saysSomething;
  };
  const Case cases[] = {
      {CliSetup::Out::Full, 2, true},
      {CliSetup::Out::Closed, 2, true},
      {CliSetup::Out::ReaderGone, 0, false},
  };
  const std::vector<std::vector<std::string>> commands = {
      {"info", rom}, {"list", rom}, {"show", rom, "1"}, {"search", rom, "e"},
      {"details", rom, "1", "--page", "rom"}, {"dump", rom, "-o", "-"},
  };
  for (const Case& c : cases) {
    for (const auto& command : commands) {
      SCOPED_TRACE(command[0] + " into output " + std::to_string(static_cast<int>(c.out)));
      CliSetup setup;
      setup.out = c.out;
      const CliRun run = RunCli(command, Dir(), setup);
      EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
      if (c.saysSomething) {
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find("standard output"), std::string::npos) << run.err;
      } else {
        EXPECT_EQ(run.err, "");
      }
      ASSERT_EQ(ReadBytes(rom), before);
    }
  }
}

}  // namespace
}  // namespace lettermoor::test

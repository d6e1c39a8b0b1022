// lettermoor-cli's answers to bad usage, refused ROMs and lines that do not exist.

#include <gtest/gtest.h>

#include <fstream>

#include "editor/editor_window.h"
#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliUsage = CliSample;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(CliUsage, BadUsagePrintsTheUsageAndExits2) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate", "sample.smc"},
      {"info"},
      {"show", "sample.smc"},
      {"show", "sample.smc", "three"},
      {"list", "sample.smc", "--listing", "sideways"},
      {"details", "sample.smc", "1"},
      {"details", "sample.smc", "1", "--page", "colour"},
      {"apply", "sample.smc", "1"},
      {"search", "sample.smc", "x", "--after", "first"},
      {"make-sample"},
  };
  for (const auto& args : cases) {
    const CliRun run = Run(args);
    const std::string shown = args.empty() ? "(none)" : args[0];
    EXPECT_EQ(run.exitCode, 2) << shown;
    EXPECT_TRUE(Has(run.err, "Usage:")) << shown << ": " << run.err;
    EXPECT_EQ(run.out, "") << shown;
  }
  // The usage names the command that was misused.
  EXPECT_TRUE(Has(Run({"show", "sample.smc"}).err, "Usage: lettermoor-cli show"));
}

TEST_F(CliUsage, EveryCommandHasHelp) {
  for (const char* command :
       {"info", "list", "dump", "show", "search", "apply", "expand", "make-sample", "details"}) {
    const CliRun run = Run({command, "--help"});
    EXPECT_EQ(run.exitCode, 0) << command;
    EXPECT_TRUE(Has(run.out, std::string("Usage: lettermoor-cli ") + command)) << command << run.out;
  }
  // The copy a writing command keeps is the ROM's, not the script's.
  const std::string importHelp = Run({"import", "--help"}).out;
  EXPECT_TRUE(Has(importHelp, "ROM.bak") && !Has(importHelp, "FILE.bak")) << importHelp;
  const CliRun top = Run({"--help"});
  EXPECT_EQ(top.exitCode, 0);
  EXPECT_TRUE(Has(top.out, "make-sample"));
}

TEST_F(CliUsage, RefusedAndUnopenableRomsExit2WithTheWindowsMessages) {
  TempDir dir;
  auto write = [&](const std::string& name, const SyntheticRom& rom) {
    std::ofstream out(dir.File(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(rom.Bytes().data()), static_cast<std::streamsize>(rom.Bytes().size()));
  };
  write("unknown.smc", SyntheticRom(0x20000, "NOT THE GAME"));
  write("mother2.smc", SyntheticRom(0x20000, "MOTHER-2"));
  write("short.smc", SyntheticRom(0x1000, ""));  // ends before the title

  struct Case {
    std::string file;
    std::string err;
  };
  for (const Case& c : {Case{"unknown.smc", std::string(editor_text::kBadRom) + "\n"},
                        Case{"short.smc", std::string(editor_text::kBadRom) + "\n"},
                        Case{"mother2.smc", std::string(editor_text::kMother2) + "\n"}}) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", c.file}, std::vector<std::string>{"show", c.file, "1"},
          std::vector<std::string>{"expand", c.file}}) {
      const CliRun run = RunCli(args, dir.Path());
      EXPECT_EQ(run.exitCode, 2) << c.file << " " << args[0];
      EXPECT_EQ(run.err, c.err) << c.file << " " << args[0];
      EXPECT_EQ(run.out, "");
    }
  }

  const CliRun missing = RunCli({"info", "missing.smc"}, dir.Path());
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_TRUE(Has(missing.err, "missing.smc")) << missing.err;
  EXPECT_EQ(missing.out, "");
}

TEST_F(CliUsage, LinesOutsideTheListingExit2AndWriteNothing) {
  const std::string path = CopyOfSample("lines");
  const std::vector<uint8_t> before = ReadBytes(path);
  const std::vector<std::vector<std::string>> cases = {
      {"show", "lines.smc", "0"},
      {"show", "lines.smc", "2360"},
      {"show", "lines.smc", "-3"},
      {"details", "lines.smc", "99999", "--page", "misc"},
      {"search", "lines.smc", "the", "--after", "2360"},
      {"apply", "lines.smc", "0", "Hi[02]"},
      {"apply", "lines.smc", "2360", "Hi[02]"},
  };
  for (const auto& args : cases) {
    const CliRun run = Run(args);
    EXPECT_EQ(run.exitCode, 2) << args[0] << " " << args[2];
    EXPECT_TRUE(Has(run.err, "2359 lines")) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(ReadBytes(path), before);
  // The last line exists.
  EXPECT_EQ(Run({"show", "lines.smc", "2359"}).exitCode, 0);
}

}  // namespace
}  // namespace lettermoor::test

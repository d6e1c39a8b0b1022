// Our BPS patches against an implementation no one here wrote: the npm package bps 2.0.1, which
// scripts/install-deps puts into the build tree. Its patches apply with ours, ours apply with it
// to the same target, and its verify finds our checksums valid.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "sample_fixture.h"
#include "support/tool_paths.h"

namespace lettermoor::test {
namespace {

const std::string kTool = kBpsToolPath;

bool Succeeded(const std::string& printed) { return printed.find("\u2714") != std::string::npos; }

class BpsInterop : public CliSample {
 protected:
  void SetUp() override {
    if (::access(kTool.c_str(), X_OK) == 0) return;
    if (std::getenv("LETTERMOOR_REQUIRE_BPS_TOOL")) FAIL() << "the npm bps tool is not at " << kTool;
    GTEST_SKIP() << "the npm bps tool is not installed at " << kTool
                 << " (scripts/install-deps --npm-dir DIR installs it)";
  }
  // Runs the npm tool in the sample's folder; gives what it printed. It exits 0 even when it
  // fails, and marks success with a check mark.
  static std::string RunTool(const std::string& arguments) {
    const std::string log = "bps-tool.log";
    const std::string command = "cd '" + Dir() + "' && '" + kTool + "' " + arguments + " > " + log + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadText(Dir() + "/" + log);
  }
};

TEST_F(BpsInterop, OurPatchesApplyWithItAndItsWithOurs) {
  const std::string changed = CopyOfSample("interop-changed");
  ASSERT_EQ(Run({"apply", "--no-backup", changed, "4", "Tobias tipped his hat.[02]"}).exitCode, 0);
  ASSERT_EQ(Run({"make-sample", "--expanded", "interop-expanded.smc"}).exitCode, 0);
  // One string changed, and the expansion's blank blocks.
  for (const std::string& target : {changed, Dir() + "/interop-expanded.smc"}) {
    SCOPED_TRACE(target);
    std::filesystem::remove(Dir() + "/ours.bps");
    std::filesystem::remove(Dir() + "/by-tool.smc");
    ASSERT_EQ(Run({"patch", "create", "sample.smc", target, "-o", "ours.bps"}).exitCode, 0);
    std::string printed = RunTool("verify ours.bps");
    EXPECT_TRUE(Succeeded(printed)) << printed;
    printed = RunTool("apply ours.bps sample.smc by-tool.smc");
    EXPECT_TRUE(Succeeded(printed)) << printed;
    EXPECT_TRUE(ReadBytes(Dir() + "/by-tool.smc") == ReadBytes(target));
  }
  // Its own refusal of a ROM that is not the source agrees with ours.
  const std::string printed = RunTool("apply ours.bps interop-changed.smc refused-by-tool.smc");
  EXPECT_FALSE(Succeeded(printed)) << printed;

  // Its patch of a part of the ROM (its search takes minutes on a whole one), with a string
  // changed and bytes added at the end.
  const std::vector<uint8_t> sample = ReadBytes(RomPath());
  std::vector<uint8_t> part(sample.begin() + 0x50000, sample.begin() + 0x60000);
  ASSERT_TRUE(WriteBytesTo(Dir() + "/part.bin", part));
  const std::string words = "Tobias tipped his hat";
  std::copy(words.begin(), words.end(), part.begin() + 0x1234);
  part.insert(part.end(), words.begin(), words.end());
  ASSERT_TRUE(WriteBytesTo(Dir() + "/part-changed.bin", part));
  const std::string made = RunTool("create part.bin part-changed.bin theirs.bps");
  ASSERT_TRUE(Succeeded(made)) << made;
  CliRun run = Run({"patch", "info", "theirs.bps", "--rom", "part.bin"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("(valid)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ROM: is the patch's source."), std::string::npos) << run.out;
  run = Run({"patch", "apply", "part.bin", "theirs.bps", "-o", "part-ours.bin"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(ReadBytes(Dir() + "/part-ours.bin") == ReadBytes(Dir() + "/part-changed.bin"));
}

}  // namespace
}  // namespace lettermoor::test

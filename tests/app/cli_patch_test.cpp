// lettermoor-cli patch create, apply and info on the sample and the expanded sample, headed and
// headerless: create then apply gives the modified file byte for byte, and every refused apply
// leaves no output file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The value after "Name: " in the tool's output, or "" when no line has it.
std::string Field(const std::string& out, const std::string& name) {
  for (const std::string& line : Lines(out)) {
    if (line.starts_with(name + ": ")) return line.substr(name.size() + 2);
  }
  return {};
}

class CliPatch : public CliLayouts {
 protected:
  // A fresh copy of the sample in this layout, expanded or not.
  std::string Rom(const std::string& stem, bool expanded) {
    const std::string path = CopyOfSample(stem);
    if (expanded) {
      const CliRun run = Run({"expand", "--no-backup", path});
      EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    return path;
  }

  // Every text of the pointer listing longer, imported into a new file `out`: a whole translation.
  void Translate(const std::string& rom, const std::string& out) {
    CliRun run = Run({"export", rom, "-o", "whole.txt"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::ifstream in(Dir() + "/whole.txt");
    std::string edited;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line[0] != '#' && line[0] != '@') line.insert(line.rfind('['), " in other words");
      edited += line + "\n";
    }
    std::ofstream(Dir() + "/whole-translated.txt") << edited;
    run = Run({"import", rom, "whole-translated.txt", "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
};

TEST_P(CliPatch, CreateThenApplyGivesTheModifiedFile) {
  struct Case {
    const char* name;
    bool expanded;
    bool translation;  // else one string changed in place
    size_t bpsLimit;   // the BPS patch is smaller than this
  };
  const std::vector<Case> cases = {
      {"one string, sample", false, false, 100},
      {"one string, expanded sample", true, false, 100},
      {"whole translation, expanded sample", true, true, 400000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string original = Rom("original", c.expanded);
    const std::string modified = Dir() + "/" + Name("modified");
    if (c.translation) {
      std::filesystem::remove(modified);
      Translate(original, Name("modified"));
    } else {
      std::filesystem::copy_file(original, modified, std::filesystem::copy_options::overwrite_existing);
      const CliRun run = Run({"apply", "--no-backup", modified, "5", "Tobias tipped his hat.[02]"});
      ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    const std::vector<uint8_t> want = ReadBytes(modified);
    ASSERT_NE(want, ReadBytes(original));
    for (const char* patch : {"change.bps", "change.ips"}) {
      SCOPED_TRACE(patch);
      CliRun run = Run({"patch", "create", original, modified, "-o", patch});
      ASSERT_EQ(run.exitCode, 0) << run.err;
      const size_t size = ReadBytes(Dir() + "/" + patch).size();
      if (std::string(patch).ends_with(".bps")) { EXPECT_LT(size, c.bpsLimit); }
      const std::string out = Dir() + "/" + Name("patched");
      std::filesystem::remove(out);
      run = Run({"patch", "apply", original, patch, "-o", out});
      ASSERT_EQ(run.exitCode, 0) << run.err;
      EXPECT_TRUE(ReadBytes(out) == want);
    }
    // The patched file is no source for the BPS patch, nor is another ROM: refused, nothing left.
    const std::string other = Rom("other", !c.expanded);
    for (const std::string& wrong : {modified, other}) {
      const std::string out = Dir() + "/refused.smc";
      const CliRun run = Run({"patch", "apply", wrong, "change.bps", "-o", out});
      EXPECT_EQ(run.exitCode, 1) << run.err;
      EXPECT_FALSE(Exists(out));
    }
  }
}

// A patch made between headed files applies to the headerless ROM (and the other way round),
// and the copy keeps the ROM's own layout.
TEST_P(CliPatch, TheOtherLayoutIsPatchedInItsOwn) {
  const std::string original = Rom("layout", false);
  const std::string modified = Dir() + "/" + Name("layout-modified");
  std::filesystem::copy_file(original, modified, std::filesystem::copy_options::overwrite_existing);
  ASSERT_EQ(Run({"apply", "--no-backup", modified, "7", "Changed.[02]"}).exitCode, 0);
  ASSERT_EQ(Run({"patch", "create", original, modified, "-o", "layout.bps"}).exitCode, 0);

  const std::string otherOriginal = Dir() + (Headerless() ? "/sample.smc" : "/sample.sfc");
  const std::string out = Dir() + (Headerless() ? "/layout-out.smc" : "/layout-out.sfc");
  const CliRun run = Run({"patch", "apply", otherOriginal, "layout.bps", "-o", out});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("copier header"), std::string::npos) << run.err;
  std::vector<uint8_t> want = ReadBytes(modified);
  if (Headerless()) {
    want.insert(want.begin(), 512, 0x00);
  } else {
    want.erase(want.begin(), want.begin() + 512);
  }
  EXPECT_TRUE(ReadBytes(out) == want);

  const CliRun info = Run({"patch", "info", "layout.bps", "--rom", otherOriginal});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(Field(info.out, "ROM").find("copier header"), std::string::npos) << info.out;
}

LETTERMOOR_ON_BOTH_LAYOUTS(CliPatch);

TEST_F(CliSample, PatchInfoGivesSizesAndChecksums) {
  const std::string modified = CopyOfSample("info-modified");
  ASSERT_EQ(Run({"apply", "--no-backup", modified, "3", "Hi.[02]"}).exitCode, 0);
  ASSERT_EQ(Run({"patch", "create", "sample.smc", modified, "-o", "info.bps"}).exitCode, 0);
  ASSERT_EQ(Run({"patch", "create", "sample.smc", modified, "-o", "info.ips"}).exitCode, 0);

  CliRun run = Run({"patch", "info", "info.bps", "--rom", "sample.smc"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Field(run.out, "Format"), "BPS");
  EXPECT_EQ(Field(run.out, "Source size"), std::to_string(ReadBytes(RomPath()).size()) + " bytes");
  EXPECT_EQ(Field(run.out, "Patch CRC-32").find("(valid)") != std::string::npos, true) << run.out;
  EXPECT_EQ(Field(run.out, "ROM"), "is the patch's source.");
  run = Run({"patch", "info", "info.bps", "--rom", modified});
  EXPECT_NE(Field(run.out, "ROM").find("patched already"), std::string::npos) << run.out;

  run = Run({"patch", "info", "info.ips"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Field(run.out, "Format"), "IPS");
  EXPECT_FALSE(Field(run.out, "Records").empty());
}

// Files a patch command must not write over or cannot use: refused with its exit code, and the
// output never made (nor an existing input changed).
TEST_F(CliSample, PatchCommandsRefuseBadFilesAndOutputsOverInputs) {
  const std::string modified = CopyOfSample("guard-modified");
  ASSERT_EQ(Run({"apply", "--no-backup", modified, "3", "Hey.[02]"}).exitCode, 0);
  ASSERT_EQ(Run({"patch", "create", "sample.smc", modified, "-o", "guard.bps"}).exitCode, 0);
  {
    std::ofstream(Dir() + "/cut.ips", std::ios::binary) << std::string("PATCH\0\0\x10\0\x05" "ab", 12);
  }
  const std::vector<uint8_t> sample = ReadBytes(RomPath());
  const std::vector<uint8_t> patch = ReadBytes(Dir() + "/guard.bps");
  struct Case {
    std::vector<std::string> args;
    int exit;
    std::string output;  // must not exist afterwards ("" when it is an input)
  };
  const std::vector<Case> cases = {
      {{"patch", "apply", "sample.smc", "guard.bps", "-o", "sample.smc"}, 2, ""},
      {{"patch", "apply", "sample.smc", "guard.bps", "-o", "./guard.bps"}, 2, ""},
      {{"patch", "apply", "sample.smc", "guard.bps", "-o", "sample.smc.bak"}, 2, "sample.smc.bak"},
      {{"patch", "apply", "sample.smc", "cut.ips", "-o", "cut.smc"}, 2, "cut.smc"},
      {{"patch", "apply", "sample.smc", "missing.bps", "-o", "missing.smc"}, 2, "missing.smc"},
      {{"patch", "apply", "sample.smc", "sample.smc", "-o", "notpatch.smc"}, 2, "notpatch.smc"},
      {{"patch", "create", "sample.smc", modified, "-o", "sample.smc"}, 2, ""},
      {{"patch", "create", "sample.smc", modified, "-o", "guard.txt"}, 2, "guard.txt"},
  };
  for (const Case& c : cases) {
    const CliRun run = Run(c.args);
    EXPECT_EQ(run.exitCode, c.exit) << c.args[4] << ": " << run.err;
    EXPECT_FALSE(run.err.empty());
    if (!c.output.empty()) { EXPECT_FALSE(Exists(Dir() + "/" + c.output)) << c.output; }
  }
  EXPECT_EQ(ReadBytes(RomPath()), sample);
  EXPECT_EQ(ReadBytes(Dir() + "/guard.bps"), patch);
}

}  // namespace
}  // namespace lettermoor::test

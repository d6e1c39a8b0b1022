// lettermoor-cli and the SNES header's checksum pair: checksum reports and fixes it, info shows
// it, and --keep-checksum keeps it right through the writing commands.

#include <gtest/gtest.h>

#include <fstream>

#include "rom/header_checksum.h"
#include "sample/sample_rom.h"
#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliChecksum = CliLayouts;
LETTERMOOR_ON_BOTH_LAYOUTS(CliChecksum);

constexpr size_t kHeader = RomFile::kCopierHeaderSize;

std::string Hex4(unsigned value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "$%04X", value & 0xFFFF);
  return buf;
}

TEST_P(CliChecksum, ReportThenFixThenInfoSaysRight) {
  const std::string path = CopyOfSample("fix");
  const std::vector<uint8_t> before = ReadRom(path);
  const uint16_t expected = *ComputeHeaderChecksum(std::span(before).subspan(kHeader));

  const CliRun report = Run({"checksum", Name("fix")});
  EXPECT_EQ(report.exitCode, 1);
  EXPECT_NE(report.out.find("wrong, should be " + Hex4(expected) + ")"), std::string::npos) << report.out;

  const CliRun fixed = Run({"checksum", Name("fix"), "--fix", "--no-backup"});
  ASSERT_EQ(fixed.exitCode, 0) << fixed.err;
  // Only the pair changed.
  std::vector<uint8_t> wanted = before;
  const std::array<uint8_t, 4> pair = ChecksumPairBytes(expected);
  std::copy(pair.begin(), pair.end(), wanted.begin() + kChecksumPairOffset);
  EXPECT_EQ(ReadRom(path), wanted);

  const std::string right =
      "Header checksum: " + Hex4(expected) + " (right), complement " + Hex4(expected ^ 0xFFFF) + " (right)\n";
  const CliRun info = Run({"info", Name("fix")});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find(right), std::string::npos) << info.out;
  const CliRun again = Run({"checksum", Name("fix")});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.out, right);
  // A second fix finds nothing to do and changes nothing.
  EXPECT_EQ(Run({"checksum", Name("fix"), "--fix", "--no-backup"}).exitCode, 0);
  EXPECT_EQ(ReadRom(path), wanted);
}

// Each writing command with --keep-checksum leaves the pair right; without it, as it was.
TEST_P(CliChecksum, KeepChecksumOnEveryWritingCommand) {
  // A script with one text made longer, moved into the expanded sample's free space.
  const std::string expanded = Name("exported");
  std::vector<std::string> make = {"make-sample", "--expanded", expanded};
  if (Headerless()) make.push_back("--headerless");
  ASSERT_EQ(Run(make).exitCode, 0);
  ASSERT_EQ(Run({"export", expanded, "-o", "keep.txt"}).exitCode, 0);
  std::ifstream in(Dir() + "/keep.txt", std::ios::binary);
  std::string script, line;
  bool edited = false;
  while (std::getline(in, line)) {
    if (!edited && !line.empty() && line[0] != '#' && line[0] != '@' && line.find('[') != std::string::npos) {
      line.insert(line.rfind('['), " and a good many more words than before");
      edited = true;
    }
    script += line + "\n";
  }
  std::ofstream(Dir() + "/keep.txt", std::ios::binary) << script;

  struct Case {
    const char* name;
    bool expanded;
    std::vector<std::string> args;  // ROM is put after the command's name
    const char* output;             // the file that is written, when not the ROM
  };
  const std::vector<Case> cases = {
      {"apply", false, {"apply", "ROM", "4", "Hi[02]", "--no-backup"}, nullptr},
      {"expand", false, {"expand", "ROM", "--no-backup"}, nullptr},
      {"import", true, {"import", "ROM", "keep.txt", "--no-backup"}, nullptr},
      {"import into a copy", true, {"import", "ROM", "keep.txt", "-o", "COPY"}, "COPY"},
  };
  for (bool keep : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (keep ? " --keep-checksum" : ""));
      const std::string rom = Name(c.expanded ? "keepx" : "keep");
      std::vector<std::string> m = {"make-sample", rom};
      if (c.expanded) m.push_back("--expanded");
      if (Headerless()) m.push_back("--headerless");
      ASSERT_EQ(Run(m).exitCode, 0);
      std::vector<std::string> args;
      for (const std::string& a : c.args) args.push_back(a == "ROM" ? rom : a == "COPY" ? Name("copy") : a);
      if (keep) args.push_back("--keep-checksum");
      const CliRun run = Run(args);
      ASSERT_EQ(run.exitCode, 0) << run.err;
      const std::string written = c.output ? Name("copy") : rom;
      EXPECT_EQ(Run({"checksum", written}).exitCode, keep ? 0 : 1);
    }
  }
}

// A ROM of a size that is not summed: said so, and --fix changes nothing.
TEST(CliChecksumSize, AnotherSizeIsNotComputedAndNeverFixed) {
  TempDir dir;
  const std::string path = dir.File("odd.smc");
  std::vector<uint8_t> bytes = MakeSampleRom(false);
  bytes.resize(0x380000 + kHeader, 0);
  ASSERT_TRUE(WriteBytesTo(path, bytes));
  const CliRun info = RunCli({"info", path}, dir.Path());
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("Header checksum: not computed"), std::string::npos) << info.out;
  EXPECT_EQ(RunCli({"checksum", path}, dir.Path()).exitCode, 1);
  const CliRun fix = RunCli({"checksum", path, "--fix"}, dir.Path());
  EXPECT_EQ(fix.exitCode, 1);
  EXPECT_NE(fix.err.find("not computed"), std::string::npos) << fix.err;
  EXPECT_EQ(ReadBytesOf(path), bytes);
}

}  // namespace
}  // namespace lettermoor::test

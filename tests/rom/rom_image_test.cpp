#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "rom/rom_image.h"
#include "rom/snes_address.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::SyntheticRom;
using test::TempFile;

RomType TypeOf(const SyntheticRom& image) {
  auto file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  return rom ? DetectRomType(*rom) : RomType::Unrecognized;
}

TEST(RomAddressing, ConvertsBetweenSnesAndFileOffsets) {
  EXPECT_EQ(SnesToFileOffset(0xC00000), 0x200);
  EXPECT_EQ(SnesToFileOffset(0xFFFFFF), 0x4001FF);
  EXPECT_EQ(FileOffsetToSnes(0x101C0), 0xC0FFC0);
  EXPECT_EQ(SnesToFileOffset(0), -0xBFFE00);  // no range check of its own
}

TEST(RomRecognition, KnowsEveryTitle) {
  EXPECT_EQ(TypeOf(SyntheticRom(0x20000, "EARTH BOUND (J)")), RomType::EarthBound);
  EXPECT_EQ(TypeOf(SyntheticRom(0x20000, "MOTHER-2")), RomType::Mother2);
  EXPECT_EQ(TypeOf(SyntheticRom(0x20000, "EARTH BOUND")), RomType::EarthBoundBad);
  EXPECT_EQ(TypeOf(SyntheticRom(0x20000, "SOME OTHER GAME")), RomType::Unrecognized);
  EXPECT_STREQ(RomTypeName(RomType::EarthBound), "EarthBound ROM");
  EXPECT_STREQ(RomTypeName(RomType::Mother2), "Mother 2 ROM");
  EXPECT_STREQ(RomTypeName(RomType::EarthBoundBad), "EarthBound ROM (bad)");
  EXPECT_STREQ(RomTypeName(RomType::Unrecognized), "Unknown/invalid ROM");
}

TEST(RomRecognition, RefusesShortAndZeroBrokenTitles) {
  // A headerless image carries its title 0x200 bytes earlier: the plain file sees no title
  // there; OpenRomFile takes it as headerless (headerless_test.cpp).
  SyntheticRom headerless(0x20000, "");
  std::string title = "EARTH BOUND (J)";
  headerless.Put(0xFFC0, std::vector<uint8_t>(title.begin(), title.end()));
  EXPECT_EQ(TypeOf(headerless), RomType::Unrecognized);
  EXPECT_EQ(DetectRomType(*OpenRomFile(headerless.Save()->Path())), RomType::EarthBound);

  // One byte short of the whole title: the missing byte reads as 0xFF.
  SyntheticRom shortFile(0x20000);
  shortFile.Bytes().resize(0x101CE);
  EXPECT_EQ(TypeOf(shortFile), RomType::Unrecognized);
  SyntheticRom exact(0x20000);
  exact.Bytes().resize(0x101CF);
  EXPECT_EQ(TypeOf(exact), RomType::EarthBound);

  SyntheticRom zero(0x20000, "EARTH BOUND (J)");
  zero.Put(0x101C0 + 11, {0});
  EXPECT_EQ(TypeOf(zero), RomType::Unrecognized);
}

TEST(RomFile, ReadsPastTheEndGiveFF) {
  SyntheticRom image(0x100, "");
  image.Put(0xFF, {0x12});
  auto file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  EXPECT_EQ(rom->ReadByte(0xFF), 0x12);
  EXPECT_EQ(rom->ReadByte(0x100), 0xFF);
  EXPECT_EQ(rom->ReadByte(-1), 0xFF);
  EXPECT_EQ(RomFileSize(*rom), 0x100);
}

TEST(RomFile, RefusesWhatCannotBeOpenedForUpdate) {
  EXPECT_EQ(OpenRomFile(""), nullptr);
  EXPECT_EQ(OpenRomFile("/nonexistent/rom.smc"), nullptr);
  test::TempDir dir;
  EXPECT_EQ(OpenRomFile(dir.Path()), nullptr);
  std::string fifo = dir.File("pipe.smc");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(OpenRomFile(fifo), nullptr);  // must not block waiting for a writer
}

TEST(RomFile, WritesReachTheFileAndStayInsideIt) {
  SyntheticRom image(0x40, "");
  auto file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  const uint8_t bytes[] = {1, 2, 3};
  EXPECT_TRUE(rom->Write(0x3D, bytes));
  EXPECT_EQ(rom->ReadByte(0x3F), 3);
  EXPECT_EQ(file->ReadAll()[0x3E], 2);
  EXPECT_FALSE(rom->Write(0x3E, bytes));  // would reach past the end
  EXPECT_EQ(file->ReadAll().size(), 0x40u);
}

TEST(RomFile, FollowsChangesMadeByOtherPrograms) {
  SyntheticRom image(0x40, "");
  auto file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  ASSERT_EQ(::truncate(file->Path().c_str(), 0x10), 0);
  rom->Refresh();
  EXPECT_EQ(RomFileSize(*rom), 0x10);
  EXPECT_EQ(rom->ReadByte(0x20), 0xFF);
  const uint8_t b[] = {9};
  EXPECT_FALSE(rom->Write(0x20, b));  // the file is shorter now
  EXPECT_EQ(file->ReadAll().size(), 0x10u);
}

struct GrowCase {
  size_t from;
  size_t to;
};

class RomGrowth : public ::testing::TestWithParam<GrowCase> {};

TEST_P(RomGrowth, AppendsWholeBlankBlocks) {
  const GrowCase c = GetParam();
  auto file = SyntheticRom(c.from).Save();
  RomImage rom{test::OpenForTest(file->Path()), file->Name(), file->Path()};
  EXPECT_FALSE(IsExpandedRom(*rom.handle));
  EXPECT_EQ(GrowRom(rom, kExpandedRomSize), GrowResult::Grown);
  ASSERT_TRUE(rom.IsLoaded());
  EXPECT_EQ(RomFileSize(*rom.handle), static_cast<int64_t>(c.to));
  EXPECT_TRUE(IsExpandedRom(*rom.handle));
  auto bytes = file->ReadAll();
  ASSERT_EQ(bytes.size(), c.to);
  // Each appended block is 255 zero bytes and the end code.
  EXPECT_EQ(bytes[c.from], 0x00);
  EXPECT_EQ(bytes[c.from + 254], 0x00);
  EXPECT_EQ(bytes[c.from + 255], 0x02);
  EXPECT_EQ(bytes[c.to - 1], 0x02);
  // The reopened handle reads and writes the grown file.
  EXPECT_EQ(rom.handle->ReadByte(static_cast<int64_t>(c.to) - 1), 0x02);
  const uint8_t b[] = {0x55};
  EXPECT_TRUE(rom.handle->Write(static_cast<int64_t>(c.to) - 2, b));
  EXPECT_EQ(file->ReadAll()[c.to - 2], 0x55);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RomGrowth,
                         ::testing::Values(GrowCase{0x300200, 0x400200}, GrowCase{0x400100, 0x400200},
                                           GrowCase{0x400101, 0x400201}));

TEST(RomGrowthEdges, LeavesALargeEnoughFileAlone) {
  auto file = SyntheticRom(0x4001FF).Save();
  RomImage rom{test::OpenForTest(file->Path()), file->Name(), file->Path()};
  EXPECT_TRUE(IsExpandedRom(*rom.handle));
  EXPECT_EQ(GrowRom(rom, kExpandedRomSize), GrowResult::AlreadyLarge);
  EXPECT_EQ(file->ReadAll().size(), 0x4001FFu);
  EXPECT_TRUE(rom.IsLoaded());

  auto shorter = SyntheticRom(0x4001FE).Save();
  auto handle = test::OpenForTest(shorter->Path());
  EXPECT_FALSE(IsExpandedRom(*handle));
}

// Expansion used to reopen the ROM by its path: whatever lay at the path then was grown (and, on
// failure, cut back). Now it grows the file it has open, and only while the path still names it.
TEST(RomGrowthEdges, NeverFollowsThePathAgain) {
  test::TempDir dir;
  const std::string path = dir.File("rom.smc");
  const std::string moved = dir.File("moved.smc");
  const std::string other = dir.File("other.smc");
  struct Case {
    const char* what;
    std::function<void()> change;  // done to the path after the open
    const std::string& bystanderAt;  // where the other file is afterwards
  };
  const Case cases[] = {
      {"renamed away", [&] { ASSERT_EQ(::rename(path.c_str(), moved.c_str()), 0); }, other},
      {"replaced by another file", [&] { ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0); }, path},
      {"now a link to another file",
       [&] {
         ASSERT_EQ(::unlink(path.c_str()), 0);
         ASSERT_EQ(::symlink(other.c_str(), path.c_str()), 0);
       },
       other},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& p : {path, moved, other}) ::unlink(p.c_str());
    const std::vector<uint8_t> rom = SyntheticRom(0x300200).Bytes();
    const std::vector<uint8_t> bystander = SyntheticRom(0x400200, "OTHER").Bytes();
    ASSERT_TRUE(test::WriteBytesTo(path, rom));
    ASSERT_TRUE(test::WriteBytesTo(other, bystander));
    RomImage image{test::OpenForTest(path), "rom.smc", path};
    c.change();
    EXPECT_EQ(GrowRom(image, kExpandedRomSize), GrowResult::FileReplaced);
    EXPECT_TRUE(image.IsLoaded());
    EXPECT_EQ(test::ReadBytesOf(c.bystanderAt), bystander);
    EXPECT_EQ(static_cast<size_t>(image.handle->Size()), rom.size());
  }
}

}  // namespace
}  // namespace lettermoor

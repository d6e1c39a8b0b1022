// Files dumped without the 512-byte copier header: recognised by the title 0x200 bytes earlier,
// then addressed exactly like a headed file, with every write landing 0x200 bytes earlier on disk.

#include <gtest/gtest.h>

#include <string>

#include "rom/rom_image.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::SyntheticRom;

constexpr int64_t kHeader = RomFile::kCopierHeaderSize;
constexpr int64_t kHeaderlessTitle = kTitleOffset - kHeader;

SyntheticRom& PutTitle(SyntheticRom& image, int64_t offset, const std::string& title) {
  return image.Put(offset, std::vector<uint8_t>(title.begin(), title.end()));
}

// A headerless dump: 3 MB of ROM, its title where a headerless file keeps it.
SyntheticRom HeaderlessImage(size_t size = 0x300000) {
  SyntheticRom image(size, "");
  PutTitle(image, kHeaderlessTitle, "EARTH BOUND (J)");
  return image;
}

struct LayoutCase {
  const char* name;
  const char* headedTitle;      // at 0x101C0 of the file, or none
  const char* headerlessTitle;  // at 0xFFC0 of the file, or none
  bool headerless;
  RomType type;
};

class RomLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RomLayouts, TheTitleSaysWhichLayoutAndTheHeadedOneWins) {
  const LayoutCase c = GetParam();
  SyntheticRom image(0x300000, "");
  if (c.headedTitle) PutTitle(image, kTitleOffset, c.headedTitle);
  if (c.headerlessTitle) PutTitle(image, kHeaderlessTitle, c.headerlessTitle);
  auto file = image.Save();
  auto rom = OpenRomFile(file->Path());
  ASSERT_NE(rom, nullptr);
  EXPECT_EQ(rom->IsHeaderless(), c.headerless);
  EXPECT_EQ(DetectRomType(*rom), c.type);
  // Sizes are the headed layout's: a headerless 3 MB dump is as large as a headed one.
  EXPECT_EQ(RomFileSize(*rom), c.headerless ? 0x300200 : 0x300000);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, RomLayouts,
    ::testing::Values(
        LayoutCase{"HeadedOnly", "EARTH BOUND (J)", nullptr, false, RomType::EarthBound},
        LayoutCase{"HeaderlessOnly", nullptr, "EARTH BOUND (J)", true, RomType::EarthBound},
        LayoutCase{"HeaderlessDamagedTitle", nullptr, "EARTH BOUND    ", true, RomType::EarthBoundBad},
        // Recognised, so that the window names it before refusing it, as for a headed file.
        LayoutCase{"HeaderlessJapanese", nullptr, "MOTHER-2       ", true, RomType::Mother2},
        LayoutCase{"BothTitles", "EARTH BOUND    ", "EARTH BOUND (J)", false, RomType::EarthBoundBad},
        LayoutCase{"Neither", nullptr, "SOME OTHER GAME", false, RomType::Unrecognized}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(HeaderlessFile, ReadsAndWritesLandAtTheFilesOwnPlaces) {
  SyntheticRom image = HeaderlessImage();
  image.Put(0, {0xA1, 0xA2}).Put(0x2FFFFF, {0xEE});
  auto file = image.Save(".sfc");
  auto rom = OpenRomFile(file->Path());
  ASSERT_TRUE(rom && rom->IsHeaderless());

  struct Read {
    int64_t offset;
    uint8_t byte;
  };
  for (const Read r : {Read{0, 0x00}, Read{kHeader - 1, 0x00}, Read{kHeader, 0xA1}, Read{kHeader + 1, 0xA2},
                       Read{0x3001FF, 0xEE}, Read{0x300200, 0xFF}, Read{-1, 0xFF}}) {
    EXPECT_EQ(rom->ReadByte(r.offset), r.byte) << std::hex << r.offset;
  }

  const uint8_t bytes[] = {1, 2, 3};
  ASSERT_TRUE(rom->Write(0x101C0, bytes));
  std::vector<uint8_t> expected = image.Bytes();
  std::copy(std::begin(bytes), std::end(bytes), expected.begin() + 0xFFC0);
  EXPECT_EQ(file->ReadAll(), expected);
  EXPECT_EQ(rom->ReadByte(0x101C2), 3);

  // The header it lacks cannot be written, nor anything past the end; the file stays as it was.
  ASSERT_TRUE(rom->Write(0x3001FD, bytes));  // the very last bytes
  expected[0x2FFFFD] = 1, expected[0x2FFFFE] = 2, expected[0x2FFFFF] = 3;
  for (int64_t offset : {int64_t{0}, kHeader - 1, int64_t{0x3001FE}}) {
    EXPECT_FALSE(rom->Write(offset, bytes)) << std::hex << offset;
  }
  EXPECT_EQ(file->ReadAll(), expected);
}

TEST(HeaderlessFile, ExpansionGrowsItTo4MegabytesWithoutAHeader) {
  auto file = HeaderlessImage().Save(".sfc");
  RomImage rom{OpenRomFile(file->Path()), file->Name(), file->Path()};
  ASSERT_TRUE(rom.IsLoaded());
  EXPECT_FALSE(IsExpandedRom(*rom.handle));
  ASSERT_EQ(GrowRom(rom, kExpandedRomSize), GrowResult::Grown);
  ASSERT_TRUE(rom.IsLoaded());
  EXPECT_TRUE(rom.handle->IsHeaderless());
  EXPECT_EQ(RomFileSize(*rom.handle), 0x400200);
  EXPECT_TRUE(IsExpandedRom(*rom.handle));

  const std::vector<uint8_t> bytes = file->ReadAll();
  ASSERT_EQ(bytes.size(), 0x400000u);
  EXPECT_EQ(std::string(bytes.begin() + kHeaderlessTitle, bytes.begin() + kHeaderlessTitle + 15), "EARTH BOUND (J)");
  // 4096 blocks of 255 zero bytes and the end code, right after the old end.
  EXPECT_EQ(bytes[0x300000], 0x00);
  EXPECT_EQ(bytes[0x3000FF], 0x02);
  EXPECT_EQ(bytes[0x3FFFFF], 0x02);
  EXPECT_EQ(rom.handle->ReadByte(0x4001FF), 0x02);
  EXPECT_EQ(rom.handle->ReadByte(0x3002FF), 0x02);
}

}  // namespace
}  // namespace lettermoor

// lettermoor-cli's font export and import, checked on the bytes on disk.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "codec/font_sheet.h"
#include "sample/sample_rom.h"
#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliFont = CliLayouts;
LETTERMOOR_ON_BOTH_LAYOUTS(CliFont);

const RomFonts& SampleFonts() {
  static const RomFonts fonts = ReadRomFonts(MakeSampleRom(false));
  return fonts;
}

bool WriteText(const std::string& path, const std::string& bytes) {
  return WriteBytesTo(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

TEST_P(CliFont, AnUnchangedPictureOfEveryFontWritesNothing) {
  const std::string rom = CopyOfSample("fonts");
  const std::vector<uint8_t> before = ReadBytes(rom);
  for (const char* key : kFontKeys) {
    SCOPED_TRACE(key);
    const std::string png = std::string(key) + ".png";
    const CliRun exported = Run({"font", "export", rom, "--font", key, "-o", png});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const CliRun imported = Run({"font", "import", rom, png, "--font", key});
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(ReadBytes(rom), before);
  }
  // Nothing was written, so no copy was kept either.
  EXPECT_FALSE(std::filesystem::exists(rom + ".bak"));
}

// One pixel or one width changed in the picture: exactly that byte of the file changes.
TEST_P(CliFont, AnEditWritesExactlyItsByte) {
  struct Case {
    const char* font;
    uint8_t byte;
    int x, y;      // the pixel flipped, when x >= 0
    int width;     // else the new width
  };
  const Case cases[] = {{"main", 0x71, 3, 4, -1}, {"saturn", 0x90, 10, 2, -1}, {"main", 0x71, -1, 0, 9}, {"large", 0x51, -1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.font) + " " + std::to_string(c.byte));
    const std::string rom = CopyOfSample("edited");
    const std::vector<uint8_t> before = ReadRom(rom);
    const auto id = static_cast<text_window::FontId>(
        std::find_if(kFontKeys.begin(), kFontKeys.end(), [&](const char* k) { return std::string(k) == c.font; }) -
        kFontKeys.begin());
    const RomFont& font = SampleFonts().Of(id);
    const FontSheetGeometry g = SheetGeometryOf(font);
    PalettePicture sheet = DrawFontSheet(font, c.font, FixedFontLetters());
    const int slot = c.byte - 0x50;
    auto paint = [&](int x, int y, SheetColour colour) {
      sheet.pixels[static_cast<size_t>(y * sheet.width + x)] = static_cast<uint8_t>(colour);
    };
    int64_t offset = 0;
    if (c.x >= 0) {
      paint(g.GlyphLeft(slot) + c.x, g.GlyphTop(slot) + c.y, font.Pixel(c.byte, c.x, c.y) ? SheetColour::Paper : SheetColour::Ink);
      offset = font.glyphOffset + slot * font.bytesPerGlyph + c.x / text_window::kGlyphStripWidth * font.height + c.y;
    } else {
      for (int x = 0; x < g.glyphWidth; ++x) paint(g.GlyphLeft(slot) + x, g.BarTop(slot), x < c.width ? SheetColour::WidthBar : SheetColour::Frame);
      offset = font.widthOffset + slot;
    }
    ASSERT_TRUE(WriteText(Dir() + "/edited.png", EncodePng(sheet)));
    const CliRun imported = Run({"font", "import", rom, "edited.png", "--font", c.font});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    const std::vector<uint8_t> after = ReadRom(rom);
    ASSERT_EQ(after.size(), before.size());
    std::vector<int64_t> changed;
    for (size_t i = 0; i < after.size(); ++i) {
      if (after[i] != before[i]) changed.push_back(static_cast<int64_t>(i));
    }
    EXPECT_EQ(changed, std::vector<int64_t>{offset});
    if (c.x < 0) {
      EXPECT_EQ(after[static_cast<size_t>(offset)], c.width);
    }
    // Through the same safe writes as every change: the copy kept first holds the old bytes,
    // and the history names it and takes it back.
    EXPECT_EQ(ReadRom(rom + ".bak"), before);
    const CliRun history = Run({"history", rom});
    const std::string newest = history.out.substr(0, history.out.find('\n'));
    EXPECT_NE(newest.find("\tfont\t"), std::string::npos) << history.out;
    ASSERT_EQ(Run({"history", rom, "--undo", newest.substr(0, newest.find('\t'))}).exitCode, 0);
    EXPECT_EQ(ReadRom(rom), before);
  }
}

TEST_P(CliFont, ARefusedPictureWritesNothing) {
  const std::string rom = CopyOfSample("refused");
  const std::vector<uint8_t> before = ReadBytes(rom);
  PalettePicture small;
  small.width = 3;
  small.height = 3;
  small.palette.assign(kSheetColours.begin(), kSheetColours.end());
  small.pixels.assign(9, 0);
  ASSERT_TRUE(WriteText(Dir() + "/small.png", EncodePng(small)));
  ASSERT_TRUE(WriteText(Dir() + "/junk.png", "not a picture"));
  for (const char* picture : {"small.png", "junk.png", "missing.png"}) {
    SCOPED_TRACE(picture);
    const CliRun imported = Run({"font", "import", rom, picture});
    EXPECT_NE(imported.exitCode, 0);
    EXPECT_FALSE(imported.err.empty());
    EXPECT_EQ(ReadBytes(rom), before);
  }
  EXPECT_FALSE(std::filesystem::exists(rom + ".bak"));
}

}  // namespace
}  // namespace lettermoor::test

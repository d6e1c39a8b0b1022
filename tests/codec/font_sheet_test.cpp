// Fonts as pictures: drawn, written as PNG through libpng, read back and turned into the bytes
// that change.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>

#include "codec/font_sheet.h"
#include "codec/png_image.h"
#include "sample/sample_rom.h"

namespace lettermoor {
namespace {

using text_window::FontId;

const RomFonts& SampleFonts() {
  static const RomFonts fonts = ReadRomFonts(MakeSampleRom(false));
  return fonts;
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> SheetPng(const PalettePicture& sheet) { return Bytes(EncodePng(sheet)); }

void Paint(PalettePicture& sheet, int x, int y, SheetColour c) {
  sheet.pixels[static_cast<size_t>(y) * static_cast<size_t>(sheet.width) + static_cast<size_t>(x)] = static_cast<uint8_t>(c);
}

TEST(FontSheet, EveryFontOfTheSampleComesBackUnchanged) {
  for (int f = 0; f < text_window::kFontCount; ++f) {
    const RomFont& font = SampleFonts().fonts[static_cast<size_t>(f)];
    ASSERT_TRUE(font.readable) << kFontKeys[static_cast<size_t>(f)];
    const PalettePicture sheet = DrawFontSheet(font, kFontKeys[static_cast<size_t>(f)], FixedFontLetters());
    const FontSheetGeometry g = SheetGeometryOf(font);
    EXPECT_EQ(sheet.width, g.width);
    EXPECT_EQ(sheet.height, g.height);
    const FontSheetReading back = ReadFontSheet(SheetPng(sheet), font);
    ASSERT_EQ(back.refusal, SheetRefusal::None) << back.pngError;
    EXPECT_EQ(back.font.glyphs, font.glyphs);
    EXPECT_EQ(back.font.widths, font.widths);
    EXPECT_TRUE(FontChanges(font, back.font).ranges.empty());
  }
}

TEST(FontSheet, LettersAndFontNameTravelInTextChunks) {
  FontLetters letters = FixedFontLetters();
  letters[0x5C] = "é";  // a table's letter, in UTF-8
  const std::optional<RgbaPicture> read =
      DecodePng(SheetPng(DrawFontSheet(SampleFonts().Of(FontId::Main), "main", letters)));
  ASSERT_TRUE(read);
  std::map<std::string, std::string> texts(read->texts.begin(), read->texts.end());
  EXPECT_EQ(texts["Font"], "main");
  EXPECT_NE(texts["Letters"].find("5C\té\n"), std::string::npos);
  EXPECT_NE(texts["Letters"].find("71\tA\n"), std::string::npos);
}

// Each edit of the picture changes exactly the bytes it stands for, and nothing else.
TEST(FontSheet, AnEditChangesExactlyItsBytes) {
  const RomFont& font = SampleFonts().Of(FontId::Main);
  const FontSheetGeometry g = SheetGeometryOf(font);
  const int strips = g.glyphWidth / text_window::kGlyphStripWidth;
  const int64_t glyphBytes = font.bytesPerGlyph;
  struct Case {
    const char* what;
    uint8_t byte;
    int x, y;       // a pixel flipped, when x >= 0
    int newWidth;   // the bar's length, when >= 0
    int64_t offset;  // the one byte expected to change
  };
  const uint8_t a = 0x71;  // 'A'
  const int slotA = a - 0x50;
  const Case cases[] = {
      {"pixel in strip 0", a, 0, 0, -1, font.glyphOffset + slotA * glyphBytes + 0},
      {"pixel in strip 1", a, 9, 5, -1, font.glyphOffset + slotA * glyphBytes + font.height + 5},
      {"pixel of the last glyph", 0xCF, 15, 15, -1, font.glyphOffset + 127 * glyphBytes + (strips - 1) * font.height + 15},
      {"wider", a, -1, 0, 7, font.widthOffset + slotA},
      {"narrower", 0x50, -1, 0, 0, font.widthOffset + 0},
      {"full bar", 0x9F, -1, 0, g.glyphWidth, font.widthOffset + (0x9F - 0x50)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PalettePicture sheet = DrawFontSheet(font, "main", FixedFontLetters());
    const int slot = c.byte - 0x50;
    if (c.x >= 0) {
      const bool was = font.Pixel(c.byte, c.x, c.y);
      Paint(sheet, g.GlyphLeft(slot) + c.x, g.GlyphTop(slot) + c.y, was ? SheetColour::Paper : SheetColour::Ink);
    } else {
      ASSERT_NE(font.Width(c.byte), c.newWidth);
      for (int x = 0; x < g.glyphWidth; ++x) {
        Paint(sheet, g.GlyphLeft(slot) + x, g.BarTop(slot), x < c.newWidth ? SheetColour::WidthBar : SheetColour::Frame);
      }
    }
    const FontSheetReading back = ReadFontSheet(SheetPng(sheet), font);
    ASSERT_EQ(back.refusal, SheetRefusal::None);
    const ChangeSet change = FontChanges(font, back.font);
    ASSERT_EQ(change.ranges.size(), 1u);
    EXPECT_EQ(change.ranges[0].offset, c.offset);
    ASSERT_EQ(change.ranges[0].bytes.size(), 1u);
    if (c.x < 0) {
      EXPECT_EQ(change.ranges[0].bytes[0], c.newWidth);
    }
    if (c.x >= 0) {
      EXPECT_NE(back.font.Pixel(c.byte, c.x, c.y), font.Pixel(c.byte, c.x, c.y));
    }
  }
}

// A width the glyph cannot show (wider than its strips) survives the round trip.
TEST(FontSheet, AWidthWiderThanTheGlyphIsKept) {
  RomFont font = SampleFonts().Of(FontId::Main);
  font.widths[3] = 40;
  const FontSheetReading back = ReadFontSheet(SheetPng(DrawFontSheet(font, "main", FixedFontLetters())), font);
  ASSERT_EQ(back.refusal, SheetRefusal::None);
  EXPECT_EQ(back.font.widths[3], 40);
}

TEST(FontSheet, RefusesPicturesThatAreNotTheFontsSaying) {
  const RomFont& font = SampleFonts().Of(FontId::Main);
  const FontSheetGeometry g = SheetGeometryOf(font);
  const PalettePicture good = DrawFontSheet(font, "main", FixedFontLetters());
  struct Case {
    const char* what;
    std::function<std::vector<uint8_t>()> picture;
    SheetRefusal refusal;
  };
  const Case cases[] = {
      {"not a PNG", [] { return Bytes("GIF89a not at all"); }, SheetRefusal::NotPng},
      {"cut short", [&] { std::vector<uint8_t> b = SheetPng(good); b.resize(b.size() / 2); return b; }, SheetRefusal::NotPng},
      {"one column short", [&] {
         PalettePicture p;
         p.width = g.width - 1;
         p.height = g.height;
         p.palette.assign(kSheetColours.begin(), kSheetColours.end());
         p.pixels.assign(static_cast<size_t>(p.width * p.height), 0);
         return SheetPng(p);
       }, SheetRefusal::WrongSize},
      {"far too large, refused before it is decoded", [&] {
         std::vector<uint8_t> b = SheetPng(good);
         b[16] = 0x7F;  // the header's width; its checksum no longer fits either
         return b;
       }, SheetRefusal::WrongSize},
      {"a colour of its own", [&] {
         PalettePicture p = good;
         p.palette.push_back(0xFF0000);
         Paint(p, 20, 30, static_cast<SheetColour>(kSheetColours.size()));
         return SheetPng(p);
       }, SheetRefusal::ForeignColour},
      {"a gap in a bar", [&] {
         PalettePicture p = good;
         Paint(p, g.GlyphLeft(0x21) + 0, g.BarTop(0x21), SheetColour::Frame);
         return SheetPng(p);
       }, SheetRefusal::BrokenWidthBar},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FontSheetReading r = ReadFontSheet(c.picture(), font);
    EXPECT_EQ(r.refusal, c.refusal);
    if (c.refusal == SheetRefusal::WrongSize) {
      EXPECT_EQ(r.expectedWidth, g.width);
      EXPECT_NE(r.width, g.width);
    }
    if (c.refusal == SheetRefusal::ForeignColour) {
      EXPECT_EQ(r.x, 20);
      EXPECT_EQ(r.y, 30);
      EXPECT_EQ(r.colour, 0xFF0000u);
    }
    if (c.refusal == SheetRefusal::BrokenWidthBar) {
      EXPECT_EQ(r.characterByte, 0x71);
    }
  }
}

// Setting a pixel changes that pixel only, at every place of a glyph.
TEST(FontSheet, SetPixelChangesOnlyThatPixel) {
  RomFont font = SampleFonts().Of(FontId::Main);
  std::mt19937 random(3);
  for (int i = 0; i < 500; ++i) {
    const uint8_t byte = static_cast<uint8_t>(0x50 + random() % 128);
    const int x = static_cast<int>(random() % static_cast<unsigned>(font.GlyphWidth()));
    const int y = static_cast<int>(random() % static_cast<unsigned>(font.height));
    const RomFont before = font;
    const bool on = !font.Pixel(byte, x, y);
    font.SetPixel(byte, x, y, on);
    EXPECT_EQ(font.Pixel(byte, x, y), on);
    const ChangeSet change = FontChanges(before, font);
    ASSERT_EQ(change.ranges.size(), 1u);
    EXPECT_EQ(change.ranges[0].offset, font.glyphOffset + (byte - 0x50) * font.bytesPerGlyph +
                                           x / text_window::kGlyphStripWidth * font.height + y);
  }
}

}  // namespace
}  // namespace lettermoor

#include "codec/font_sheet.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "codec/character_map.h"
#include "codec/character_table.h"

namespace lettermoor {

using namespace text_window;

namespace {

// Hexadecimal digits 3 pixels wide and 5 high, each row 3 bits, top row first.
constexpr std::array<uint16_t, 16> kDigits = {
    0b111'101'101'101'111, 0b010'110'010'010'111, 0b111'001'111'100'111, 0b111'001'111'001'111,
    0b101'101'111'001'001, 0b111'100'111'001'111, 0b111'100'111'101'111, 0b111'001'010'010'010,
    0b111'101'111'101'111, 0b111'101'111'001'111, 0b010'101'111'101'101, 0b110'101'110'101'110,
    0b011'100'100'100'011, 0b110'101'101'101'110, 0b111'100'110'100'111, 0b111'100'110'100'100,
};
constexpr int kLabelWidth = 3 + 1 + 3;

bool InPalette(uint32_t rgb, SheetColour& colour) {
  const auto at = std::find(kSheetColours.begin(), kSheetColours.end(), rgb);
  if (at == kSheetColours.end()) return false;
  colour = static_cast<SheetColour>(at - kSheetColours.begin());
  return true;
}

// Adds the ranges where `before` and `after` differ, each run of differing bytes as one.
void AddDifferences(std::span<const uint8_t> before, std::span<const uint8_t> after, int64_t offset, ChangeSet& out) {
  size_t i = 0;
  while (i < before.size()) {
    if (before[i] == after[i]) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < before.size() && before[end] != after[end]) ++end;
    out.ranges.push_back({offset + static_cast<int64_t>(i), std::vector<uint8_t>(after.begin() + static_cast<ptrdiff_t>(i),
                                                                                   after.begin() + static_cast<ptrdiff_t>(end))});
    i = end;
  }
}

}  // namespace

FontLetters FixedFontLetters() {
  FontLetters letters;
  for (int b = kGameCharacters.FirstByte(); b <= kGameCharacters.LastByte(); ++b) {
    letters[static_cast<size_t>(b)] = std::string(1, kGameCharacters.CharacterOf(static_cast<uint8_t>(b)));
  }
  return letters;
}

FontLetters FontLettersOf(const CharacterTable* table) {
  FontLetters letters = FixedFontLetters();
  if (!table) return letters;
  for (int b = kGameCharacters.FirstByte(); b <= kGameCharacters.LastByte(); ++b) {
    letters[static_cast<size_t>(b)] = std::string(table->TextOf(static_cast<uint8_t>(b)));
  }
  return letters;
}

FontSheetGeometry SheetGeometryOf(const RomFont& font) {
  FontSheetGeometry g;
  g.glyphWidth = font.GlyphWidth();
  g.glyphHeight = font.height;
  // A frame pixel round each cell's contents: the label, the glyph, the bar, a gap between.
  g.cellWidth = std::max(g.glyphWidth, kLabelWidth) + 2;
  g.cellHeight = 1 + FontSheetGeometry::kLabelHeight + 1 + g.glyphHeight + 1 + 1 + 1;
  g.width = g.cellWidth * FontSheetGeometry::kColumns;
  g.height = g.cellHeight * FontSheetGeometry::kRows;
  return g;
}

PalettePicture DrawFontSheet(const RomFont& font, const char* fontName, const FontLetters& letters) {
  const FontSheetGeometry g = SheetGeometryOf(font);
  PalettePicture out;
  out.width = g.width;
  out.height = g.height;
  out.palette.assign(kSheetColours.begin(), kSheetColours.end());
  out.pixels.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.height), static_cast<uint8_t>(SheetColour::Frame));
  auto put = [&](int x, int y, SheetColour c) {
    out.pixels[static_cast<size_t>(y) * static_cast<size_t>(g.width) + static_cast<size_t>(x)] = static_cast<uint8_t>(c);
  };
  std::string letterLines;
  for (int slot = 0; slot < kFontCharacterSlots; ++slot) {
    const uint8_t byte = SlotByte(slot);
    for (int d = 0; d < 2; ++d) {
      const uint16_t digit = kDigits[static_cast<size_t>(d == 0 ? byte >> 4 : byte & 0xF)];
      for (int row = 0; row < FontSheetGeometry::kLabelHeight; ++row) {
        for (int col = 0; col < 3; ++col) {
          if ((digit >> ((4 - row) * 3 + (2 - col))) & 1) put(g.GlyphLeft(slot) + d * 4 + col, g.CellTop(slot) + 1 + row, SheetColour::Label);
        }
      }
    }
    const int width = font.Width(byte);
    for (int y = 0; y < g.glyphHeight; ++y) {
      for (int x = 0; x < g.glyphWidth; ++x) {
        const SheetColour c = font.Pixel(byte, x, y) ? SheetColour::Ink : x < width ? SheetColour::Paper : SheetColour::PaperPastWidth;
        put(g.GlyphLeft(slot) + x, g.GlyphTop(slot) + y, c);
      }
    }
    for (int x = 0; x < std::min(width, g.glyphWidth); ++x) put(g.GlyphLeft(slot) + x, g.BarTop(slot), SheetColour::WidthBar);
    const std::string& letter = letters[byte];
    if (!letter.empty()) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%.2X", byte);
      letterLines += std::string(hex) + "\t" + letter + "\n";
    }
  }
  out.texts = {{"Font", fontName},
               {"Letters", letterLines},
               {"Comment", "Each glyph under its byte; ink is black, paper white (shaded past the character's width); "
                           "the blue bar under a glyph is the character's width."}};
  return out;
}

FontSheetReading ReadFontSheet(std::span<const uint8_t> png, const RomFont& font) {
  FontSheetReading r;
  const FontSheetGeometry g = SheetGeometryOf(font);
  r.expectedWidth = g.width;
  r.expectedHeight = g.height;
  // A PNG's first chunk is its header, with the size: a picture of another size is refused
  // before anything is decoded (or allocated) for it.
  auto big = [&](size_t at) {
    return uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 | uint32_t{png[at + 2]} << 8 | png[at + 3];
  };
  if (png.size() >= 24 && std::equal(png.begin() + 12, png.begin() + 16, "IHDR") &&
      (big(16) != static_cast<uint32_t>(g.width) || big(20) != static_cast<uint32_t>(g.height))) {
    r.refusal = SheetRefusal::WrongSize;
    r.width = static_cast<int>(std::min<uint32_t>(big(16), INT32_MAX));
    r.height = static_cast<int>(std::min<uint32_t>(big(20), INT32_MAX));
    return r;
  }
  const std::optional<RgbaPicture> picture = DecodePng(png, &r.pngError);
  if (!picture) {
    r.refusal = SheetRefusal::NotPng;
    return r;
  }
  r.width = picture->width;
  r.height = picture->height;
  if (r.width != g.width || r.height != g.height) {
    r.refusal = SheetRefusal::WrongSize;
    return r;
  }
  for (int y = 0; y < g.height; ++y) {
    for (int x = 0; x < g.width; ++x) {
      SheetColour c;
      if (picture->Alpha(x, y) != 0xFF || !InPalette(picture->Rgb(x, y), c)) {
        r.refusal = SheetRefusal::ForeignColour;
        r.x = x;
        r.y = y;
        r.colour = picture->Rgb(x, y);
        return r;
      }
    }
  }
  r.font = font;
  for (int slot = 0; slot < kFontCharacterSlots; ++slot) {
    const uint8_t byte = SlotByte(slot);
    auto colourAt = [&](int x, int y) {
      SheetColour c = SheetColour::Frame;
      InPalette(picture->Rgb(x, y), c);
      return c;
    };
    for (int y = 0; y < g.glyphHeight; ++y) {
      for (int x = 0; x < g.glyphWidth; ++x) {
        r.font.SetPixel(byte, x, y, colourAt(g.GlyphLeft(slot) + x, g.GlyphTop(slot) + y) == SheetColour::Ink);
      }
    }
    int bar = 0;
    while (bar < g.glyphWidth && colourAt(g.GlyphLeft(slot) + bar, g.BarTop(slot)) == SheetColour::WidthBar) ++bar;
    for (int x = bar; x < g.glyphWidth; ++x) {
      if (colourAt(g.GlyphLeft(slot) + x, g.BarTop(slot)) == SheetColour::WidthBar) {
        r.refusal = SheetRefusal::BrokenWidthBar;
        r.characterByte = byte;
        return r;
      }
    }
    uint8_t& width = r.font.widths[static_cast<size_t>(slot)];
    if (bar < g.glyphWidth || width < g.glyphWidth) width = static_cast<uint8_t>(bar);
  }
  return r;
}

ChangeSet FontChanges(const RomFont& before, const RomFont& after) {
  ChangeSet out;
  if (!before.readable || before.widthOffset != after.widthOffset || before.glyphOffset != after.glyphOffset ||
      before.glyphs.size() != after.glyphs.size()) {
    return out;
  }
  AddDifferences(before.widths, after.widths, before.widthOffset, out);
  AddDifferences(before.glyphs, after.glyphs, before.glyphOffset, out);
  return out;
}

}  // namespace lettermoor

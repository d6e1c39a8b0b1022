#pragma once

// A font of the ROM as one picture, to redraw in an image editor and bring back: the 128 glyphs
// in a grid of 16 columns, each in a cell with its byte over it in small hexadecimal digits, its
// pixels in ink on paper (the paper past the character's width shaded), and under it a bar as
// long as the character's width. The picture's colours are a fixed palette; reading it back
// takes only those.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "codec/png_image.h"
#include "codec/rom_fonts.h"
#include "rom/rom_file.h"

namespace lettermoor {

// The fonts' short names, in FontId order, as the command line and the pictures call them.
inline constexpr std::array<const char*, text_window::kFontCount> kFontKeys = {"main", "saturn", "battle", "tiny",
                                                                             "large"};

// The letter each byte stands for, as UTF-8 (empty for none), shown beside its glyph.
using FontLetters = std::array<std::string, 256>;
// The game's own characters: bytes 0x50-0xAA are " " to "z".
FontLetters FixedFontLetters();
// The letters a character table gives the bytes (the game's own for the bytes it leaves alone);
// the game's own characters without one.
FontLetters FontLettersOf(const class CharacterTable* table);

// What each pixel of the picture is, in palette order.
enum class SheetColour : uint8_t { Frame, Label, Paper, PaperPastWidth, Ink, WidthBar };
inline constexpr std::array<uint32_t, 6> kSheetColours = {
    0x404040,  // Frame: around and between the cells, and the bar's ground
    0xE0E0E0,  // Label: the byte's digits
    0xFFFFFF,  // Paper: a clear pixel inside the character's width
    0xC8C8E8,  // PaperPastWidth: a clear pixel past it
    0x000000,  // Ink: a set pixel
    0x3070FF,  // WidthBar
};

// Where everything lies in the picture of a font.
struct FontSheetGeometry {
  static constexpr int kColumns = 16;
  static constexpr int kRows = text_window::kFontCharacterSlots / kColumns;
  static constexpr int kLabelHeight = 5;  // the digits' height

  int glyphWidth = 0;  // the glyph's strips side by side
  int glyphHeight = 0;
  int cellWidth = 0;
  int cellHeight = 0;
  int width = 0;
  int height = 0;

  int CellLeft(int slot) const { return slot % kColumns * cellWidth; }
  int CellTop(int slot) const { return slot / kColumns * cellHeight; }
  int GlyphLeft(int slot) const { return CellLeft(slot) + 1; }
  int GlyphTop(int slot) const { return CellTop(slot) + 1 + kLabelHeight + 1; }
  int BarTop(int slot) const { return GlyphTop(slot) + glyphHeight + 1; }
};
FontSheetGeometry SheetGeometryOf(const RomFont& font);

// The byte a slot of the font is shown with: 0x50 for the first.
constexpr uint8_t SlotByte(int slot) { return static_cast<uint8_t>(text_window::kFirstCharacterByte + slot); }

// The picture of a readable font, with the letters in an iTXt chunk "Letters" (one line per
// glyph: its byte in hexadecimal, a tab, its letter) and the font's name in "Font".
PalettePicture DrawFontSheet(const RomFont& font, const char* fontName, const FontLetters& letters);

// Why a picture was not taken.
enum class SheetRefusal {
  None,
  NotPng,          // libpng could not read it (`pngError` says why)
  WrongSize,       // not the size this font's picture has
  ForeignColour,   // a pixel in none of the palette's colours (or not opaque), at (x, y)
  BrokenWidthBar,  // a width bar with a gap in it, for `characterByte`
};

struct FontSheetReading {
  SheetRefusal refusal = SheetRefusal::None;
  std::string pngError;
  int expectedWidth = 0, expectedHeight = 0;  // WrongSize
  int width = 0, height = 0;
  int x = 0, y = 0;         // ForeignColour
  uint32_t colour = 0;      // ForeignColour: 0xRRGGBB
  uint8_t characterByte = 0;  // BrokenWidthBar
  RomFont font;             // the font as the picture has it (with the offsets of the one given)
};

// Reads a picture of `font` back: glyphs and widths as drawn. A width bar that fills the whole
// glyph stands for the font's own width when that is as wide or wider (the picture cannot show
// more).
FontSheetReading ReadFontSheet(std::span<const uint8_t> png, const RomFont& font);

// The ranges of the file that turn `before` into `after`: only the glyph and width bytes that
// differ. Empty when nothing does (or the two are not the same font's).
ChangeSet FontChanges(const RomFont& before, const RomFont& after);

}  // namespace lettermoor

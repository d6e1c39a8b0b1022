#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/text_layout.h"
#include "codec/text_window_format.h"

namespace lettermoor {

class RomFile;

// One font as the ROM's font table describes it: its widths and glyphs, copied out of the file.
struct RomFont {
  bool readable = false;  // false when the record points outside the file or is implausible
  int64_t widthOffset = 0;  // file offsets the record's pointers lead to
  int64_t glyphOffset = 0;
  int bytesPerGlyph = 0;
  int height = 0;
  std::array<uint8_t, text_window::kFontCharacterSlots> widths{};
  uint8_t widest = 0;          // the widest of the characters the script can use
  std::vector<uint8_t> glyphs;  // kFontCharacterSlots glyphs of bytesPerGlyph bytes

  // The width of a character byte (0x50-0xAA), in pixels, not counting the spacing after it.
  int Width(uint8_t characterByte) const { return widths[static_cast<size_t>(text_window::FontIndex(characterByte))]; }
  // The pen's move for a character: its width plus the spacing.
  int Advance(uint8_t characterByte) const { return Width(characterByte) + text_window::kCharacterSpacing; }
  // Whether pixel (x, y) of the character's glyph is set; false outside the glyph.
  bool Pixel(uint8_t characterByte, int x, int y) const;
  // Sets or clears that pixel; nothing outside the glyph.
  void SetPixel(uint8_t characterByte, int x, int y, bool on);
  // The glyph's width in pixels: its strips side by side.
  int GlyphWidth() const { return height > 0 ? bytesPerGlyph / height * text_window::kGlyphStripWidth : 0; }
};

struct RomFonts {
  std::array<RomFont, text_window::kFontCount> fonts;
  const RomFont& Of(text_window::FontId id) const { return fonts[static_cast<size_t>(id)]; }
};

// Reads the font table and every font it points at. Never reads outside the file: a font whose
// record leads outside it (or claims an implausible glyph size) is left unreadable.
RomFonts ReadRomFonts(const RomFile& rom);

// The same, from an image in memory (the sample ROM's maker checks its own table this way).
RomFonts ReadRomFonts(std::span<const uint8_t> image);

// The widths the layout measures with; an unreadable font measures every character as 0 wide.
LayoutWidths LayoutWidthsOf(const RomFonts& fonts);

}  // namespace lettermoor

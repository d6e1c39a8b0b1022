#include "codec/rom_fonts.h"

#include <algorithm>

#include "codec/character_map.h"
#include "rom/rom_file.h"

namespace lettermoor {

using namespace text_window;

namespace {

// The characters the script can hold.
constexpr uint8_t kLastCharacterByte = kGameCharacters.LastByte();

template <typename ReadBytes>
RomFonts ReadFonts(int64_t fileSize, ReadBytes&& read) {
  RomFonts out;
  auto inside = [&](int64_t offset, int64_t length) {
    return offset >= 0 && length >= 0 && offset <= fileSize - length;
  };
  if (!inside(kFontTableOffset, int64_t{kFontCount} * kFontRecordSize)) return out;
  std::array<uint8_t, kFontCount * kFontRecordSize> table{};
  read(kFontTableOffset, std::span<uint8_t>(table));
  auto field = [&](int font, int at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t{table[static_cast<size_t>(font * kFontRecordSize + at + i)]} << (8 * i);
    return v;
  };
  for (int f = 0; f < kFontCount; ++f) {
    RomFont& font = out.fonts[static_cast<size_t>(f)];
    font.widthOffset = SnesToFileOffset(static_cast<SnesAddress>(field(f, kFontWidthPointerAt, 4)));
    font.glyphOffset = SnesToFileOffset(static_cast<SnesAddress>(field(f, kFontGlyphPointerAt, 4)));
    font.bytesPerGlyph = static_cast<int>(field(f, kFontBytesPerGlyphAt, 2));
    font.height = static_cast<int>(field(f, kFontHeightAt, 2));
    const bool plausible = font.height > 0 && font.height <= kMaxGlyphHeight && font.bytesPerGlyph > 0 &&
                           font.bytesPerGlyph <= kMaxBytesPerGlyph && font.bytesPerGlyph % font.height == 0;
    const int64_t glyphBytes = int64_t{font.bytesPerGlyph} * kFontCharacterSlots;
    if (!plausible || !inside(font.widthOffset, kFontCharacterSlots) || !inside(font.glyphOffset, glyphBytes)) {
      font = RomFont{};
      continue;
    }
    read(font.widthOffset, std::span<uint8_t>(font.widths));
    font.glyphs.resize(static_cast<size_t>(glyphBytes));
    read(font.glyphOffset, std::span<uint8_t>(font.glyphs));
    for (int b = kFirstCharacterByte; b <= kLastCharacterByte; ++b) {
      font.widest = std::max(font.widest, static_cast<uint8_t>(font.Width(static_cast<uint8_t>(b))));
    }
    font.readable = true;
  }
  return out;
}

}  // namespace

namespace {

// Where pixel (x, y) of a glyph lies: the byte and the bit; false outside the glyph.
bool PixelAt(const RomFont& font, uint8_t characterByte, int x, int y, size_t& at, int& shift) {
  if (!font.readable || x < 0 || y < 0 || y >= font.height) return false;
  const int strip = x / kGlyphStripWidth;
  if (strip >= font.bytesPerGlyph / font.height) return false;
  at = static_cast<size_t>(FontIndex(characterByte)) * static_cast<size_t>(font.bytesPerGlyph) +
       static_cast<size_t>(strip * font.height + y);
  const int bit = x % kGlyphStripWidth;
  shift = kGlyphBitOrder == GlyphBitOrder::LeftmostIsHighBit ? 7 - bit : bit;
  return true;
}

}  // namespace

bool RomFont::Pixel(uint8_t characterByte, int x, int y) const {
  size_t at = 0;
  int shift = 0;
  return PixelAt(*this, characterByte, x, y, at, shift) && ((glyphs[at] >> shift) & 1);
}

void RomFont::SetPixel(uint8_t characterByte, int x, int y, bool on) {
  size_t at = 0;
  int shift = 0;
  if (!PixelAt(*this, characterByte, x, y, at, shift)) return;
  const uint8_t mask = static_cast<uint8_t>(1u << shift);
  glyphs[at] = static_cast<uint8_t>(on ? glyphs[at] | mask : glyphs[at] & ~mask);
}

LayoutWidths LayoutWidthsOf(const RomFonts& fonts) {
  LayoutWidths out;
  for (size_t f = 0; f < fonts.fonts.size(); ++f) {
    if (!fonts.fonts[f].readable) continue;
    out.widths[f] = fonts.fonts[f].widths;
    out.widest[f] = fonts.fonts[f].widest;
  }
  return out;
}

RomFonts ReadRomFonts(const RomFile& rom) {
  return ReadFonts(rom.Size(), [&](int64_t offset, std::span<uint8_t> out) { rom.Read(offset, out); });
}

RomFonts ReadRomFonts(std::span<const uint8_t> image) {
  return ReadFonts(static_cast<int64_t>(image.size()), [&](int64_t offset, std::span<uint8_t> out) {
    std::copy_n(image.begin() + offset, out.size(), out.begin());
  });
}

}  // namespace lettermoor

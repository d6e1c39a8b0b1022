#pragma once

// What the text layout and the preview assume about how the game draws its text windows: where
// the fonts lie, how glyphs and widths are stored, the window sizes, the wrapping rules and the
// codes the game acts on while it prints. These come from public notes on the format and have
// never been checked against a real ROM (this project never uses one): every such fact is named
// here once, so that a wrong one is mended in one place.

#include <array>
#include <cstdint>

#include "codec/character_map.h"
#include "rom/snes_address.h"

namespace lettermoor::text_window {

// ---- The font table -------------------------------------------------------------------------
// Five fonts, one 12-byte record each: a 4-byte SNES pointer to the width table, a 4-byte SNES
// pointer to the glyphs, then two 16-bit fields, bytes per glyph and glyph height. The pointers
// are always read from the table, so that a ROM whose fonts were moved still works.
inline constexpr SnesAddress kFontTableAddress = 0xC3F054;
inline constexpr int64_t kFontTableOffset = SnesToFileOffset(kFontTableAddress);  // with the header
inline constexpr int kFontCount = 5;
inline constexpr int kFontRecordSize = 12;
inline constexpr int kFontWidthPointerAt = 0;
inline constexpr int kFontGlyphPointerAt = 4;
inline constexpr int kFontBytesPerGlyphAt = 8;
inline constexpr int kFontHeightAt = 10;

// The order of the records in the table.
enum class FontId : uint8_t { Main = 0, MrSaturn = 1, Battle = 2, Tiny = 3, Large = 4 };

// ---- Widths and glyphs ----------------------------------------------------------------------
// One width byte per character, indexed by (byte - 0x50) & 0x7F; glyphs use the same index.
inline constexpr uint8_t kFirstCharacterByte = 0x50;
inline constexpr int kFontCharacterSlots = 128;
constexpr int FontIndex(uint8_t characterByte) { return (characterByte - kFirstCharacterByte) & 0x7F; }
// A character moves the pen on by its width plus this many pixels.
inline constexpr int kCharacterSpacing = 1;

// Glyphs are 1 bit per pixel, stored as 8-pixel-wide column strips of one byte per row: strip 0
// (pixels 0-7) for every row, then strip 1 (pixels 8-15), and so on. The main font has 32 bytes
// per glyph and 16 rows.
inline constexpr int kGlyphStripWidth = 8;
enum class GlyphBitOrder : uint8_t {
  LeftmostIsHighBit,  // bit 7 is the strip's leftmost pixel
  LeftmostIsLowBit,   // bit 0 is
};
// The least certain of these facts: flip it here if glyphs come out mirrored in each strip.
inline constexpr GlyphBitOrder kGlyphBitOrder = GlyphBitOrder::LeftmostIsHighBit;
// Fonts whose records claim more than this are taken as unreadable.
inline constexpr int kMaxGlyphHeight = 32;
inline constexpr int kMaxBytesPerGlyph = 128;

// ---- The windows ----------------------------------------------------------------------------
inline constexpr int kLineHeight = 16;
struct WindowShape {
  int lines;      // lines on screen at once
  int lineWidth;  // pixels a line may fill
};
inline constexpr WindowShape kDialogueWindow{3, 136};  // 17 tiles of 8 pixels
inline constexpr WindowShape kBattleWindow{2, 176};

// ---- Wrapping -------------------------------------------------------------------------------
// A word is a run of characters ended by a blank or by any control code; dictionary words are
// expanded into the run first. When x + the word's width passes the line's width, the word goes
// to a new line: a blank that would start that line is dropped, and the line starts
// kWrapIndent pixels in unless its first character is the bullet. A word wider than a whole
// line is cut where it reaches the line's last tile and goes on on the next line.
inline constexpr uint8_t kBlankByte = kGameCharacters.ByteOf(' ');
inline constexpr uint8_t kBulletByte = kGameCharacters.ByteOf('@');
inline constexpr int kWrapIndent = 6;

// ---- Codes as the game acts on them while it prints -----------------------------------------
inline constexpr uint8_t kNewLineCode = 0x00;          // new line, no indent
inline constexpr uint8_t kNewLineUnlessAtStart = 0x01;  // new line unless the line is still empty
inline constexpr uint8_t kWaitPromptCode = 0x03;        // wait for a button, blinking triangle
inline constexpr uint8_t kWaitNoPromptCode = 0x13;      // wait for a button, no triangle
inline constexpr uint8_t kWaitBattleCode = 0x14;        // wait for a button, triangle (battle)
// The pair 18 06 clears the window. The code table alone would read the 06 as the start of a
// jump with six argument bytes, so the layout reads the pair as one two-byte item.
inline constexpr uint8_t kClearWindowCode = 0x18;
inline constexpr uint8_t kClearWindowSubCode = 0x06;
inline constexpr int kClearWindowSize = 2;
// 1F 30 and 1F 31 switch to the regular and the Mr. Saturn font.
inline constexpr uint8_t kFontSwitchCode = 0x1F;
inline constexpr uint8_t kRegularFontSubCode = 0x30;
inline constexpr uint8_t kMrSaturnFontSubCode = 0x31;
// A new line on the window's last line scrolls the window up by one line.

// ---- Substitutions --------------------------------------------------------------------------
// Codes the game replaces by a name or a number while it prints. What they print is not known
// before the game runs, so each is measured at a worst case: so many characters, each as wide
// as the widest character of the current font. Such widths are estimates and marked so.
struct SubstitutionEstimate {
  uint8_t code;
  uint8_t subCode;
  uint8_t characters;
  const char* what;
};
inline constexpr int kPlayerNameCharacters = 6;
inline constexpr int kNameCharacters = 25;
inline constexpr int kNumberDigits = 7;
inline constexpr std::array<SubstitutionEstimate, 9> kSubstitutions = {{
    {0x1C, 0x01, kNumberDigits, "player stat"},
    {0x1C, 0x02, kPlayerNameCharacters, "player name"},
    {0x1C, 0x03, 1, "character"},
    {0x1C, 0x05, kNameCharacters, "item name"},
    {0x1C, 0x06, kNameCharacters, "teleport name"},
    {0x1C, 0x0A, kNumberDigits, "number"},
    {0x1C, 0x0D, kNameCharacters, "source name"},
    {0x1C, 0x0E, kNameCharacters, "target name"},
    {0x1C, 0x0F, kNumberDigits, "amount"},
}};

// The estimate for a code and its sub-code, or nullptr when it prints nothing of its own.
constexpr const SubstitutionEstimate* FindSubstitution(uint8_t code, uint8_t subCode) {
  for (const SubstitutionEstimate& s : kSubstitutions) {
    if (s.code == code && s.subCode == subCode) return &s;
  }
  return nullptr;
}

}  // namespace lettermoor::text_window

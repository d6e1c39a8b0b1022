#include "sample/sample_font.h"

#include <array>
#include <string_view>

#include "codec/text_window_format.h"
#include "rom/snes_address.h"

namespace lettermoor {

using namespace text_window;

namespace {

constexpr int kGlyphBytes = 32;
constexpr int kGlyphRows = 16;
constexpr int kFirstArtRow = 3;  // the art's top row within the 16

// Characters 0x20-0x7F as the script shows them (at the bytes the character map gives them), each as its
// rows from the top, separated by blanks; '#' is a set pixel. The width of a character is the
// length of its rows. '@' (script byte 0x70) is the bullet that starts a speech. Six glyphs the
// sample's texts never use are drawn as the letters of its example table (kSampleCharacterTable).
constexpr std::array<std::string_view, 96> kArt = {
    "...",                                          // ' '
    "# # # # # . #",                                // !
    "#.# #.#",                                      // "
    "..... .#.#. ##### .#.#. ##### .#.#.",          // #
    ".#. ### #.. ### ..# ### .#.",                  // $
    ".... #..# ...# ..#. .#.. #... #..#",           // %
    ".#.. #.#. .#.. #.#. #..# #.#. .#.#",           // &
    "# #",                                          // '
    ".# #. #. #. #. #. .#",                         // (
    "#. .# .# .# .# .# #.",                         // )
    "... #.# .#. #.#",                              // *
    "... ... .#. ### .#.",                          // +
    ". . . . . . # #",                              // ,
    "... ... ... ###",                              // -
    ". . . . . . #",                                // .
    "...# ...# ..#. .#.. .#.. #... #...",           // /
    ".##. #..# #..# #..# #..# #..# .##.",           // 0
    ".# ## .# .# .# .# .#",                         // 1
    ".##. #..# ...# ..#. .#.. #... ####",           // 2
    "###. ...# ...# .##. ...# ...# ###.",           // 3
    "..#. .##. #.#. #.#. #### ..#. ..#.",           // 4
    "#### #... ###. ...# ...# #..# .##.",           // 5
    ".##. #... ###. #..# #..# #..# .##.",           // 6
    "#### ...# ..#. ..#. .#.. .#.. .#..",           // 7
    ".##. #..# #..# .##. #..# #..# .##.",           // 8
    ".##. #..# #..# .### ...# ...# .##.",           // 9
    ". . # . . # .",                                // :
    ". . # . . # #",                                // ;
    ".##. #..# .##. #..# #### #... .##.",           // < drawn as ê
    "... ... ### ... ###",                          // =
    ".##. #..# .##. #..# #..# #..# .##.",           // > drawn as ô
    ".##. #..# ...# ..#. .#.. .... .#..",           // ?
    ".... .... .##. #### #### .##.",                // @ (the bullet)
    ".##. #..# #..# #### #..# #..# #..#",           // A
    "###. #..# #..# ###. #..# #..# ###.",           // B
    ".##. #..# #... #... #... #..# .##.",           // C
    "###. #..# #..# #..# #..# #..# ###.",           // D
    "### #.. #.. ### #.. #.. ###",                  // E
    "### #.. #.. ### #.. #.. #..",                  // F
    ".##. #..# #... #.## #..# #..# .###",           // G
    "#..# #..# #..# #### #..# #..# #..#",           // H
    "### .#. .#. .#. .#. .#. ###",                  // I
    "..# ..# ..# ..# ..# #.# .#.",                  // J
    "#..# #.#. ##.. #... ##.. #.#. #..#",           // K
    "#.. #.. #.. #.. #.. #.. ###",                  // L
    "#...# ##.## #.#.# #.#.# #...# #...# #...#",    // M
    "#..# ##.# ##.# #.## #.## #..# #..#",           // N
    ".###. #...# #...# #...# #...# #...# .###.",    // O
    "###. #..# #..# ###. #... #... #...",           // P
    ".###. #...# #...# #...# #.#.# #..#. .##.#",    // Q
    "###. #..# #..# ###. #.#. #..# #..#",           // R
    ".### #... #... .##. ...# ...# ###.",           // S
    "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",    // T
    "#..# #..# #..# #..# #..# #..# .##.",           // U
    "#...# #...# #...# .#.#. .#.#. .#.#. ..#..",    // V
    "#...# #...# #...# #.#.# #.#.# ##.## #...#",    // W
    "#...# .#.#. .#.#. ..#.. .#.#. .#.#. #...#",    // X
    "#...# .#.#. .#.#. ..#.. ..#.. ..#.. ..#..",    // Y
    "#### ...# ..#. .#.. .#.. #... ####",           // Z
    "## #. #. #. #. #. ##",                         // [
    "..#. .#.. .##. #..# #### #... .##.",           // backslash drawn as é
    "## .# .# .# .# .# ##",                         // ]
    ".#.. ..#. .##. #..# #### #... .##.",           // ^ drawn as è
    ".#.. ..#. .##. ...# .### #..# .###",           // _ drawn as à
    "... ... .## #.. #.. #.. .## ..# .#.",          // ` drawn as ç
    ".... .... .##. ...# .### #..# .###",           // a
    "#... #... ###. #..# #..# #..# ###.",           // b
    "... ... .## #.. #.. #.. .##",                  // c
    "...# ...# .### #..# #..# #..# .###",           // d
    ".... .... .##. #..# #### #... .##.",           // e
    ".## #.. ### #.. #.. #.. #..",                  // f
    ".... .... .### #..# #..# #..# .### ...# .##.", // g
    "#... #... ###. #..# #..# #..# #..#",           // h
    "# . # # # # #",                                // i
    ".# .. .# .# .# .# .# .# #.",                   // j
    "#.. #.. #.# ##. #.. ##. #.#",                  // k
    "# # # # # # #",                                // l
    "..... ..... ####. #.#.# #.#.# #.#.# #.#.#",    // m
    ".... .... ###. #..# #..# #..# #..#",           // n
    ".... .... .##. #..# #..# #..# .##.",           // o
    ".... .... ###. #..# #..# #..# ###. #... #...", // p
    ".... .... .### #..# #..# #..# .### ...# ...#", // q
    "... ... #.# ##. #.. #.. #..",                  // r
    "... ... .## #.. .#. ..# ##.",                  // s
    "#.. #.. ### #.. #.. #.. .##",                  // t
    ".... .... #..# #..# #..# #..# .###",           // u
    "... ... #.# #.# #.# #.# .#.",                  // v
    "..... ..... #...# #...# #.#.# #.#.# .#.#.",    // w
    "... ... #.# #.# .#. #.# #.#",                  // x
    ".... .... #..# #..# #..# #..# .### ...# .##.", // y
    ".... .... #### ...# .##. #... ####",           // z
    "..# .#. .#. #.. .#. .#. ..#",                  // {
    "# # # # # # # #",                              // |
    "#.. .#. .#. ..# .#. .#. #..",                  // }
    ".... .... .#.# #.#.",                          // ~
    "##### #...# #...# #...# #...# #...# #####",    // 0x7F: a box
};

int WidthOf(std::string_view art) {
  const size_t blank = art.find(' ');
  return static_cast<int>(blank == std::string_view::npos ? art.size() : blank);
}

// One glyph's 32 bytes: strip 0 (pixels 0-7) row by row, then strip 1 (empty: no character is
// wider than 8). With `wobble`, every other row leans one pixel to the right.
std::array<uint8_t, kGlyphBytes> GlyphBytes(std::string_view art, bool wobble) {
  std::array<uint8_t, kGlyphBytes> bytes{};
  int row = 0;
  size_t at = 0;
  while (at <= art.size()) {
    size_t end = art.find(' ', at);
    if (end == std::string_view::npos) end = art.size();
    const std::string_view pixels = art.substr(at, end - at);
    const int shift = wobble && row % 2 == 1 ? 1 : 0;
    uint8_t bits = 0;
    for (size_t x = 0; x < pixels.size(); ++x) {
      if (pixels[x] != '#') continue;
      const int column = static_cast<int>(x) + shift;
      bits |= static_cast<uint8_t>(kGlyphBitOrder == GlyphBitOrder::LeftmostIsHighBit ? 0x80 >> column
                                                                                        : 1 << column);
    }
    bytes[static_cast<size_t>(kFirstArtRow + row)] = bits;
    ++row;
    at = end + 1;
  }
  return bytes;
}

void PutFont(std::vector<uint8_t>& rom, int64_t widthsAt, int64_t glyphsAt, bool wobble) {
  for (size_t i = 0; i < kArt.size(); ++i) {
    rom[static_cast<size_t>(widthsAt) + i] = static_cast<uint8_t>(WidthOf(kArt[i]) + (wobble ? 1 : 0));
    const std::array<uint8_t, kGlyphBytes> glyph = GlyphBytes(kArt[i], wobble);
    std::copy(glyph.begin(), glyph.end(), rom.begin() + glyphsAt + static_cast<int64_t>(i) * kGlyphBytes);
  }
}

void PutRecord(std::vector<uint8_t>& rom, FontId font, int64_t widthsAt, int64_t glyphsAt) {
  const size_t at = static_cast<size_t>(kFontTableOffset) + static_cast<size_t>(font) * kFontRecordSize;
  auto put = [&](size_t offset, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) rom[at + offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
  };
  put(kFontWidthPointerAt, static_cast<uint32_t>(FileOffsetToSnes(static_cast<int32_t>(widthsAt))), 4);
  put(kFontGlyphPointerAt, static_cast<uint32_t>(FileOffsetToSnes(static_cast<int32_t>(glyphsAt))), 4);
  put(kFontBytesPerGlyphAt, kGlyphBytes, 2);
  put(kFontHeightAt, kGlyphRows, 2);
}

}  // namespace

void PutSampleFonts(std::vector<uint8_t>& rom) {
  PutFont(rom, kSampleMainWidthsOffset, kSampleMainGlyphsOffset, false);
  PutFont(rom, kSampleSaturnWidthsOffset, kSampleSaturnGlyphsOffset, true);
  for (FontId font : {FontId::Main, FontId::Battle, FontId::Tiny, FontId::Large}) {
    PutRecord(rom, font, kSampleMainWidthsOffset, kSampleMainGlyphsOffset);
  }
  PutRecord(rom, FontId::MrSaturn, kSampleSaturnWidthsOffset, kSampleSaturnGlyphsOffset);
}

}  // namespace lettermoor

#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace lettermoor {

// Where the sample ROM keeps its fonts (file offsets, below the script's first text range).
inline constexpr int64_t kSampleMainWidthsOffset = 0x3F300;
inline constexpr int64_t kSampleSaturnWidthsOffset = 0x3F380;
inline constexpr int64_t kSampleMainGlyphsOffset = 0x3F400;
inline constexpr int64_t kSampleSaturnGlyphsOffset = 0x40400;
inline constexpr int64_t kSampleFontsEnd = 0x41400;

// Our own small pixel font: 96 characters (script bytes 0x50-0xAF) of 1 to 5 pixels' width,
// 7 rows high with 2 rows below the line, drawn here in code. Writes the font table and the
// fonts it points at into `rom`: the main font, a wobbly Mr. Saturn font one pixel wider per
// character, and the battle, tiny and large records pointing at the main font.
void PutSampleFonts(std::vector<uint8_t>& rom);

// An example character table for the sample: French letters on six punctuation glyphs its texts
// never use, which the sample font draws as those letters.
inline constexpr std::string_view kSampleCharacterTable =
    "# Lettermoor's sample ROM: French letters on glyphs its texts never use.\n"
    "8C=\u00E9\n"   // \\ is é
    "8E=\u00E8\n"   // ^ is è
    "8F=\u00E0\n"   // _ is à
    "90=\u00E7\n"   // ` is ç
    "6C=\u00EA\n"   // < is ê
    "6E=\u00F4\n";  // > is ô

}  // namespace lettermoor

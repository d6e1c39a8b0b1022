#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/character_table.h"
#include "codec/text_layout.h"

namespace lettermoor {

struct RomFonts;

// What each pixel of a drawn text window shows; the desktop program and the command-line tool
// give each its own colour.
enum class WindowPixel : uint8_t {
  Background,  // inside the window
  Outside,     // past the line's width, where nothing should be
  Ink,         // a glyph's pixel
  OverflowInk,  // a glyph's pixel on a line that runs over
  Estimate,    // a substitution, drawn as a box of its worst-case width
  WrapMark,    // the indent of a line the game wrapped itself
  CutMark,     // the end of a line that cuts a word
};
inline constexpr int kWindowPixelKinds = 7;

// One frame of a text window at 1x: the window's lines plus room past their end, where text
// that runs over shows.
struct TextWindowPicture {
  static constexpr int kOverflowRoom = 48;

  int width = 0;
  int height = 0;
  int lineWidth = 0;  // the window's own width; [0, lineWidth) is inside
  std::vector<WindowPixel> pixels;  // row after row

  WindowPixel At(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

// Draws frame `frameIndex` of the layout with the ROM's own glyphs: the frame's lines, each with
// the items printed before the frame's wait. `out` keeps its storage between calls.
void DrawTextWindowFrame(const TextLayoutResult& layout, int frameIndex, const RomFonts& fonts,
                         TextWindowPicture& out);

// The layout as text, one line each: its number, its width, the pixels left, the marks
// ("wrapped", "cut", "runs over", "estimate") and the printed text; a line after a button press
// is preceded by the wait ("-- 03 --"). The text's characters as `characters` shows them, when given.
std::string DescribeLayout(const TextLayoutResult& layout, const CharacterTable* characters = nullptr);

// A line that a translator must fix: it cuts a word, or runs over.
struct LayoutFaultAt {
  int line = 0;            // from 1
  bool cut = false;        // it cuts a word (else it runs over)
  int over = 0;            // pixels past the window's width, for a line that runs over
  bool estimated = false;  // that width rests on worst-case estimates
};

// The first line that cuts a word or runs over, or nothing. Lines that run over only by
// substitutions' worst-case estimates count when `estimates` is set.
std::optional<LayoutFaultAt> FindLayoutFault(const TextLayoutResult& layout, bool estimates);

// The fault in words: "line 2 cuts a word", "line 1 runs over by 14 px (estimate)".
std::string DescribeLayoutFault(const LayoutFaultAt& fault);

// FindLayoutFault in words, or an empty string.
std::string LayoutFault(const TextLayoutResult& layout, bool estimates);

}  // namespace lettermoor

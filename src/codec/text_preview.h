#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "codec/rom_fonts.h"
#include "codec/text_layout.h"

namespace lettermoor {

class RomFile;
struct TextDictionary;

// Why a text cannot be laid out.
enum class PreviewRefusal : uint8_t {
  None,
  FontUnreadable,  // the font table does not lead to a readable font for the window's kind
};

// A text as a window of one kind shows it.
struct TextPreview {
  TextLayoutResult layout;
  int notFitting = 0;  // lines that run over or cut a word
};

// Lays texts out as the game prints them, with the fonts of one ROM: the window and the
// command-line tool draw or print what it gives. The fonts are read once and kept, so that a
// layout on every keystroke reads nothing from the file.
class TextPreviewer {
 public:
  TextPreviewer() = default;
  explicit TextPreviewer(const RomFile& rom) { ReadFonts(rom); }

  // Reads the ROM's fonts again (the file may have changed under us).
  void ReadFonts(const RomFile& rom);

  const RomFonts& Fonts() const { return fonts_; }
  // The widths to lay out with; valid while this previewer lives.
  const LayoutWidths& Widths() const { return widths_; }
  // Whether a window of `kind` can be laid out: its font must be readable.
  PreviewRefusal RefusalFor(TextWindowKind kind) const;

  // Each lays the text out into `out` (its storage kept) and gives PreviewRefusal::None, or
  // gives the refusal and leaves `out` empty.
  PreviewRefusal LayText(const TextDictionary& dictionary, std::string_view text, TextWindowKind kind,
                         TextPreview& out) const;
  PreviewRefusal LayBytes(const TextDictionary& dictionary, std::span<const uint8_t> bytes, TextWindowKind kind,
                          TextPreview& out) const;
  // The string at a file offset of `rom`; bytes past the file's end read as 0xFF.
  PreviewRefusal LayAt(const TextDictionary& dictionary, const RomFile& rom, int64_t offset, TextWindowKind kind,
                       TextPreview& out) const;

 private:
  static PreviewRefusal Refuse(PreviewRefusal refusal, TextPreview& out);
  static void Count(TextPreview& out);

  RomFonts fonts_;
  LayoutWidths widths_;
};

}  // namespace lettermoor

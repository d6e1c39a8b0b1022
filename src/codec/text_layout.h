#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/text_window_format.h"

namespace lettermoor {

struct TextDictionary;
class RomFile;

enum class TextWindowKind : uint8_t { Dialogue, Battle };

constexpr text_window::WindowShape ShapeOf(TextWindowKind kind) {
  return kind == TextWindowKind::Battle ? text_window::kBattleWindow : text_window::kDialogueWindow;
}

// The font a window of `kind` prints with until a code switches it.
constexpr text_window::FontId RegularFontOf(TextWindowKind kind) {
  return kind == TextWindowKind::Battle ? text_window::FontId::Battle : text_window::FontId::Main;
}

// The character widths the layout measures with, one table per font (without the spacing).
struct LayoutWidths {
  std::array<std::array<uint8_t, text_window::kFontCharacterSlots>, text_window::kFontCount> widths{};
  std::array<uint8_t, text_window::kFontCount> widest{};

  int Advance(text_window::FontId font, uint8_t characterByte) const {
    return widths[static_cast<size_t>(font)][static_cast<size_t>(text_window::FontIndex(characterByte))] +
           text_window::kCharacterSpacing;
  }
};

// One thing the game meets while it prints a string: a character (a dictionary word gives one
// item per character), a substitution, or a code.
struct LayoutItem {
  enum Kind : uint8_t {
    Character,
    Substitution,  // a name or number, measured at its worst case
    NewLine,       // 00
    NewLineUnlessAtStart,  // 01
    Wait,          // 03, 13 or 14
    ClearWindow,   // 18 06
    FontSwitch,
    OtherCode,     // any other code: it prints nothing, but ends a word
    End,           // the end code
  };
  Kind kind = Character;
  uint8_t value = 0;   // the character byte, or the code byte
  uint8_t subCode = 0;  // for sub-coded codes
  text_window::FontId font = text_window::FontId::Main;
  int32_t source = 0;    // where the item's bytes start in the string
  uint8_t byteCount = 0;  // bytes of the string it stands for (0 for a dictionary word's later characters)
  bool fromDictionary = false;
  bool dropped = false;   // a blank left out at the start of a wrapped line
  int16_t x = 0;          // where it starts on its line, in pixels
  int16_t width = 0;      // how far it moves the pen
  int32_t line = 0;       // the line it is on
  int32_t wordWidth = 0;  // on a word's first character: the whole word's width, else 0
};

struct LayoutLine {
  int32_t firstItem = 0;  // the items [firstItem, firstItem + itemCount) are on this line
  int32_t itemCount = 0;
  int32_t windowStart = 0;  // the first line of the window this line is in (after a clear)
  int16_t indent = 0;       // where the line starts
  int16_t width = 0;        // where the pen ends, in pixels
  bool wrapped = false;     // started by the game's own wrapping
  bool cut = false;         // ends inside a word too long for a line
  bool overflow = false;    // runs past the line's width
  bool estimated = false;   // holds a substitution measured at its worst case
};

// What the window shows when the player must press a button (or at the string's end): the
// lines [firstLine, lastLine], with only the items before `endItem`.
struct LayoutFrame {
  int32_t firstLine = 0;
  int32_t lastLine = 0;
  int32_t endItem = 0;
  uint8_t waitCode = 0;  // 03, 13, 14, or 0 for the frame the string ends on
  // Not a stop: the window as it stands when line `lastLine`, which does not fit, is done, because
  // it scrolls away before the next stop. waitCode is 0.
  bool passing = false;
};

struct TextLayoutResult {
  TextWindowKind kind = TextWindowKind::Dialogue;
  std::vector<LayoutItem> items;
  std::vector<LayoutLine> lines;
  std::vector<LayoutFrame> frames;
  int32_t size = 0;  // bytes of the string walked, end code included
  int32_t widestWord = 0;  // the widest word (or blank) of the text, in pixels

  bool AnyOverflow() const;
  bool AnyCut() const;
  // Whether an overflow comes only from lines whose width rests on worst-case estimates.
  bool OverflowOnlyEstimated() const;
};

// Lays a script string out as the game prints it into a text window: walks it item by item with
// the program's code table (the pair 18 06 read as one clear-window item), expands dictionary
// words, wraps words, and notes every line and every point where the player presses a button.
class TextLayout {
 public:
  // A dictionary word's widths in one font, for the check's quick look: the width before its
  // first blank (all of it when it has none), after its last blank, and the widest stretch from
  // that first blank on (a blank itself, a word inside, the part after the last blank).
  struct WordWidths {
    int32_t head = 0, tail = 0, inner = 0;
    bool blank = false;
    bool known = false;
  };

  TextLayout(const TextDictionary& dictionary, const LayoutWidths& widths)
      : dictionary_(dictionary), widths_(widths) {}

  // Lays out `bytes` (the string, up to its end code or the decode size limit). `out` is reused,
  // its storage kept, so that a layout on every keystroke allocates nothing once warm.
  void Lay(std::span<const uint8_t> bytes, TextWindowKind kind, TextLayoutResult& out) const;

  // The string at a file offset of the ROM; bytes past the file's end read as 0xFF.
  void Lay(const RomFile& rom, int64_t offset, TextWindowKind kind, TextLayoutResult& out) const;

  // As Lay, as far as a check for cut words and lines that run over needs. When no word is wider
  // than a wrapped line holds, no line can cut a word, and only a worst-case substitution can
  // run over: then, unless `estimates` asks for those, the lines are not worked out at all
  // (`out.lines` stays empty, which has no fault). `out.size` is set either way.
  void LayForCheck(const RomFile& rom, int64_t offset, TextWindowKind kind, bool estimates,
                   TextLayoutResult& out) const;
  void LayForCheck(std::span<const uint8_t> bytes, TextWindowKind kind, bool estimates, TextLayoutResult& out) const;

 private:
  // The walk through the string, with the items into `out` when kItems; gives the widest word
  // and sets `out.size`.
  template <bool kItems, typename Bytes>
  int32_t WalkItems(const Bytes& bytes, int64_t offset, int64_t end, TextWindowKind kind, TextLayoutResult& out) const;
  // Whether the text has a word too wide for a wrapped line; sets `out.size`.
  template <typename Bytes>
  bool WideWord(const Bytes& bytes, int64_t offset, int64_t end, TextWindowKind kind, TextLayoutResult& out) const;
  static void Clear(TextWindowKind kind, TextLayoutResult& out);
  void Place(TextLayoutResult& out) const;

  const TextDictionary& dictionary_;
  const LayoutWidths& widths_;
  // Worked out as the quick look first meets each word in each font; kept for the layout's life,
  // so that one layout is not for two threads at once.
  mutable std::array<std::vector<WordWidths>, text_window::kFontCount> wordWidths_;
};

}  // namespace lettermoor

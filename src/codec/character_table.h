#pragma once

// A translator's character table: some character bytes stand for letters the game's own map does
// not have (é for the byte the game draws as "\", ...). The decoder and encoder keep working on
// the game's own characters, one per byte; the table turns that text into what the user sees and
// back, outside bracketed codes only. Every byte it does not name keeps the game's character.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/text_encoder.h"

namespace lettermoor {

// Why a table file was not loaded.
enum class TableFault {
  None,
  CannotRead,      // the file could not be read (`error`)
  Malformed,       // not "HH=text", or the text is not UTF-8
  ByteOutOfRange,  // a byte outside 0x50-0xAA
  BracketByte,     // the bytes of "[" and "]" stay brackets: their text would read as a code's edge
  BracketText,     // the text is "[" or "]"
  NotOneCodePoint, // the text is empty, more than one code point, or a control character
  DuplicateText,   // two bytes stand for the same text (`byte`, `otherByte`)
};

class CharacterTable;

struct TableLoad {
  TableFault fault = TableFault::None;
  int line = 0;           // the line at fault, from 1
  int error = 0;          // CannotRead: the system's error number
  uint8_t byte = 0;       // the byte of the line at fault
  uint8_t otherByte = 0;  // DuplicateText: the byte that already stands for the text
  std::string text;       // BracketText, NotOneCodePoint, DuplicateText: the text
};

class CharacterTable {
 public:
  // Reads a table from its file's content; `name` is how messages name it (its file name).
  // Blank lines and lines starting with "#" are skipped; a later line for a byte replaces an
  // earlier one, and the table is checked as a whole after the last line.
  static std::optional<CharacterTable> Parse(std::string_view content, std::string name, TableLoad& fault);
  // Reads the file at `path`; named by its file name.
  static std::optional<CharacterTable> Load(const std::string& path, TableLoad& fault);

  const std::string& Name() const { return name_; }
  const std::string& Path() const { return path_; }
  // The text a character byte stands for (UTF-8).
  std::string_view TextOf(uint8_t byte) const { return text_[byte]; }
  // Whether the game's character `c` stands for the table's text instead of itself.
  bool Remaps(char c) const { return remapped_[static_cast<uint8_t>(c)]; }
  // The game's character for a code point, or nothing when the table has no byte for it.
  std::optional<char> CharacterFor(char32_t codePoint) const;

  // Whether a text holds a character the table shows otherwise (inside brackets too).
  bool RemapsAny(std::string_view text) const;
  // Whether the user's text is the encoder's as it is: plain ASCII without a character whose
  // byte the table took. (A character of neither is then refused as no game character.)
  bool ReadsAsItself(std::string_view text) const;
  // The decoder's text as the user sees it: each remapped character outside brackets as its
  // table text. Appends to `out`.
  void AppendDisplay(std::string& out, std::string_view text) const;
  std::string ToDisplay(std::string_view text) const {
    std::string out;
    AppendDisplay(out, text);
    return out;
  }
  // The user's text as the encoder reads it. Gives false, with the first character outside
  // brackets the table has no byte for (its column counted in characters from 1, `table` this
  // table's name), when there is one. Columns are the same in both texts: a code point outside
  // brackets is one character of the game's.
  bool ToGameText(std::string_view text, std::string& out, NonGameCharacter& refused) const;

 private:
  std::string name_, path_;
  std::array<std::string, 256> text_;  // by byte; the game's character for bytes left alone
  std::array<bool, 256> remapped_{};   // by the game's character
  std::vector<char> few_;              // the game's characters remapped
  std::array<char, 128> ascii_{};      // by code point: the game's character, 0 for none
  std::vector<std::pair<char32_t, char>> others_;  // the rest, sorted by code point
};

}  // namespace lettermoor

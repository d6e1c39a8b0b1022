#pragma once

#include <array>
#include <map>
#include <optional>
#include <utility>
#include <vector>
#include <string>
#include <string_view>

#include "codec/character_table.h"

namespace lettermoor {

// Search's case folding: only the letters a to z are folded, whatever else a text holds.

// Upper-cases the letters a to z only.
std::string UpperCaseAscii(std::string_view text);
void UpperCaseAsciiInPlace(std::string& text);

// Where UpperCaseAscii(text) holds `needle` (upper-cased already) at or after `from`, or npos;
// no copy is made.
size_t FindUpperCased(std::string_view text, std::string_view needle, size_t from = 0);
inline bool ContainsUpperCased(std::string_view text, std::string_view needle) {
  return FindUpperCased(text, needle) != std::string_view::npos;
}

// Search's case folding through a character table: the game's characters whose table texts are
// one letter in two cases (by Unicode's simple case folding, so É finds é) fold to one key. Keys
// are chosen so that UpperCaseAscii changes nothing more: letters a to z the table leaves alone
// fold as ever, every other class of two or more to a byte above 0x7F.
class CaseFold {
 public:
  explicit CaseFold(const CharacterTable& table);
  // Folds the game's characters of a decoded text in place.
  void Fold(char* text, size_t n) const;
  // A query as the user typed it, folded as Fold folds the texts; nothing when a character outside
  // brackets is in no case of the table's, so that no text holds it.
  std::optional<std::string> Needle(std::string_view query) const;

 private:
  std::array<uint8_t, 256> key_{};
  std::vector<std::pair<char, char>> changed_;  // the characters whose key is another
  std::map<char32_t, uint8_t> keyOfFolded_;  // by folded code point
};

}  // namespace lettermoor

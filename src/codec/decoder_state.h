#pragma once

#include <string>

namespace lettermoor {

class CharacterTable;

// What one decode leaves behind for the next: one instance per running editor. Every decode
// reads and updates it (see DecodeItems).
struct DecoderState {
  // The plain-English listing of the control codes of the string decoded last, lines joined by
  // "\r\n"; empty unless that decode made the listing. It grows as needed; no listing is ever cut.
  std::string interpreterText;
  // Whether the last control code (of this decode or an earlier one) was described. Decodes do
  // not reset it: it carries over from one string to the next.
  bool lastCodeDescribed = false;
  // The character table the listing shows characters through; null: the game's own.
  const CharacterTable* characters = nullptr;
};

}  // namespace lettermoor

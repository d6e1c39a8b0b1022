#pragma once

// What each stretch of an editable text is, for the edit box: its bracket groups and the codes
// in them (each with its group of what it does), a bracket fault, and the characters that are
// not game characters. Plain logic, so that the colours and hints are tested without a display.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "codec/character_table.h"
#include "codec/control_code_table.h"

namespace lettermoor {

enum class TextSpanKind : uint8_t {
  Bracket,           // the "[" or "]" of a group
  Code,              // one item inside a group: a code and its argument bytes
  UnclosedGroup,     // a group whose "[" is not closed: from it to the end of its line
  StrayClose,        // a "]" that closes no "[": from it to the end of its line
  NonGameCharacter,  // one character outside groups that is not a game character
};

struct TextSpan {
  int32_t start = 0;   // in characters from 0 (a malformed UTF-8 byte counts as one)
  int32_t length = 0;  // in characters
  TextSpanKind kind = TextSpanKind::Bracket;
  // Code: what it does, and its bytes as the group holds them (the code byte first). A code whose
  // arguments the group ends before holds only the bytes it has; the rest read as 0.
  // NonGameCharacter: the character's bytes as the text holds them.
  CodeGroup group = CodeGroup::Other;
  uint8_t byteCount = 0;
  std::array<uint8_t, 8> bytes{};
  // NonGameCharacter: the code point, or the byte's value when the text is not UTF-8 there.
  char32_t character = 0;
  bool malformed = false;

  bool IsFault() const { return kind >= TextSpanKind::UnclosedGroup; }
  int32_t End() const { return start + length; }
};

// The spans of `text` (UTF-8), into `out` (its storage kept), in the order they start; a fault
// span comes after the spans it covers. Groups are read as the encoder reads them, from "[" to
// the next "]". A bracket fault is found only where the encoder refuses the text (its counts of
// "[" and "]" differ): a "]" with no group open, or a group not closed before the next "[" or the
// end. Only the first fault is given.
// Through `characters`, the characters outside groups are those of the table.
void FindTextSpans(std::string_view text, std::vector<TextSpan>& out, const CharacterTable* characters = nullptr);

// The fault the encoder refuses the text for, as Apply would: the bracket fault, else the first
// character that is not a game character; nullptr when there is none.
const TextSpan* RefusedFault(const std::vector<TextSpan>& spans);

}  // namespace lettermoor

#pragma once

// Replace in All Texts: where a listing's texts hold a piece of text, and what each becomes.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rom/snes_address.h"
#include "script/script_file.h"

namespace lettermoor {

struct ReplaceQuery {
  std::string find;
  std::string replace;
  bool matchCase = false;   // otherwise the letters a to z match either case
  bool matchCodes = false;  // otherwise a match may not touch a bracket group
};

// A piece of a text, in bytes.
struct TextPiece {
  size_t at = 0;
  size_t length = 0;
  bool operator==(const TextPiece&) const = default;
};

// Where `text` holds query.find, left to right, no two overlapping; nothing for an empty find.
std::vector<TextPiece> FindMatches(std::string_view text, const ReplaceQuery& query);

// `text` with each of `spans` (in order, not overlapping) replaced by `replacement`; where the
// replacements lie in the result goes to `placed`.
std::string ReplaceSpans(std::string_view text, std::span<const TextPiece> spans, std::string_view replacement,
                         std::vector<TextPiece>* placed = nullptr);

// One text that holds the find, once however many rows lead to it.
struct ReplaceCandidate {
  SnesAddress address = 0;
  std::vector<int> rows;  // the rows of the listing that lead to it, in order
  // As a script file gives it (it encodes to the string's own bytes), and with the replacements.
  std::string oldText;
  std::string newText;
  std::vector<TextPiece> oldSpans;  // the matches in oldText
  std::vector<TextPiece> newSpans;  // the replacements in newText
};

struct ReplaceSearch {
  std::vector<ReplaceCandidate> found;  // in listing order
  // A replacement that would make a text unwritable (a bracket fault, a character that is not a
  // game character): the first such text, its line being the row's line. Nothing is found then.
  std::optional<ScriptError> fault;
};

}  // namespace lettermoor

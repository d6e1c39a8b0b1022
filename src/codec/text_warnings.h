#pragma once

// What a translator should look at in a new text before the game prints it: an end code that is
// missing or not at the end, and control codes that differ from the original's. Warnings never
// stop a write by themselves; a caller may make them refusals.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codec/control_code_table.h"

namespace lettermoor {

// A control code apart from its argument values: the code byte and, where the code table tells
// the code's kinds apart by their sub-code, the sub-code.
struct CodeKind {
  uint8_t code = 0;
  int16_t subCode = kNoSubCode;  // the sub-code; kNoSubCode, or kAnySubCode for a menu

  friend bool operator==(const CodeKind&, const CodeKind&) = default;
};

enum class TextWarningKind : uint8_t {
  EndCodeMissing,  // no end code: the game prints on into whatever bytes follow the text
  EndCodeNotLast,  // an end code before the text's end: what follows it is never printed
  CodesDiffer,     // the control codes differ from the original's in kind or order
};

struct TextWarning {
  TextWarningKind kind;
  // CodesDiffer: the first compared code that differs, counted from 1, and what the text and its
  // original hold there (nothing where one of them has no more codes).
  int index;
  std::optional<CodeKind> found;
  std::optional<CodeKind> expected;

  TextWarning(TextWarningKind kind = TextWarningKind::EndCodeMissing, int index = 0,
              std::optional<CodeKind> found = {}, std::optional<CodeKind> expected = {})
      : kind(kind), index(index), found(found), expected(expected) {}

  friend bool operator==(const TextWarning&, const TextWarning&) = default;
};

// The end-code warning of script bytes, walked item by item as the decoder walks them (on past
// every end code): EndCodeMissing when no item is an end code, EndCodeNotLast when items follow
// the first one. For a text with no original to compare with.
std::vector<TextWarning> EndCodeWarnings(std::span<const uint8_t> bytes);

// Every warning of a text's new bytes against its original's: the end code's, then CodesDiffer
// when the codes differ in kind or order. Compared are the codes other than the end code and
// the ones that only shape the printing (line breaks, waits for a button, pauses, blank space:
// a translation rewraps its lines and pages); argument values (flags, numbers, addresses) may
// differ.
std::vector<TextWarning> TextWarnings(std::span<const uint8_t> bytes, std::span<const uint8_t> original);

// The same for two editable texts (codes in brackets), each encoded plainly.
std::vector<TextWarning> TextWarnings(std::string_view text, std::string_view original);

// One warning in words, a sentence.
std::string DescribeTextWarning(const TextWarning& warning);

}  // namespace lettermoor

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codec/hex_text.h"

namespace lettermoor {

// Where a text's brackets first go wrong, as a column counted from 1: the first "]" with no open
// "[" before it, otherwise the first "[" that is never closed. 0 when every bracket pairs up.
// Brackets are paired by nesting, so that every text whose counts of "[" and "]" differ (the
// texts MeasureText refuses) has a fault to point at.
int BracketFaultColumn(std::string_view text);

// One token of a bracket group, as the encoder reads it: the characters between blanks, "[" or
// "]", each a hexadecimal digit (any other character counts 0); the token is one byte, the last
// two digits of its value.
struct BracketToken {
  size_t start = 0;   // where the token starts in the text
  size_t length = 0;  // its characters
  uint32_t value = 0;
  bool exact = false;  // one or two hexadecimal digits: the byte reads back as written

  uint8_t Byte() const { return static_cast<uint8_t>(value); }
};

// Walks the group that starts at text[at] == "[", up to the next "]" or the end of the text
// (a "[" inside it is a token character), handing each token to `token`. Gives the index just
// past the group. The one reading of a group: the encoder, the compressor and the script reader
// all go through it.
template <typename OnToken>
[[gnu::always_inline]] inline size_t WalkBracketGroup(std::string_view text, size_t at, OnToken&& token) {
  const size_t n = text.size();
  size_t i = at + 1;
  while (i < n) {
    const char c = text[i];
    if (c == ' ') {
      ++i;
      continue;
    }
    if (c == ']') return i + 1;
    BracketToken t;
    t.start = i;
    bool digits = true;
    for (; i < n && text[i] != ' ' && text[i] != ']'; ++i) {
      const int d = HexValue(text[i]);
      digits &= d >= 0;
      t.value = t.value * 16 + static_cast<uint32_t>(d < 0 ? 0 : d);
    }
    t.length = i - t.start;
    t.exact = digits && t.length <= 2;
    token(t);
  }
  return n;
}

}  // namespace lettermoor

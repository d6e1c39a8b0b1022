#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace lettermoor {

class RomFile;

// 0-9 and A-F (either case) give their value; every other character gives 0.
int HexDigitValue(char c);

// Parses one bracket group ("[" ... "]"), storing each token's value in `values` (replacing its
// content, as many as there are). Gives the number of tokens, or -1 when the text does not start
// with "[". A group with no "]" ends at the end of the text.
int ParseBracketGroup(std::string_view group, std::vector<uint32_t>& values);

// Encodes editable text into script bytes: characters outside brackets become char + 0x30,
// every token inside brackets one byte (its last two hexadecimal digits). No bracket check.
std::vector<uint8_t> TextEncoder(std::string_view text);

// The number of bytes the text encodes to, or -1 when its counts of "[" and "]" differ.
int32_t MeasureText(std::string_view text);

struct WriteTextResult {
  int32_t byteCount = 0;  // how many bytes the text encodes to
  bool written = false;   // false when the bytes would not lie wholly inside the file, or the
                          // system refused the write; then nothing was written
};

// Encodes the text and writes every byte at `offset`, in place, synced to disk before it returns.
// Writes nothing when the bytes would reach past the end of the file.
[[nodiscard]] WriteTextResult WriteText(RomFile& rom, int64_t offset, std::string_view text);

}  // namespace lettermoor

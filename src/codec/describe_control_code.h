#pragma once

#include <cstdint>
#include <string>

#include "codec/decoder_state.h"

namespace lettermoor {

class RomFile;

// The decoder's cursor through one string, shared with the control-code step.
struct DecodeCursor {
  int64_t position = 0;   // file offset of the next byte to read
  int32_t size = 0;       // ROM bytes of the string consumed so far
  bool ended = false;     // set once the end code has been read
};

// Runs for every control-code byte right after it was read (the cursor stands on the byte after
// it, and the code byte is already counted). Consumes the code's argument bytes, appends them to
// `text` as " %.2X" each when `text` is given and bracketed codes are on, appends the code's line
// to the interpreter listing when that is on, and updates the carry-over flags.
void DescribeControlCode(const RomFile& rom, DecodeCursor& cursor, uint8_t code, std::string* text,
                         bool bracketedCodes, bool interpreterListing, DecoderState& state);

}  // namespace lettermoor

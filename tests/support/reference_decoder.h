#pragma once

#include <cstdint>
#include <string>

#include "codec/decoder_state.h"
#include "codec/text_decoder.h"
#include "codec/text_dictionary.h"

namespace lettermoor::test {

// The straightforward decode the editor's walk is checked against: byte after byte through
// RomFile::ReadByte, each control code looked up in the table and described as it is read. It
// shares nothing with the editor's decode but the code table and the dictionary. Gives the size
// count; `text` (may be null) gets the text, the state the listing (when asked for) and the
// carry-over flag.
int32_t ReferenceDecode(const RomFile& rom, int64_t offset, const TextDictionary& dictionary,
                        DecoderState& state, std::string* text, DecodeFlags flags);

}  // namespace lettermoor::test

#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "codec/decoder_state.h"
#include "codec/text_dictionary.h"

namespace lettermoor {

class RomFile;

// The text of a script file for the string at `offset`: the editable text of the decoder, except
// that every byte the encoder would not give back as it was is written as a bracketed code, so
// that the text encodes to the string's own bytes:
//   - the character bytes 0x8B and 0x8D, which decode to "[" and "]";
//   - a dictionary word that is empty or holds a character the encoder would not write back as
//     itself, or that follows a code which reads the byte after it as its sub-code without taking
//     it and would read the word's first letter otherwise (as another code): the reference's two
//     bytes;
//   - a "#", "@" or blank that starts the text, and blanks that end it (a script file's line
//     would read as a comment or a header, or lose them to an editor that trims lines).
// A dictionary word the encoder writes back as itself stays spelled out: its plain bytes decode
// to the same text, and the compressor may give it back as the reference.
// `size`, when given, receives the string's size count.
std::string ScriptText(const RomFile& rom, int64_t offset, const TextDictionary& dictionary, DecoderState& state,
                       int32_t* size = nullptr);

// The same text appended to `out`; gives the size count.
int32_t AppendScriptText(const RomFile& rom, int64_t offset, const TextDictionary& dictionary, DecoderState& state,
                         std::string& out);

// AppendScriptText for many texts of one file and dictionary: which words can be spelled out is
// worked out once. The dictionary must stay unchanged while the reader is used.
class ScriptTextReader {
 public:
  ScriptTextReader(const RomFile& rom, const TextDictionary& dictionary, DecoderState& state);
  int32_t Append(int64_t offset, std::string& out);

 private:
  const RomFile& rom_;
  const TextDictionary& dictionary_;
  DecoderState& state_;
  std::array<bool, kDictionarySlots> spellable_{};
};

}  // namespace lettermoor

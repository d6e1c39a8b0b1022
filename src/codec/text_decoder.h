#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/decoder_state.h"
#include "codec/text_dictionary.h"

namespace lettermoor {

class RomFile;

// A string never counts more than this many bytes: a decode that meets no end code stops once
// its size count reaches it (the last item may take the count a little past it).
inline constexpr int32_t kDecodeSizeLimit = 4000;

struct DecodeFlags {
  bool bracketedCodes = true;       // show control codes as [..] hexadecimal, or leave them out
  bool interpreterListing = false;  // rebuild the plain-English code listing
};

// Turns one script string of the ROM into editable text and counts the bytes it occupies.
// The dictionary and the carry-over state belong to the running editor and are shared by every
// decode.
class TextDecoder {
 public:
  TextDecoder(const TextDictionary& dictionary, DecoderState& state)
      : dictionary_(dictionary), state_(state) {}

  // Decodes the string at `offset` into `text` (replacing its content; the text grows as needed,
  // nothing is cut) and gives the size count. `text` may be null when only the size is wanted.
  // Without the interpreter listing this takes a lean path (list fills, searches and dumps decode
  // every string); its text, size count and carry-over state are those of DecodeItemByItem.
  int32_t Decode(const RomFile& rom, int64_t offset, std::string* text, DecodeFlags flags) const {
    return flags.interpreterListing ? DecodeItemByItem(rom, offset, text, flags)
                                    : DecodeLean(rom, offset, text, flags.bracketedCodes);
  }

  // The text without codes cut to its first `length` characters, as a list row shows it. The
  // size count and the carry-over state are those of the whole decode: the rest of the string is
  // still walked, only no more text is made.
  int32_t DecodePreview(const RomFile& rom, int64_t offset, std::string& text, size_t length) const;

  // The bracketed text (as Decode with bracketed codes and no listing gives it) left where the
  // decoder made it, for a caller that only reads it: the view holds until the next decode on
  // this thread. Searches and dumps look at every row this way without copying it.
  std::string_view DecodeBracketedView(const RomFile& rom, int64_t offset, int32_t* size = nullptr) const;

  // The straightforward decode: item by item, running the control-code step for every code.
  // Every decode with the interpreter listing takes it.
  int32_t DecodeItemByItem(const RomFile& rom, int64_t offset, std::string* text,
                           DecodeFlags flags) const;

  // The size count alone (bracketed codes on, no listing), as the table builder wants it.
  int32_t Measure(const RomFile& rom, int64_t offset) const {
    return Decode(rom, offset, nullptr, DecodeFlags{true, false});
  }

  const TextDictionary& Dictionary() const { return dictionary_; }
  DecoderState& State() const { return state_; }

 private:
  int32_t DecodeLean(const RomFile& rom, int64_t offset, std::string* text, bool bracketed) const;

  const TextDictionary& dictionary_;
  DecoderState& state_;
};

// The codes-only view: "[" then each of `count` bytes from `offset` as "%.2X ", the last blank
// turned into "]". A count of 0 gives "]".
std::string FormatRawBytes(const RomFile& rom, int64_t offset, int32_t count);

}  // namespace lettermoor

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/decode_items.h"
#include "codec/decoder_state.h"
#include "codec/text_buffer.h"
#include "codec/text_dictionary.h"
#include "codec/text_sinks.h"

namespace lettermoor {

class RomFile;

struct DecodeFlags {
  bool bracketedCodes = true;       // show control codes as [..] hexadecimal, or leave them out
  bool interpreterListing = false;  // rebuild the plain-English code listing
};

// Turns script strings of the ROM into text and counts the bytes they occupy, with the running
// editor's dictionary and carry-over state: every decode reads and updates the state, so the
// decoding methods are not const. The text goes into a sink (see decode_items.h and
// text_sinks.h) or a buffer the caller owns.
class TextDecoder {
 public:
  TextDecoder(const TextDictionary& dictionary, DecoderState& state)
      : dictionary_(dictionary), state_(state) {}

  // The item-by-item decode of the string at `offset` into `sink`; gives the size count.
  template <typename Sink>
  int32_t Decode(const RomFile& rom, int64_t offset, Sink& sink, ItemReading reading = ItemReading::Scanned) {
    return DecodeItems(rom, offset, dictionary_, state_, sink, reading);
  }

  // Appends the text with bracketed codes (as the edit box shows it) to `text`.
  int32_t DecodeBracketed(const RomFile& rom, int64_t offset, TextBuffer& text) {
    BracketedText sink(text);
    return Decode(rom, offset, sink);
  }

  // Replaces `text` with the text without codes cut to its first `length` characters, as a list
  // row shows it. The size count and the carry-over state are those of the whole decode: the
  // rest of the string is still walked, only no more text is made.
  int32_t DecodePreview(const RomFile& rom, int64_t offset, TextBuffer& text, size_t length) {
    text.Clear();
    PlainText sink(text, length);
    const int32_t size = Decode(rom, offset, sink);
    text.Truncate(length);
    return size;
  }

  // Decodes into `text` (replacing its content; null when only the size is wanted): the text
  // with or without bracketed codes, and with the interpreter listing, that listing into the
  // state's `interpreterText`. The decoder's own buffer takes the text first, so that string
  // after string allocates nothing once it has grown.
  int32_t Decode(const RomFile& rom, int64_t offset, std::string* text, DecodeFlags flags);

  // The size count alone.
  int32_t Measure(const RomFile& rom, int64_t offset) {
    NoText none;
    return Decode(rom, offset, none);
  }

  const TextDictionary& Dictionary() const { return dictionary_; }
  DecoderState& State() { return state_; }
  const DecoderState& State() const { return state_; }

 private:
  const TextDictionary& dictionary_;
  DecoderState& state_;
  TextBuffer text_;
};

// The codes-only view: "[" then each of `count` bytes from `offset` as "%.2X ", the last blank
// turned into "]". A count of 0 gives "]".
std::string FormatRawBytes(const RomFile& rom, int64_t offset, int32_t count);

}  // namespace lettermoor

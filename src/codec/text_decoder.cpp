#include "codec/text_decoder.h"

#include "codec/hex_text.h"
#include "rom/rom_file.h"

namespace lettermoor {

int32_t TextDecoder::Decode(const RomFile& rom, int64_t offset, std::string* text, DecodeFlags flags) {
  TextBuffer& buffer = text_;
  buffer.Clear();
  int32_t size = 0;
  // The listing is written into the state itself, which the decode empties before the first item.
  auto decode = [&](auto& textSink) {
    if (flags.interpreterListing) {
      Listing listing(state_.interpreterText, state_.lastCodeDescribed, textSink, state_.characters);
      size = Decode(rom, offset, listing);
    } else {
      size = Decode(rom, offset, textSink);
    }
  };
  if (!text) {
    NoText none;
    decode(none);
    return size;
  }
  if (flags.bracketedCodes) {
    BracketedText sink(buffer);
    decode(sink);
  } else {
    PlainText sink(buffer);
    decode(sink);
  }
  text->assign(buffer.View());
  return size;
}

std::string FormatRawBytes(const RomFile& rom, int64_t offset, int32_t count) {
  std::string text = "[";
  if (count > 0) text.reserve(static_cast<size_t>(count) * 3 + 1);
  for (int32_t i = 0; i < count; ++i) {
    AppendHexByte(text, rom.ReadByte(offset + i));
    text.push_back(' ');
  }
  text.back() = ']';
  return text;
}

}  // namespace lettermoor

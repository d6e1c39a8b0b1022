#include "codec/text_decoder.h"

#include "codec/byte_class.h"
#include "codec/describe_control_code.h"
#include "rom/rom_file.h"

namespace lettermoor {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, uint8_t b) {
  out.push_back(kHexDigits[b >> 4]);
  out.push_back(kHexDigits[b & 0x0F]);
}

}  // namespace

int32_t TextDecoder::Decode(const RomFile& rom, int64_t offset, std::string* text,
                            DecodeFlags flags) const {
  const bool bracketed = flags.bracketedCodes;
  const bool listing = flags.interpreterListing;
  DecoderState& state = state_;

  if (text) text->clear();
  state.interpreterText.clear();
  state.atStringStart = true;

  DecodeCursor cursor{offset, 0, false};
  bool groupOpen = false;
  ByteClass previous = ByteClass::Printable;

  while (cursor.size < kDecodeSizeLimit) {
    const uint8_t b = rom.ReadByte(cursor.position++);
    const ByteClass cls = ClassifyByte(b);

    if (cls != ByteClass::ControlCode) {
      if (listing && previous == ByteClass::ControlCode) state.interpreterText += "\r\n";
      if (groupOpen) {
        if (bracketed && text) text->push_back(']');
        groupOpen = false;
      }
    }
    previous = cls;

    if (cls == ByteClass::Printable) {
      const char c = static_cast<char>(b - 0x30);
      if (text) text->push_back(c);
      cursor.size += 1;
      if (listing) state.interpreterText.push_back(c);
      state.atStringStart = false;
    } else if (cls == ByteClass::DictionaryReference) {
      const uint8_t d = rom.ReadByte(cursor.position++);
      const std::string& word = dictionary_.Word(b, d);
      if (text) text->append(word);
      cursor.size += 2;
      if (listing) state.interpreterText += word;
      state.atStringStart = false;
    } else {
      cursor.size += 1;
      if (bracketed) {
        if (text) {
          text->push_back(groupOpen ? ' ' : '[');
          AppendHexByte(*text, b);
        }
        groupOpen = true;
      }
      DescribeControlCode(rom, cursor, b, text, bracketed, listing, state);
      if (cursor.ended) break;
    }
  }
  if (groupOpen && bracketed && text) text->push_back(']');
  return cursor.size;
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

#include "support/reference_decoder.h"

#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/hex_text.h"
#include "rom/rom_file.h"

namespace lettermoor::test {

namespace {

// Fills a "%.2X" format with the argument bytes in the entry's fill order.
std::string FormatDescription(const ControlCodeEntry& entry, const uint8_t* args) {
  std::string out;
  const char* p = entry.description;
  int next = 0;
  while (*p) {
    if (p[0] == '%' && p[1] == '.' && p[2] == '2' && p[3] == 'X' && next < entry.fillCount) {
      AppendHexByte(out, args[entry.fill[static_cast<size_t>(next++)] - 1]);
      p += 4;
    } else {
      out.push_back(*p++);
    }
  }
  return out;
}

}  // namespace

int32_t ReferenceDecode(const RomFile& rom, int64_t offset, const TextDictionary& dictionary,
                        DecoderState& state, std::string* text, DecodeFlags flags) {
  const bool bracketed = flags.bracketedCodes;
  const bool listing = flags.interpreterListing;
  if (text) text->clear();
  state.interpreterText.clear();
  bool atStringStart = true;

  int64_t position = offset;
  int32_t size = 0;
  bool groupOpen = false;
  ByteClass previous = ByteClass::Printable;

  while (size < kDecodeSizeLimit) {
    const uint8_t b = rom.ReadByte(position++);
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
      size += 1;
      if (listing) state.interpreterText.push_back(c);
      atStringStart = false;
      continue;
    }
    if (cls == ByteClass::DictionaryReference) {
      const std::string& word = dictionary.Word(b, rom.ReadByte(position++));
      if (text) text->append(word);
      size += 2;
      if (listing) state.interpreterText += word;
      atStringStart = false;
      continue;
    }

    size += 1;
    if (bracketed && text) {
      text->push_back(groupOpen ? ' ' : '[');
      AppendHexByte(*text, b);
    }
    if (bracketed) groupOpen = true;
    const ControlCodeEntry* entry = LookupControlCode(b, HasSubCode(b) ? rom.ReadByte(position) : uint8_t{0});
    const int n = entry ? entry->argumentCount : 0;
    uint8_t args[6];
    for (int i = 0; i < n; ++i) args[i] = rom.ReadByte(position + i);
    position += n;
    size += n;
    if (bracketed && text) {
      for (int i = 0; i < n; ++i) {
        text->push_back(' ');
        AppendHexByte(*text, args[i]);
      }
    }
    if (listing) {
      std::string& out = state.interpreterText;
      const bool described = entry != nullptr;
      if (!atStringStart && (described || state.lastCodeDescribed)) out += "\r\n";
      if (described) {
        out += FormatDescription(*entry, args);
      } else {
        AppendHexByte(out, b);
        out.push_back(' ');
      }
    }
    state.lastCodeDescribed = entry != nullptr;
    atStringStart = false;
    if (b == kEndCode) break;
  }
  if (groupOpen && bracketed && text) text->push_back(']');
  return size;
}

}  // namespace lettermoor::test

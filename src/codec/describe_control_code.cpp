#include "codec/describe_control_code.h"


#include "codec/control_code_table.h"
#include "codec/hex_text.h"
#include "rom/rom_file.h"

namespace lettermoor {

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

void DescribeControlCode(const RomFile& rom, DecodeCursor& cursor, uint8_t code, std::string* text,
                         bool bracketedCodes, bool interpreterListing, DecoderState& state) {
  const int64_t p = cursor.position;
  const ControlCodeEntry* entry =
      LookupControlCode(code, HasSubCode(code) ? rom.ReadByte(p) : uint8_t{0});
  const int n = entry ? entry->argumentCount : 0;

  uint8_t args[6];
  for (int i = 0; i < n; ++i) args[i] = rom.ReadByte(p + i);
  cursor.position = p + n;

  if (bracketedCodes && text) {
    for (int i = 0; i < n; ++i) {
      text->push_back(' ');
      AppendHexByte(*text, args[i]);
    }
  }
  cursor.size += n;

  if (interpreterListing) {
    std::string& listing = state.interpreterText;
    const bool described = entry != nullptr;
    if (!state.atStringStart && (described || state.lastCodeDescribed)) listing += "\r\n";
    if (described) {
      listing += FormatDescription(*entry, args);
    } else {
      AppendHexByte(listing, code);
      listing.push_back(' ');
    }
  }

  state.lastCodeDescribed = entry != nullptr;
  state.atStringStart = false;
  if (code == kEndCode) cursor.ended = true;
}

}  // namespace lettermoor

#include "codec/text_sinks.h"

#include <algorithm>
#include <array>

#include "codec/control_code_table.h"
#include "codec/hex_text.h"

namespace lettermoor {

namespace sink_detail {

void PutZeroCodes(TextBuffer& out, int64_t count) {
  static constexpr int kPatternCodes = 256;
  static constexpr std::array<char, 3 * kPatternCodes> kPattern = [] {
    std::array<char, 3 * kPatternCodes> p{};
    for (size_t k = 0; k < p.size(); k += 3) {
      p[k] = ' ';
      p[k + 1] = '0';
      p[k + 2] = '0';
    }
    return p;
  }();
  while (count > 0) {
    const int64_t codes = std::min<int64_t>(count, kPatternCodes);
    out.Append(std::string_view(kPattern.data(), static_cast<size_t>(codes) * 3));
    count -= codes;
  }
}

}  // namespace sink_detail

void AppendCodeDescription(std::string& listing, const CodeItem& code) {
  const uint8_t b = code.Code();
  const ControlCodeEntry* entry =
      code.described ? LookupControlCode(b, HasSubCode(b) ? code.bytes[1] : uint8_t{0}) : nullptr;
  if (!entry) {
    AppendHexByte(listing, b);
    listing.push_back(' ');
    return;
  }
  // Fills the "%.2X" placeholders with the argument bytes in the entry's fill order.
  const uint8_t* args = code.bytes + 1;
  const char* p = entry->description;
  int next = 0;
  while (*p) {
    if (p[0] == '%' && p[1] == '.' && p[2] == '2' && p[3] == 'X' && next < entry->fillCount) {
      AppendHexByte(listing, args[entry->fill[static_cast<size_t>(next++)] - 1]);
      p += 4;
    } else {
      listing.push_back(*p++);
    }
  }
}

}  // namespace lettermoor

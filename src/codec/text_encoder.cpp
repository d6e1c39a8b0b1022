#include "codec/text_encoder.h"

#include "rom/rom_file.h"

namespace lettermoor {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

namespace {

// Walks the tokens of the group that starts at text[0] == '[', calling `token` with each value;
// gives the index just past the group (past its "]", or the end of the text).
template <typename Sink>
size_t WalkGroup(std::string_view text, Sink&& token) {
  size_t i = 1;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ') {
      ++i;
    } else if (c == ']') {
      return i + 1;
    } else {
      uint32_t value = 0;
      while (i < text.size() && text[i] != ' ' && text[i] != ']') {
        value = value * 16 + static_cast<uint32_t>(HexDigitValue(text[i]));
        ++i;
      }
      token(value);
    }
  }
  return i;
}

template <typename Sink>
void Encode(std::string_view text, Sink&& byte) {
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '[') {
      i += WalkGroup(text.substr(i), [&](uint32_t v) { byte(static_cast<uint8_t>(v & 0xFF)); });
    } else {
      byte(static_cast<uint8_t>(static_cast<uint8_t>(text[i]) + 0x30));
      ++i;
    }
  }
}

}  // namespace

int ParseBracketGroup(std::string_view group, std::vector<uint32_t>& values) {
  values.clear();
  if (group.empty() || group[0] != '[') return -1;
  WalkGroup(group, [&](uint32_t v) { values.push_back(v); });
  return static_cast<int>(values.size());
}

std::vector<uint8_t> TextEncoder(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size());
  Encode(text, [&](uint8_t b) { out.push_back(b); });
  return out;
}

int32_t MeasureText(std::string_view text) {
  size_t open = 0, close = 0;
  for (char c : text) {
    open += c == '[';
    close += c == ']';
  }
  if (open != close) return -1;
  int32_t count = 0;
  Encode(text, [&](uint8_t) { ++count; });
  return count;
}

WriteTextResult WriteText(RomFile& rom, int64_t offset, std::string_view text) {
  const std::vector<uint8_t> bytes = TextEncoder(text);
  WriteTextResult result;
  result.byteCount = static_cast<int32_t>(bytes.size());
  result.written = rom.Write(offset, bytes);
  return result;
}

}  // namespace lettermoor

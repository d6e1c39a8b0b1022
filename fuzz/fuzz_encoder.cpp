// Encodes, measures and writes arbitrary texts.
//
// Invariants:
// - MeasureText gives -1 exactly when the text's counts of "[" and "]" differ, else -2 exactly
//   when a character outside brackets is not a game character, and otherwise the number of bytes
//   TextEncoder makes, which is never more than the text's length;
// - ParseBracketGroup gives -1 unless the text starts with "[", never reads past the text
//   (AddressSanitizer: the text is the fuzzer's exactly-sized buffer), and finds the tokens of
//   the group, each worth its last two hexadecimal digits;
// - WriteText writes exactly TextEncoder's bytes at the offset, leaves every other byte alone,
//   reads back through the same RomFile, and writes nothing when the bytes would pass the end of
//   the file or the text holds a character that is not a game character.

#include <cstdint>
#include <string_view>
#include <vector>

#include "codec/text_encoder.h"
#include "fuzz_support.h"

namespace lettermoor::fuzz {
namespace {

// The tokens of the group at text[0] == '[', found without the encoder: runs of characters other
// than blank and "]", up to the first "]" or the end of the text.
std::vector<std::string_view> GroupTokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  size_t i = 1;
  while (i < text.size() && text[i] != ']') {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != ']') ++i;
    tokens.push_back(text.substr(start, i - start));
  }
  return tokens;
}

uint32_t LastTwoDigits(std::string_view token) {
  const int low = HexDigitValue(token.back());
  const int high = token.size() >= 2 ? HexDigitValue(token[token.size() - 2]) : 0;
  return static_cast<uint32_t>(high * 16 + low);
}

void CheckGroup(std::string_view group) {
  std::vector<uint32_t> values = {1, 2, 3};
  const int count = ParseBracketGroup(group, values);
  if (group.empty() || group[0] != '[') {
    FUZZ_CHECK(count == -1);
    return;
  }
  const std::vector<std::string_view> tokens = GroupTokens(group);
  FUZZ_CHECK(count == static_cast<int>(tokens.size()));
  FUZZ_CHECK(values.size() == tokens.size());
  for (size_t i = 0; i < tokens.size(); ++i) FUZZ_CHECK((values[i] & 0xFF) == LastTwoDigits(tokens[i]));
}

}  // namespace
}  // namespace lettermoor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lettermoor;
  using namespace lettermoor::fuzz;
  static MemoryFile file;

  InputReader in(data, size);
  const int64_t offset = in.Byte() % 64;
  const int64_t slack = in.Byte() % 16;
  const uint8_t fill = in.Byte();
  const std::string_view text(reinterpret_cast<const char*>(in.Rest()), in.RestSize());

  size_t open = 0, close = 0;
  for (char c : text) {
    open += c == '[';
    close += c == ']';
  }

  const std::vector<uint8_t> encoded = TextEncoder(text);
  const int32_t measured = MeasureText(text);
  FUZZ_CHECK(encoded.size() <= text.size());
  const bool foreign = FindNonGameCharacter(text).has_value();
  FUZZ_CHECK((measured == kMeasureBracketError) == (open != close));
  if (open == close) FUZZ_CHECK((measured == kMeasureNonGameCharacter) == foreign);
  if (measured >= 0) FUZZ_CHECK(measured == static_cast<int32_t>(encoded.size()));
  if (text.empty()) FUZZ_CHECK(measured == 0);

  // Every group, as the encoder meets it and as a tail of the text, and a text that does not
  // start a group.
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '[') continue;
    CheckGroup(text.substr(i));
    const size_t close_at = text.find(']', i);
    if (close_at != std::string_view::npos) CheckGroup(text.substr(i, close_at - i + 1));
  }
  CheckGroup(text);

  // The write, into a file with room to spare.
  const int64_t fileSize = offset + static_cast<int64_t>(encoded.size()) + slack;
  std::vector<uint8_t> before(static_cast<size_t>(fileSize), fill);
  file.Reset(fileSize, before.data(), before.size(), 0);
  {
    std::unique_ptr<RomFile> rom = file.Open();
    const WriteTextResult result = WriteText(*rom, offset, text);
    FUZZ_CHECK(result.written == !foreign);
    std::vector<uint8_t> expected = before;
    if (!foreign) {
      FUZZ_CHECK(result.byteCount == static_cast<int32_t>(encoded.size()));
      std::copy(encoded.begin(), encoded.end(), expected.begin() + offset);
    }
    FUZZ_CHECK(file.ReadAll() == expected);
    for (size_t i = 0; i < encoded.size(); ++i) {
      FUZZ_CHECK(rom->ReadByte(offset + static_cast<int64_t>(i)) == expected[static_cast<size_t>(offset) + i]);
    }
  }

  // The same write into a file one byte too short changes nothing.
  if (!encoded.empty()) {
    const int64_t shortSize = offset + static_cast<int64_t>(encoded.size()) - 1;
    std::vector<uint8_t> shortFile(static_cast<size_t>(shortSize), fill);
    file.Reset(shortSize, shortFile.data(), shortFile.size(), 0);
    std::unique_ptr<RomFile> rom = file.Open();
    const WriteTextResult result = WriteText(*rom, offset, text);
    FUZZ_CHECK(!result.written);
    FUZZ_CHECK(file.ReadAll() == shortFile);
  }
  return 0;
}

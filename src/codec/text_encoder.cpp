#include "codec/text_encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>


#include "codec/bracket_check.h"
#include "codec/script_scan.h"
#include "codec/text_compressor.h"
#include "rom/rom_file.h"

namespace lettermoor {

size_t Utf8Sequence(std::string_view text, size_t i, char32_t& out) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  size_t n = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    out = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    n = 2, min = 0x80, out = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3, min = 0x800, out = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, out = lead & 0x07;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    out = (out << 6) | (byte(i + k) & 0x3F);
  }
  if (out < min || out > 0x10FFFF || (out >= 0xD800 && out <= 0xDFFF)) return 0;
  return n;
}

namespace {

// Hands each byte of the text to `byte`, and each run of plain characters (no "[") to `run` as
// (characters, count) at once.
template <typename Byte, typename Run>
void Encode(std::string_view text, Byte&& byte, Run&& run) {
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '[') {
      i = WalkBracketGroup(text, i, [&](const BracketToken& t) { byte(t.Byte()); });
      continue;
    }
    const void* open = std::memchr(text.data() + i, '[', text.size() - i);
    const size_t end = open ? static_cast<size_t>(static_cast<const char*>(open) - text.data()) : text.size();
    run(text.data() + i, end - i);
    i = end;
  }
}

}  // namespace

int ParseBracketGroup(std::string_view group, std::vector<uint32_t>& values) {
  values.clear();
  if (group.empty() || group[0] != '[') return -1;
  WalkBracketGroup(group, 0, [&](const BracketToken& t) { values.push_back(t.value); });
  return static_cast<int>(values.size());
}

std::vector<uint8_t> TextEncoder(std::string_view text) {
  // No text encodes to more bytes than it has (a character is one byte, a group of n bytes takes
  // at least 2n + 1 characters): the bytes go straight into a buffer of that size, cut to fit.
  std::vector<uint8_t> out(text.size());
  uint8_t* at = out.data();
  Encode(
      text, [&](uint8_t b) { *at++ = b; },
      [&](const char* characters, size_t n) {
        kGameCharacters.ToBytes(at, reinterpret_cast<const uint8_t*>(characters), n);
        at += n;
      });
  out.resize(static_cast<size_t>(at - out.data()));
  return out;
}

namespace {

// Counts the characters of text[from, to) (a malformed byte counts as one).
int CountCharacters(std::string_view text, size_t from, size_t to, int column) {
  // A group is nearly always plain ASCII: a character per byte.
  if (std::all_of(text.begin() + static_cast<ptrdiff_t>(from), text.begin() + static_cast<ptrdiff_t>(to),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return column + static_cast<int>(to - from);
  }
  for (size_t i = from; i < to;) {
    char32_t c = 0;
    const size_t n = Utf8Sequence(text, i, c);
    i += n == 0 ? 1 : n;
    ++column;
  }
  return column;
}

}  // namespace

size_t GameCharacters(std::string_view text, size_t at, int except) {
  return script_scan::RunInRange(reinterpret_cast<const uint8_t*>(text.data()) + at, text.size() - at,
                                 static_cast<uint8_t>(kFirstGameCharacter),
                                 static_cast<uint8_t>(kLastGameCharacter - kFirstGameCharacter), except);
}

std::optional<NonGameCharacter> FindNonGameCharacter(std::string_view text) {
  // On every keystroke: a text of game characters alone (brackets, digits and blanks are among
  // them) holds none that is not one, wherever its groups stand.
  if (GameCharacters(text, 0, -1) == text.size()) return std::nullopt;
  size_t i = 0;
  int column = 0;
  while (i < text.size()) {
    if (text[i] == '[') {
      const size_t end = WalkBracketGroup(text, i, [](const BracketToken&) {});
      column = CountCharacters(text, i, end, column);
      i = end;
      continue;
    }
    // Nearly every character is a plain game character: no need to decode it.
    if (const size_t plain = GameCharacters(text, i, '['); plain > 0) {
      column += static_cast<int>(plain);
      i += plain;
      continue;
    }
    char32_t c = 0;
    const size_t n = Utf8Sequence(text, i, c);
    ++column;
    if (n == 0 || c < kFirstGameCharacter || c > kLastGameCharacter) {
      NonGameCharacter found;
      found.malformed = n == 0;
      found.character = n == 0 ? static_cast<uint8_t>(text[i]) : c;
      found.column = column;
      found.utf8 = std::string(text.substr(i, n == 0 ? 1 : n));
      return found;
    }
    i += n;
  }
  return std::nullopt;
}

std::string CharacterName(char32_t character, bool malformed, std::string_view utf8) {
  char code[32];
  if (malformed) {
    std::snprintf(code, sizeof code, "the byte 0x%02X", static_cast<unsigned>(character));
  } else {
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
  }
  // A visible character is shown as well; a tab, line break or other control by its code alone.
  const char32_t c = character;
  const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
  if (malformed || control) return code;
  return "\"" + std::string(utf8) + "\" (" + code + ")";
}

std::string DescribeNonGameCharacter(const NonGameCharacter& found) {
  const std::string what = found.table.empty() ? std::string(" is not a game character")
                                               : " is not in the character table " + found.table;
  return "The character " + CharacterName(found.character, found.malformed, found.utf8) + " in column " +
         std::to_string(found.column) + what +
         ", so it cannot be written.\nWrite such a byte as a bracketed code "
         "instead, for example [02].\nNothing was written.";
}

namespace {

bool BracketCountsDiffer(std::string_view text) {
  // Every "[" counts +1 and every "]" -1; on every keystroke, so sixteen at a time.
  int64_t balance = 0;
  size_t i = 0;
#ifdef __SSE2__
  // Each byte lane counts its brackets (a match is -1, taken away) for up to 255 blocks, then
  // the lanes are summed.
  const __m128i open = _mm_set1_epi8('['), close = _mm_set1_epi8(']'), zero = _mm_setzero_si128();
  auto sum = [&](__m128i lanes) {
    const __m128i halves = _mm_sad_epu8(lanes, zero);
    return _mm_cvtsi128_si64(halves) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(halves, halves));
  };
  while (i + 16 <= text.size()) {
    __m128i opens = zero, closes = zero;
    for (int block = 0; block < 255 && i + 16 <= text.size(); ++block, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
      opens = _mm_sub_epi8(opens, _mm_cmpeq_epi8(v, open));
      closes = _mm_sub_epi8(closes, _mm_cmpeq_epi8(v, close));
    }
    balance += sum(opens) - sum(closes);
  }
#endif
  for (; i < text.size(); ++i) balance += (text[i] == '[') - (text[i] == ']');
  return balance != 0;
}

// See EncodeForWrite. Groups do not nest: the encoder reads a group from "[" to the next "]".
int StrayBracketColumn(std::string_view text) {
  int column = 0;
  int group = 0;  // the column of the open group's "[", 0 outside a group
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const size_t n = Utf8Sequence(text, i, c);
    ++column;
    if (text[i] == '[') {
      if (group != 0) return column;
      group = column;
    } else if (text[i] == ']') {
      if (group == 0) return column;
      group = 0;
    }
    i += n == 0 ? 1 : n;
  }
  return group;
}

}  // namespace

int32_t MeasureText(std::string_view text) {
  if (BracketCountsDiffer(text)) return kMeasureBracketError;
  if (FindNonGameCharacter(text)) return kMeasureNonGameCharacter;
  size_t count = 0;
  Encode(text, [&](uint8_t) { ++count; }, [&](const char*, size_t n) { count += n; });
  return static_cast<int32_t>(count);
}

EncodedText EncodeForWrite(std::string_view text, const TextCompressor* compressor) {
  EncodedText encoded;
  if (BracketCountsDiffer(text)) {
    encoded.refusal = TextRefusal::Brackets;
    encoded.column = StrayBracketColumn(text);
  } else if (std::optional<NonGameCharacter> found = FindNonGameCharacter(text)) {
    encoded.refusal = TextRefusal::NonGameCharacter;
    encoded.column = found->column;
    encoded.character = std::move(*found);
  } else {
    encoded.bytes = compressor ? compressor->Encode(text) : TextEncoder(text);
  }
  return encoded;
}

WriteTextResult WriteText(RomFile& rom, int64_t offset, std::string_view text) {
  if (FindNonGameCharacter(text)) return {.refusal = TextRefusal::NonGameCharacter};
  return WriteEncodedBytes(rom, offset, TextEncoder(text));
}

WriteTextResult WriteEncodedBytes(RomFile& rom, int64_t offset, std::span<const uint8_t> bytes) {
  WriteTextResult result;
  result.byteCount = static_cast<int32_t>(bytes.size());
  const WriteResult written = rom.Write(offset, bytes);
  result.written = written.Ok();
  result.status = written.status;
  result.error = written.error;
  return result;
}

}  // namespace lettermoor

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/character_map.h"
#include "codec/hex_text.h"
#include "rom/rom_file.h"

namespace lettermoor {

class TextCompressor;

// Parses one bracket group ("[" ... "]"), storing each token's value in `values` (replacing its
// content, as many as there are). Gives the number of tokens, or -1 when the text does not start
// with "[". A group with no "]" ends at the end of the text.
int ParseBracketGroup(std::string_view group, std::vector<uint32_t>& values);

// Encodes editable text into script bytes: characters outside brackets become their bytes in the character map,
// every token inside brackets one byte (its last two hexadecimal digits). No bracket check.
std::vector<uint8_t> TextEncoder(std::string_view text);

// What MeasureText gives for a text that cannot be written.
inline constexpr int32_t kMeasureBracketError = -1;     // the counts of "[" and "]" differ
inline constexpr int32_t kMeasureNonGameCharacter = -2;  // a character outside brackets is not a game character

// The lowest and highest character the decoder shows for a character byte.
inline constexpr char32_t kFirstGameCharacter = static_cast<unsigned char>(kGameCharacters.FirstCharacter());
inline constexpr char32_t kLastGameCharacter = static_cast<unsigned char>(kGameCharacters.LastCharacter());

// How many characters from text[at] on are game characters, none of them `except` (-1: none).
size_t GameCharacters(std::string_view text, size_t at, int except = -1);

// Decodes the UTF-8 sequence at text[i] into `out`; gives its length, or 0 when it is malformed.
size_t Utf8Sequence(std::string_view text, size_t i, char32_t& out);

// A character outside brackets that the decoder would never show back as itself.
struct NonGameCharacter {
  char32_t character = 0;  // the code point; for a byte that is not UTF-8, the byte's value
  bool malformed = false;  // the text is not UTF-8 here: `character` is the raw byte
  int column = 0;          // counted in characters from 1
  std::string utf8;        // the character as written in the text
  std::string table;       // the character table it is not in; empty without one
};

// The first character outside brackets of UTF-8 text that is not a game character (tabs and
// line breaks included), or nothing when every one is. Groups are walked as the encoder walks
// them: from "[" to the next "]" or the end of the text.
std::optional<NonGameCharacter> FindNonGameCharacter(std::string_view utf8Text);

// A character as messages name it: "\"e\" (U+00E9)", or a control character or a byte that is
// not UTF-8 (`malformed`) by its code alone.
std::string CharacterName(char32_t character, bool malformed, std::string_view utf8);

// The sentence that refuses such a character, naming it and its column.
std::string DescribeNonGameCharacter(const NonGameCharacter& found);

// The number of bytes the UTF-8 text encodes to; kMeasureBracketError when its counts of "[" and
// "]" differ, else kMeasureNonGameCharacter when a character outside brackets is not a game
// character (it would be written as some other byte, possibly the end code).
int32_t MeasureText(std::string_view text);

// Why a text cannot be written at all.
enum class TextRefusal {
  None,
  Brackets,          // the counts of "[" and "]" differ
  NonGameCharacter,  // a character outside brackets is not a game character
};

// A text encoded once for writing: its bytes, or why it cannot be written and where.
struct EncodedText {
  TextRefusal refusal = TextRefusal::None;
  int column = 0;              // refused: where, counted in characters from 1 (see EncodeForWrite)
  NonGameCharacter character;  // NonGameCharacter: which one
  std::vector<uint8_t> bytes;  // not refused: what to write

  bool Ok() const { return refusal == TextRefusal::None; }
};

// Checks the text once and encodes it once: with the dictionary's words when `compressor` is
// given, else plainly. Refuses what MeasureText refuses, brackets first; for Brackets the column
// is that of the first bracket that is no group's edge (a "]" outside a group, a "[" inside one,
// or the "[" of a group that never closes), for NonGameCharacter the character's.
EncodedText EncodeForWrite(std::string_view text, const TextCompressor* compressor);

struct WriteTextResult {
  int32_t byteCount = 0;  // how many bytes the text encodes to
  bool written = false;   // false when the text was refused, the bytes would not lie wholly inside
                          // the file, or the system refused the write
  WriteStatus status = WriteStatus::OutsideFile;  // what the file made of the write, when it was tried
  int error = 0;
  TextRefusal refusal = TextRefusal::None;  // not None: refused before any write was tried
};

// Encodes the text and writes every byte at `offset`, in place, synced to disk before it returns.
// Writes nothing when the bytes would reach past the end of the file, or when the text holds a
// character that is not a game character (refusal NonGameCharacter). No bracket check.
[[nodiscard]] WriteTextResult WriteText(RomFile& rom, int64_t offset, std::string_view text);

// Writes bytes already encoded (plainly or compressed) at `offset`, all or nothing.
[[nodiscard]] WriteTextResult WriteEncodedBytes(RomFile& rom, int64_t offset, std::span<const uint8_t> bytes);

}  // namespace lettermoor

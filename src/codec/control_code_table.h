#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lettermoor {

// What a code does, by which the edit box colours it.
enum class CodeGroup : uint8_t {
  Waiting,  // waiting and windows: line breaks, prompts, pauses, windows opened and closed
  Flow,     // flow and flags: the end, jumps, flags, conditions, menus
  Names,    // names and numbers printed into the text
  Sound,    // sound and display: music, sound effects, fonts, sprites, pictures
  Other,    // anything else, and codes the table does not describe
};
inline constexpr int kCodeGroupCount = 5;

// One described control code (or sub-code) of the script.
struct ControlCodeEntry {
  uint8_t code;
  int16_t subCode;        // kNoSubCode for codes 0x00-0x17, kAnySubCode for 0x19's "MENU"
  uint8_t argumentCount;  // bytes after the code byte that belong to it, sub-code included
  const char* description;  // a fixed text or a format of "%.2X" placeholders
  std::array<uint8_t, 6> fill;  // argument byte numbers (1-based) for the placeholders, in order
  uint8_t fillCount;
  CodeGroup group;
};

inline constexpr int16_t kNoSubCode = -1;
inline constexpr int16_t kAnySubCode = -2;

// Every described row, in the order the table lists them.
std::span<const ControlCodeEntry> ControlCodeTable();

// The bracket group that writes a code of the table: the code byte, its sub-code, and its other
// argument bytes as zeros ("[1C 02 00]"), or for a jump code given an address that address in
// its four bytes, lowest first. `argumentsStart` and `argumentsLength` are where the argument
// bytes after the sub-code stand in `text` (length 0 when there are none).
struct CodeInsertion {
  std::string text;
  int argumentsStart = 0;
  int argumentsLength = 0;
};
CodeInsertion InsertionFor(const ControlCodeEntry& entry, std::optional<uint32_t> jumpAddress = std::nullopt);

// Codes 0x18 to 0x1F take their first argument byte as a sub-code.
constexpr bool HasSubCode(uint8_t code) { return code >= 0x18 && code <= 0x1F; }

// The described entry for a code (and, for 0x18-0x1F, its sub-code), or nullptr when the code
// is undescribed: then only the code byte belongs to it.
const ControlCodeEntry* LookupControlCode(uint8_t code, uint8_t subCode);

// Only 0x02 ends a string.
inline constexpr uint8_t kEndCode = 0x02;

// A control code that carries a 4-byte address of script text (lowest byte first): "IF FLAG ..
// IS SET GOTO", "BRANCH TO", "GOTO" and "IF TRUE GOTO".
struct JumpCodeKind {
  uint8_t code;
  int16_t subCode;        // -1 when the code has none
  uint8_t addressArgument;  // argument byte (1-based) where the address starts
  const char* name;
};

// The jump codes, as the control-code table describes them.
inline constexpr JumpCodeKind kJumpCodes[] = {
    {0x06, -1, 3, "IF FLAG SET GOTO"},
    {0x08, -1, 1, "BRANCH TO"},
    {0x0A, -1, 1, "GOTO"},
    {0x1B, 0x03, 2, "IF TRUE GOTO"},
};

// Everything that reading script bytes needs to know of a code (with its sub-code): the one
// table every walk over items reads, worked out from the rows above when the program is built.
struct CodeRole {
  static constexpr uint8_t kNoEntry = 0xFF;
  uint8_t argumentCount = 0;
  bool described = false;
  uint8_t jump = 0;             // 1 + index into kJumpCodes, or 0 for a code that carries no address
  uint8_t entry = kNoEntry;     // index into ControlCodeTable() of the described row
};

struct ByteRole {
  enum Kind : uint8_t { Character, DictionaryWord, Code, SubCodedCode };
  Kind kind = Code;
  CodeRole code;  // for codes without a sub-code
};

struct CodeRoles {
  ByteRole of[256];
  CodeRole subCoded[8][256];  // for the codes 0x18-0x1F, by sub-code

  // The role of the code `code`; `subCode` counts only for 0x18-0x1F.
  const CodeRole& CodeOf(uint8_t code, uint8_t subCode) const {
    return HasSubCode(code) ? subCoded[code - 0x18][subCode] : of[code].code;
  }
};

// Fixed when the program is built, so a walk reaches it without a first-use check, and so that
// it is ready even for code that runs before main.
extern const CodeRoles kCodeRoles;

}  // namespace lettermoor

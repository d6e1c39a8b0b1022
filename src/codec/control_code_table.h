#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace lettermoor {

// One described control code (or sub-code) of the script.
struct ControlCodeEntry {
  uint8_t code;
  int16_t subCode;        // kNoSubCode for codes 0x00-0x17, kAnySubCode for 0x19's "MENU"
  uint8_t argumentCount;  // bytes after the code byte that belong to it, sub-code included
  const char* description;  // a fixed text or a format of "%.2X" placeholders
  std::array<uint8_t, 6> fill;  // argument byte numbers (1-based) for the placeholders, in order
  uint8_t fillCount;
};

inline constexpr int16_t kNoSubCode = -1;
inline constexpr int16_t kAnySubCode = -2;

// Every described row, in the order the table lists them.
std::span<const ControlCodeEntry> ControlCodeTable();

// Codes 0x18 to 0x1F take their first argument byte as a sub-code.
constexpr bool HasSubCode(uint8_t code) { return code >= 0x18 && code <= 0x1F; }

// The described entry for a code (and, for 0x18-0x1F, its sub-code), or nullptr when the code
// is undescribed: then only the code byte belongs to it.
const ControlCodeEntry* LookupControlCode(uint8_t code, uint8_t subCode);

// Only 0x02 ends a string.
inline constexpr uint8_t kEndCode = 0x02;

}  // namespace lettermoor

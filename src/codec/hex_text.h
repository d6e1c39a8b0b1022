#pragma once

#include <cstdint>
#include <string>

namespace lettermoor {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// A hexadecimal digit's value (either case), or -1 for any other character.
constexpr int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr bool IsHexDigit(char c) { return HexValue(c) >= 0; }

// A digit's value as the encoder reads a bracketed token: any other character counts 0.
constexpr int HexDigitValue(char c) {
  const int v = HexValue(c);
  return v < 0 ? 0 : v;
}

// Appends a byte as two upper-case hexadecimal digits, as every text of the codec shows bytes.
inline void AppendHexByte(std::string& out, uint8_t b) {
  out.push_back(kHexDigits[b >> 4]);
  out.push_back(kHexDigits[b & 0x0F]);
}

// Appends a 24-bit address as "$" and six upper-case hexadecimal digits.
inline void AppendDollarAddress(std::string& out, uint32_t address) {
  out.push_back('$');
  for (int shift = 20; shift >= 0; shift -= 4) out.push_back(kHexDigits[(address >> shift) & 0x0F]);
}

}  // namespace lettermoor

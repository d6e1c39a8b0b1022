#pragma once

#include <cstdint>
#include <string>

namespace lettermoor {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Appends a byte as two upper-case hexadecimal digits, as every text of the codec shows bytes.
inline void AppendHexByte(std::string& out, uint8_t b) {
  out.push_back(kHexDigits[b >> 4]);
  out.push_back(kHexDigits[b & 0x0F]);
}

}  // namespace lettermoor

#pragma once

#include <cstdint>

namespace lettermoor {

enum class ByteClass { Printable, DictionaryReference, ControlCode };

// 0x50-0xAA are characters (byte - 0x30), 0x15-0x17 open a dictionary reference, the rest are
// control codes.
constexpr ByteClass ClassifyByte(uint8_t b) {
  if (b >= 0x50 && b <= 0xAA) return ByteClass::Printable;
  if (b >= 0x15 && b <= 0x17) return ByteClass::DictionaryReference;
  return ByteClass::ControlCode;
}

}  // namespace lettermoor

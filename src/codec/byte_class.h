#pragma once

#include <cstdint>

#include "codec/character_map.h"

namespace lettermoor {

enum class ByteClass { Printable, DictionaryReference, ControlCode };

// The character map's bytes are characters, 0x15-0x17 open a dictionary reference, the rest are
// control codes.
constexpr ByteClass ClassifyByte(uint8_t b) {
  if (kGameCharacters.IsCharacterByte(b)) return ByteClass::Printable;
  if (b >= 0x15 && b <= 0x17) return ByteClass::DictionaryReference;
  return ByteClass::ControlCode;
}

}  // namespace lettermoor

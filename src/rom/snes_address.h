#pragma once

#include <array>
#include <cstdint>

namespace lettermoor {

// A SNES bus address of a ROM byte under the HiROM mapping used by the game.
using SnesAddress = int32_t;

// The copier header shifts the cartridge by 0x200 bytes: SNES 0xC00000 is file offset 0x200.
inline constexpr int32_t kSnesToFileDelta = 0xBFFE00;

// Plain 32-bit arithmetic, no range check: callers that need a valid offset check it themselves.
constexpr int32_t SnesToFileOffset(SnesAddress address) {
  return static_cast<int32_t>(static_cast<uint32_t>(address) - static_cast<uint32_t>(kSnesToFileDelta));
}

constexpr SnesAddress FileOffsetToSnes(int32_t offset) {
  return static_cast<SnesAddress>(static_cast<uint32_t>(offset) + static_cast<uint32_t>(kSnesToFileDelta));
}

// An address as the ROM stores it in a pointer or a jump code: 32 bits, lowest byte first.
constexpr std::array<uint8_t, 4> AddressBytes(SnesAddress address) {
  const auto a = static_cast<uint32_t>(address);
  return {static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a >> 16),
          static_cast<uint8_t>(a >> 24)};
}

}  // namespace lettermoor

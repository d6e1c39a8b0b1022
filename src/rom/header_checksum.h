#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "rom/rom_file.h"
#include "rom/snes_address.h"

namespace lettermoor {

// The SNES header's checksum pair: the complement at $C0FFDC, the checksum at $C0FFDE, each 16
// bits, lowest byte first. The game never looks at them; some emulators warn when they are wrong.
inline constexpr SnesAddress kChecksumPairAddress = 0xC0FFDC;
inline constexpr int64_t kChecksumPairOffset = SnesToFileOffset(kChecksumPairAddress);  // headed layout

enum class ChecksumState {
  NotComputed,  // the ROM's size does not round up to a power of two by repeating its tail
  Right,        // checksum and complement both match the bytes
  Wrong,        // at least one of them does not
};

struct HeaderChecksum {
  ChecksumState state = ChecksumState::NotComputed;
  uint16_t computed = 0;    // the checksum the bytes call for (when computed)
  uint16_t checksum = 0;    // as the header holds it
  uint16_t complement = 0;  // as the header holds it
  bool ChecksumRight() const { return state != ChecksumState::NotComputed && checksum == computed; }
  bool ComplementRight() const {
    return state != ChecksumState::NotComputed && complement == static_cast<uint16_t>(computed ^ 0xFFFF);
  }
};

// The checksum `image` (the ROM without copier header) calls for: the 16-bit sum of its bytes
// with the image rounded up to a power of two by repeating its tail (3 MiB: the first 2 MiB plus
// twice the last 1 MiB), counting the pair's four bytes as a consistent pair counts (0x1FE), so
// the result does not depend on what the header holds. Nothing for an image of another size:
// below 64 KiB, above 4 MiB, or with a tail that is not a power of two dividing the rest.
std::optional<uint16_t> ComputeHeaderChecksum(std::span<const uint8_t> image);

HeaderChecksum ReadHeaderChecksum(std::span<const uint8_t> image);
// The open file's (headed or headerless alike), as it was last read.
HeaderChecksum ReadHeaderChecksum(const RomFile& rom);

// The four bytes of a consistent pair: complement then checksum.
std::array<uint8_t, 4> ChecksumPairBytes(uint16_t checksum);

// The range that makes the pair right once `change` is written to `rom`: nothing when the file
// would then be of a size that is not computed, or when the pair would already be right.
std::optional<ByteChange> ChecksumFixAfter(const RomFile& rom, const ChangeSet& change);

}  // namespace lettermoor

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace lettermoor {

class RomFile;
class ReferenceIndex;

// The expansion area, where texts that outgrow their place are moved: from 0x300200 up to the
// last byte a SNES address reaches (file offset 0x4001FF). Expand ROM fills it with 256-byte
// blank blocks (255 bytes 0x00, then 0x02).
inline constexpr int64_t kFreeBlockSize = 256;
inline constexpr int64_t kFreeSpaceStart = 0x300200;
inline constexpr int64_t kFreeSpaceEnd = 0x400200;

// The byte Expand ROM wrote at a file offset of the expansion area.
inline uint8_t BlankByteAt(int64_t offset) {
  return (offset - kFreeSpaceStart) % kFreeBlockSize == kFreeBlockSize - 1 ? 0x02 : 0x00;
}

// The free bytes of the expansion area, handed out byte for byte. A byte is free when it holds
// what Expand ROM wrote there and no string that a reference leads to covers it, measured as the
// decoder walks it; both are read from the file, so two programs, and two passes of one, agree.
// Runs never cross a 64 KB bank: a string must lie within one bank to be read as one.
class FreeSpace {
 public:
  struct Run {
    int64_t from = 0;  // file offsets, [from, to)
    int64_t to = 0;
  };

  static FreeSpace Of(const RomFile& rom, const ReferenceIndex& index);

  // The bytes [from, to) are no longer free (a string is written there in place).
  void Take(int64_t from, int64_t to);
  // The first run that holds `bytes`, taken from its start; nothing when none does.
  std::optional<int64_t> Claim(int64_t bytes);

  int64_t FreeBytes() const;
  const std::vector<Run>& Runs() const { return runs_; }

 private:
  std::vector<Run> runs_;  // in file order, none empty
};

}  // namespace lettermoor

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace lettermoor {

class RomFile;
class ReferenceIndex;

// The expansion area is handed out in its own 256-byte blocks, from 0x300200 up to the last byte
// a SNES address reaches (file offset 0x4001FF).
inline constexpr int64_t kFreeBlockSize = 256;
inline constexpr int64_t kFreeSpaceStart = 0x300200;
inline constexpr int64_t kFreeSpaceEnd = 0x400200;

// True when the block at `offset` is as Expand ROM left it: 255 bytes 0x00, then 0x02.
bool IsUntouchedBlock(const RomFile& rom, int64_t offset);

// The file offsets of the free blocks, in file order: untouched blocks that no indexed reference
// points into, and that no string an indexed reference leads to runs into. Read from the file
// each time; nothing is remembered between calls.
std::vector<int64_t> FreeBlocks(const RomFile& rom, const ReferenceIndex& index);

// The first run of consecutive free blocks that holds `byteCount` bytes, or nothing.
std::optional<int64_t> FindFreeSpace(const RomFile& rom, const ReferenceIndex& index, int64_t byteCount);

}  // namespace lettermoor

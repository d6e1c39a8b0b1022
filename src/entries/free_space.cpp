#include "entries/free_space.h"

#include <algorithm>
#include <cstring>

#include "codec/jump_codes.h"
#include "entries/reference_index.h"
#include "rom/rom_file.h"
#include "rom/snes_address.h"

namespace lettermoor {

namespace {

// The number of whole blocks the file holds.
int64_t BlockCount(const RomFile& rom) {
  const int64_t end = std::min(rom.Size(), kFreeSpaceEnd);
  return end <= kFreeSpaceStart ? 0 : (end - kFreeSpaceStart) / kFreeBlockSize;
}

}  // namespace

bool IsUntouchedBlock(const RomFile& rom, int64_t offset) {
  if (offset < 0 || offset + kFreeBlockSize > rom.Size()) return false;
  if (offset + kFreeBlockSize <= rom.MirrorSize()) {
    static const uint8_t kZeros[kFreeBlockSize - 1] = {};
    const uint8_t* block = rom.MirrorData() + offset;
    return block[kFreeBlockSize - 1] == 0x02 && std::memcmp(block, kZeros, sizeof kZeros) == 0;
  }
  for (int64_t i = 0; i + 1 < kFreeBlockSize; ++i) {
    if (rom.ReadByte(offset + i) != 0x00) return false;
  }
  return rom.ReadByte(offset + kFreeBlockSize - 1) == 0x02;
}

std::vector<int64_t> FreeBlocks(const RomFile& rom, const ReferenceIndex& index) {
  const int64_t count = BlockCount(rom);
  std::vector<bool> used(static_cast<size_t>(count), false);
  // A reference into the area holds the blocks of the whole string it leads to: a text moved
  // here may run over several blocks, and its later ones can look untouched.
  const SnesAddress first = FileOffsetToSnes(static_cast<int32_t>(kFreeSpaceStart));
  const SnesAddress last = FileOffsetToSnes(static_cast<int32_t>(kFreeSpaceStart + count * kFreeBlockSize - 1));
  for (const Reference& r : index.All()) {
    if (r.target < first || r.target > last) continue;
    const int64_t start = SnesToFileOffset(r.target);
    const int64_t size = ScanJumpCodes(rom, start, [](const JumpCodeAt&) {});
    const int64_t end = std::min(start + std::max<int64_t>(size, 1), kFreeSpaceStart + count * kFreeBlockSize);
    for (int64_t b = (start - kFreeSpaceStart) / kFreeBlockSize; b * kFreeBlockSize + kFreeSpaceStart < end; ++b) {
      used[static_cast<size_t>(b)] = true;
    }
  }
  std::vector<int64_t> free;
  for (int64_t b = 0; b < count; ++b) {
    const int64_t offset = kFreeSpaceStart + b * kFreeBlockSize;
    if (!used[static_cast<size_t>(b)] && IsUntouchedBlock(rom, offset)) free.push_back(offset);
  }
  return free;
}

std::optional<int64_t> FindFreeSpace(const RomFile& rom, const ReferenceIndex& index, int64_t byteCount) {
  if (byteCount <= 0) return std::nullopt;
  const int64_t need = (byteCount + kFreeBlockSize - 1) / kFreeBlockSize;
  const std::vector<int64_t> free = FreeBlocks(rom, index);
  int64_t runStart = -1;
  int64_t runLength = 0;
  for (int64_t offset : free) {
    if (runLength > 0 && offset == runStart + runLength * kFreeBlockSize) {
      ++runLength;
    } else {
      runStart = offset;
      runLength = 1;
    }
    if (runLength == need) return runStart;
  }
  return std::nullopt;
}

}  // namespace lettermoor

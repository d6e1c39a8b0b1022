#include "entries/free_space.h"

#include <algorithm>

#include "codec/jump_codes.h"
#include "entries/reference_index.h"
#include "rom/rom_file.h"
#include "rom/snes_address.h"

namespace lettermoor {

namespace {

constexpr int64_t kBank = 0x10000;

// The next bank boundary after `offset` (banks start at the copier header's end).
int64_t NextBank(int64_t offset) {
  const int64_t own = offset - RomFile::kCopierHeaderSize;
  return RomFile::kCopierHeaderSize + (own / kBank + 1) * kBank;
}

}  // namespace

FreeSpace FreeSpace::Of(const RomFile& rom, const ReferenceIndex& index) {
  FreeSpace space;
  const int64_t end = std::min(rom.Size(), kFreeSpaceEnd);
  if (end <= kFreeSpaceStart) return space;
  std::vector<bool> used(static_cast<size_t>(end - kFreeSpaceStart), false);
  const SnesAddress first = FileOffsetToSnes(static_cast<int32_t>(kFreeSpaceStart));
  const SnesAddress last = FileOffsetToSnes(static_cast<int32_t>(end - 1));
  for (const Reference& r : index.All()) {
    if (r.target < first || r.target > last) continue;
    const int64_t start = SnesToFileOffset(r.target);
    const int64_t size = std::max<int32_t>(ScanJumpCodes(rom, start, [](const JumpCodeAt&) {}), 1);
    std::fill(used.begin() + (start - kFreeSpaceStart), used.begin() + (std::min(start + size, end) - kFreeSpaceStart),
              true);
  }
  const uint8_t* mirror = rom.MirrorData();
  for (int64_t at = kFreeSpaceStart; at < end;) {
    const bool free = !used[static_cast<size_t>(at - kFreeSpaceStart)] &&
                      (at < rom.MirrorSize() ? mirror[at] : rom.ReadByte(at)) == BlankByteAt(at);
    if (!free) {
      ++at;
      continue;
    }
    const int64_t stop = std::min(end, NextBank(at));
    int64_t to = at + 1;
    while (to < stop && !used[static_cast<size_t>(to - kFreeSpaceStart)] &&
           (to < rom.MirrorSize() ? mirror[to] : rom.ReadByte(to)) == BlankByteAt(to)) {
      ++to;
    }
    space.runs_.push_back({at, to});
    at = to;
  }
  return space;
}

void FreeSpace::Take(int64_t from, int64_t to) {
  std::vector<Run> left;
  for (const Run& r : runs_) {
    if (r.to <= from || r.from >= to) {
      left.push_back(r);
      continue;
    }
    if (r.from < from) left.push_back({r.from, from});
    if (r.to > to) left.push_back({to, r.to});
  }
  runs_ = std::move(left);
}

std::optional<int64_t> FreeSpace::Claim(int64_t bytes) {
  if (bytes <= 0) return std::nullopt;
  for (auto r = runs_.begin(); r != runs_.end(); ++r) {
    if (r->to - r->from < bytes) continue;
    const int64_t at = r->from;
    r->from += bytes;
    if (r->from == r->to) runs_.erase(r);
    return at;
  }
  return std::nullopt;
}

int64_t FreeSpace::FreeBytes() const {
  int64_t n = 0;
  for (const Run& r : runs_) n += r.to - r.from;
  return n;
}

}  // namespace lettermoor

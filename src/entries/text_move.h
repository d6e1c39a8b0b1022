#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "rom/snes_address.h"

namespace lettermoor {

class RomFile;

enum class MoveOutcome {
  Moved,            // written into free space, every indexed reference repointed
  NoEndCode,        // the text does not end with the end code [02]; nothing written
  NotExpanded,      // the ROM has no expansion area; nothing written
  NoReferences,     // nothing in the index points at the text; nothing written
  NoFreeSpace,      // no run of free blocks holds the text; nothing written
  LockFailed,       // another program holds the ROM; nothing written
  WriteFailed,      // a write failed; everything written so far was put back (see `restored`)
};

struct MoveResult {
  MoveOutcome outcome = MoveOutcome::WriteFailed;
  SnesAddress to = 0;     // where the text now starts (Moved)
  int32_t repointed = 0;  // references now holding `to` (Moved)
  int32_t blocks = 0;     // free blocks the text took (Moved)
  bool restored = true;   // WriteFailed: every byte already changed was put back
};

// Every write of a move goes through this; tests hand in one that fails on purpose.
using RomWriter = std::function<bool(RomFile& rom, int64_t offset, std::span<const uint8_t> bytes)>;

// Writes the script bytes of a text into free space of the expansion area and repoints every
// reference the index finds for the text at `from` (records, plain pointers, jump codes in other
// strings) to the new copy. The old string's bytes stay as they are: a reference the index
// cannot see may still use them. Jump codes inside the text itself that lead to `from` are
// pointed at the new copy, so that a text that loops on itself keeps doing so.
//
// All-or-nothing: the ROM is held under one exclusive lock from the search for free blocks to the
// last repoint, so no other process can claim the same blocks; when a write fails, references
// already changed and the blocks are put back.
[[nodiscard]] MoveResult MoveTextToFreeSpace(RomFile& rom, SnesAddress from, std::span<const uint8_t> bytes,
                                             const RomWriter& writer = {});

}  // namespace lettermoor

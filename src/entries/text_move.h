#pragma once

#include <cstdint>
#include <span>

#include "rom/rom_file.h"
#include "rom/snes_address.h"

namespace lettermoor {


enum class MoveOutcome {
  Moved,            // written into free space, every indexed reference repointed
  NoEndCode,        // the text does not end with the end code [02]; nothing written
  NotExpanded,      // the ROM has no expansion area; nothing written
  NoReferences,     // nothing in the index points at the text; nothing written
  NoFreeSpace,      // no free run of the expansion area holds the text; nothing written
  LockFailed,       // another program holds the ROM; nothing written
  WriteFailed,      // the write failed; the file holds its old bytes (unless `restored` is false)
};

struct MoveResult {
  MoveOutcome outcome = MoveOutcome::WriteFailed;
  SnesAddress to = 0;     // where the text now starts (Moved)
  int32_t repointed = 0;  // references now holding `to` (Moved)
  bool restored = true;   // WriteFailed: the file holds its old bytes (else the journal puts them back later)
  WriteStatus status = WriteStatus::Written;  // WriteFailed: what the write said
  int error = 0;
};

// Writes the script bytes of a text into free space of the expansion area and repoints every
// reference the index finds for the text at `from` (records, plain pointers, jump codes in other
// strings) to the new copy: a plan of one text (PlanTextWrites). The old string's bytes stay as
// they are: a reference the index cannot see may still use them. Jump codes inside the text
// itself that lead to `from` are pointed at the new copy, so that a text that loops on itself
// keeps doing so.
//
// All-or-nothing, also across a crash: the ROM is held under one exclusive lock from the search
// for free space to the write, and the text and its repoints are one journaled change set.
[[nodiscard]] MoveResult MoveTextToFreeSpace(RomFile& rom, SnesAddress from, std::span<const uint8_t> bytes);

}  // namespace lettermoor

#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "rom/rom_file.h"
#include "rom/snes_address.h"

namespace lettermoor {

class ReferenceIndex;
class FreeSpace;

// Why a text that had to move did not.
enum class NotMovedReason {
  None,
  RelocateOff,   // moving was not asked for
  NotExpanded,   // the ROM has no expansion area
  NoEndCode,     // only a text that ends with the end code [02] can move
  NoReferences,  // nothing the reference index sees leads to it (its own jumps aside)
  NoFreeSpace,   // no free run of the expansion area holds it
};

enum class PlanOutcome {
  Written,   // in place
  Moved,     // into free space, the references to its start repointed
  NotPlaced, // left as it was (see `why`)
};

// One text to write, and what the plan made of it.
struct PlannedText {
  SnesAddress address = 0;   // where its string starts now
  int32_t room = 0;          // the string's present size: what an in-place write may take
  std::vector<uint8_t> bytes;
  // Its bytes are read by another entry point too, or the user asked for a move: it is never
  // written in place.
  bool mustMove = false;

  PlanOutcome outcome = PlanOutcome::NotPlaced;
  NotMovedReason why = NotMovedReason::None;
  SnesAddress to = 0;        // Moved: the new address
  int32_t repointed = 0;     // Moved: references changed
  int64_t writtenAt = -1;    // Written or Moved: the file offset of its bytes
};

// Points the jump codes of `bytes` that lead to a moved text (a key of `movedTo`) at its new place.
void FollowMoves(std::vector<uint8_t>& bytes, const std::unordered_map<SnesAddress, SnesAddress>& movedTo);

// Works out one change set that writes several texts at once:
//   - a text that fits its string and need not move is written over it;
//   - any other is moved into free space (relocate on, an expanded ROM, ending with [02], led to
//     by something the index sees), else left; a moved text's jumps to its own start follow it;
//   - jump codes in the written bytes that lead to a moved text are pointed at its new place;
//   - every reference to a moved text's start is repointed, except jump codes inside strings
//     that this plan rewrites or leaves behind (their new bytes were seen to, or nobody reads
//     them), so other entry points into a moved string keep reading its old bytes untouched.
// `index` may be empty when no text can move; `free` is used and kept up to date (null when
// none can move). Nothing is written.
ChangeSet PlanTextWrites(const RomFile& rom, const ReferenceIndex& index, FreeSpace* free,
                         std::span<PlannedText> texts, bool relocate);

}  // namespace lettermoor

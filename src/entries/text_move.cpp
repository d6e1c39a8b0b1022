#include "entries/text_move.h"

#include "codec/jump_codes.h"
#include "entries/free_space.h"
#include "entries/reference_index.h"
#include "entries/text_plan.h"
#include "rom/rom_file.h"
#include "rom/rom_image.h"

namespace lettermoor {

MoveResult MoveTextToFreeSpace(RomFile& rom, SnesAddress from, std::span<const uint8_t> bytes) {
  MoveResult result;
  if (!EndsWithEndCode(bytes)) {
    result.outcome = MoveOutcome::NoEndCode;
    return result;
  }
  // One lock from the search for free space to the write: two processes never claim the same
  // bytes, and no other write comes in between.
  RomFile::Hold lock(rom);
  if (!lock.Held()) {
    result.outcome = MoveOutcome::LockFailed;
    return result;
  }
  // Under the lock, the file as it is now: another program may have written before we got it.
  rom.Refresh();
  if (!IsExpandedRom(rom)) {
    result.outcome = MoveOutcome::NotExpanded;
    return result;
  }
  const ReferenceIndex index = ReferenceIndex::Build(rom);
  FreeSpace free = FreeSpace::Of(rom, index);
  PlannedText text;
  text.address = from;
  text.room = ScanJumpCodes(rom, SnesToFileOffset(from), [](const JumpCodeAt&) {});
  text.bytes.assign(bytes.begin(), bytes.end());
  text.mustMove = true;
  const ChangeSet change = PlanTextWrites(rom, index, &free, std::span<PlannedText>(&text, 1), true);
  switch (text.why) {
    case NotMovedReason::None: break;
    case NotMovedReason::RelocateOff:
    case NotMovedReason::NotExpanded: result.outcome = MoveOutcome::NotExpanded; return result;
    case NotMovedReason::NoEndCode: result.outcome = MoveOutcome::NoEndCode; return result;
    case NotMovedReason::NoReferences: result.outcome = MoveOutcome::NoReferences; return result;
    case NotMovedReason::NoFreeSpace: result.outcome = MoveOutcome::NoFreeSpace; return result;
  }
  const WriteResult written = rom.Apply(change);
  if (!written.Ok()) {
    result.outcome = MoveOutcome::WriteFailed;
    result.restored = written.status != WriteStatus::FailedDamaged;
    result.status = written.status;
    result.error = written.error;
    return result;
  }
  result.outcome = MoveOutcome::Moved;
  result.to = text.to;
  result.repointed = text.repointed;
  return result;
}

}  // namespace lettermoor

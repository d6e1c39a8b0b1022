#include "entries/text_move.h"


#include <array>
#include <cerrno>
#include <vector>

#include "codec/jump_codes.h"
#include "entries/free_space.h"
#include "entries/reference_index.h"
#include "rom/rom_file.h"
#include "rom/rom_image.h"

namespace lettermoor {

namespace {

struct Undo {
  int64_t offset;
  std::vector<uint8_t> bytes;
};

}  // namespace

MoveResult MoveTextToFreeSpace(RomFile& rom, SnesAddress from, std::span<const uint8_t> bytes,
                               const RomWriter& writer) {
  MoveResult result;
  if (!EndsWithEndCode(bytes)) {
    result.outcome = MoveOutcome::NoEndCode;
    return result;
  }
  const RomWriter write = writer ? writer : RomWriter([](RomFile& f, int64_t at, std::span<const uint8_t> b) {
    return f.Write(at, b).Ok();
  });

  // One lock from the search for free blocks to the last repoint: two processes never claim the
  // same blocks, and no other write comes in between.
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
  const int64_t fromOffset = SnesToFileOffset(from);
  const int32_t oldSize = ScanJumpCodes(rom, fromOffset, [](const JumpCodeAt&) {});
  // References inside the old string stay: its bytes are left exactly as they were.
  std::vector<Reference> references;
  for (const Reference& r : index.To(from)) {
    if (r.kind == ReferenceKind::JumpCode && r.offset >= fromOffset && r.offset < fromOffset + oldSize) continue;
    references.push_back(r);
  }
  if (references.empty()) {
    result.outcome = MoveOutcome::NoReferences;
    return result;
  }
  const std::optional<int64_t> place = FindFreeSpace(rom, index, static_cast<int64_t>(bytes.size()));
  if (!place) {
    result.outcome = MoveOutcome::NoFreeSpace;
    return result;
  }
  const SnesAddress to = FileOffsetToSnes(static_cast<int32_t>(*place));
  const std::array<uint8_t, 4> toBytes = AddressBytes(to);

  // The text's own jumps back to itself follow it.
  std::vector<uint8_t> text(bytes.begin(), bytes.end());
  for (int64_t at = 0; at < static_cast<int64_t>(text.size());) {
    at += ScanJumpCodes(ByteSpan{bytes}, at, [&](const JumpCodeAt& j) {
      if (static_cast<SnesAddress>(j.address) != from || j.addressOffset + 4 > static_cast<int64_t>(text.size())) return;
      for (size_t i = 0; i < 4; ++i) text[static_cast<size_t>(j.addressOffset) + i] = toBytes[i];
    });
  }

  std::vector<Undo> undo;
  auto change = [&](int64_t offset, std::span<const uint8_t> newBytes) {
    Undo u{offset, std::vector<uint8_t>(newBytes.size())};
    rom.Read(offset, u.bytes);
    undo.push_back(std::move(u));
    return write(rom, offset, newBytes);
  };
  bool ok = change(*place, text);
  for (size_t i = 0; ok && i < references.size(); ++i) ok = change(references[i].addressOffset, toBytes);
  if (!ok) {
    // Back in the reverse order: the references first, the blocks last, so that no reference
    // is ever left leading into blocks that were taken back.
    for (auto u = undo.rbegin(); u != undo.rend(); ++u) {
      if (!write(rom, u->offset, u->bytes)) result.restored = false;
    }
    result.outcome = MoveOutcome::WriteFailed;
    return result;
  }
  result.outcome = MoveOutcome::Moved;
  result.to = to;
  result.repointed = static_cast<int32_t>(references.size());
  result.blocks = static_cast<int32_t>((bytes.size() + kFreeBlockSize - 1) / kFreeBlockSize);
  return result;
}

}  // namespace lettermoor

#include "entries/text_plan.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "codec/decode_items.h"
#include "codec/jump_codes.h"
#include "entries/free_space.h"
#include "entries/reference_index.h"
#include "rom/rom_image.h"

namespace lettermoor {

namespace {

// File ranges whose old bytes no longer count: strings rewritten in place, and the old copies of
// moved strings.
class Ranges {
 public:
  void Add(int64_t from, int64_t to) { ranges_.push_back({from, to}); }
  void Sort() { std::sort(ranges_.begin(), ranges_.end()); }
  bool Contains(int64_t at) const {
    // No string is longer than the decoder's limit and the item that crosses it.
    constexpr int64_t kLongest = kDecodeSizeLimit + 16;
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), std::pair<int64_t, int64_t>{at, INT64_MAX});
    while (it != ranges_.begin()) {
      --it;
      if (at - it->first > kLongest) break;
      if (at < it->second) return true;
    }
    return false;
  }

 private:
  std::vector<std::pair<int64_t, int64_t>> ranges_;
};

NotMovedReason PlaceMove(const RomFile& rom, const ReferenceIndex& index, FreeSpace* free, PlannedText& t,
                         bool relocate) {
  if (!relocate) return NotMovedReason::RelocateOff;
  if (!free || !IsExpandedRom(rom)) return NotMovedReason::NotExpanded;
  if (!EndsWithEndCode(t.bytes)) return NotMovedReason::NoEndCode;
  const int64_t offset = SnesToFileOffset(t.address);
  if (!ReachedFromOutside(index, t.address, offset, offset + t.room)) return NotMovedReason::NoReferences;
  const std::optional<int64_t> place = free->Claim(static_cast<int64_t>(t.bytes.size()));
  if (!place) return NotMovedReason::NoFreeSpace;
  t.writtenAt = *place;
  t.to = FileOffsetToSnes(static_cast<int32_t>(*place));
  return NotMovedReason::None;
}

}  // namespace

void FollowMoves(std::vector<uint8_t>& bytes, const std::unordered_map<SnesAddress, SnesAddress>& movedTo) {
  const ByteSpan span{bytes};
  std::vector<std::pair<int64_t, SnesAddress>> patches;
  for (int64_t at = 0; at < static_cast<int64_t>(bytes.size());) {
    const int32_t step = ScanJumpCodes(span, at, [&](const JumpCodeAt& j) {
      const auto to = movedTo.find(static_cast<SnesAddress>(j.address));
      if (to != movedTo.end() && j.addressOffset + 4 <= static_cast<int64_t>(bytes.size())) {
        patches.emplace_back(j.addressOffset, to->second);
      }
    });
    if (step <= 0) break;
    at += step;
  }
  for (const auto& [at, to] : patches) {
    const std::array<uint8_t, 4> b = AddressBytes(to);
    std::copy(b.begin(), b.end(), bytes.begin() + at);
  }
}

ChangeSet PlanTextWrites(const RomFile& rom, const ReferenceIndex& index, FreeSpace* free,
                         std::span<PlannedText> texts, bool relocate) {
  // Strings written in place are not free space, whatever their bytes look like.
  for (PlannedText& t : texts) {
    t.outcome = PlanOutcome::NotPlaced;
    t.why = NotMovedReason::None;
    if (t.mustMove || static_cast<int64_t>(t.bytes.size()) > t.room) continue;
    t.outcome = PlanOutcome::Written;
    t.writtenAt = SnesToFileOffset(t.address);
    if (free) free->Take(t.writtenAt, t.writtenAt + t.room);
  }
  std::unordered_map<SnesAddress, SnesAddress> movedTo;
  for (PlannedText& t : texts) {
    if (t.outcome == PlanOutcome::Written) continue;
    t.why = PlaceMove(rom, index, free, t, relocate);
    if (t.why != NotMovedReason::None) continue;
    t.outcome = PlanOutcome::Moved;
    movedTo[t.address] = t.to;
  }

  ChangeSet change;
  Ranges stale;
  for (PlannedText& t : texts) {
    if (t.outcome == PlanOutcome::NotPlaced) continue;
    const int64_t offset = SnesToFileOffset(t.address);
    stale.Add(offset, offset + t.room);
    std::vector<uint8_t> bytes = t.bytes;
    if (!movedTo.empty()) FollowMoves(bytes, movedTo);
    change.ranges.push_back({t.writtenAt, std::move(bytes)});
  }
  stale.Sort();
  for (PlannedText& t : texts) {
    if (t.outcome != PlanOutcome::Moved) continue;
    const std::array<uint8_t, 4> b = AddressBytes(t.to);
    for (const Reference& r : index.To(t.address)) {
      if (r.kind == ReferenceKind::JumpCode && stale.Contains(r.offset)) continue;
      change.ranges.push_back({r.addressOffset, std::vector<uint8_t>(b.begin(), b.end())});
      ++t.repointed;
    }
  }
  return change;
}

}  // namespace lettermoor

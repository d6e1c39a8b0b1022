#include "entries/reference_index.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "codec/jump_codes.h"
#include "entries/text_entry_table.h"
#include "rom/rom_file.h"
#include "rom/rom_image.h"

namespace lettermoor {

namespace {

bool Before(const Reference& a, const Reference& b) {
  if (a.target != b.target) return a.target < b.target;
  if (a.kind != b.kind) return a.kind < b.kind;
  return a.offset < b.offset;
}

// Gathers the jump codes of every string walked, each code once: a code that several strings
// reach (one starting inside another) belongs to the first string that reached it.
class JumpCollector {
 public:
  explicit JumpCollector(const RomFile& rom) : rom_(rom) {}

  int32_t Walk(int64_t stringOffset, ListingMode listing, int32_t line) {
    return ScanJumpCodes(rom_, stringOffset, [&](const JumpCodeAt& j) {
      if (!seen_.insert(j.codeOffset).second) return;
      Reference r;
      r.kind = ReferenceKind::JumpCode;
      r.target = static_cast<SnesAddress>(j.address);
      r.offset = j.codeOffset;
      r.addressOffset = j.addressOffset;
      r.stringOffset = stringOffset;
      r.listing = listing;
      r.line = line;
      r.jump = j.kind;
      found_.push_back(r);
    });
  }

  std::vector<Reference>& Found() { return found_; }

 private:
  const RomFile& rom_;
  std::unordered_set<int64_t> seen_;
  std::vector<Reference> found_;
};

}  // namespace

ReferenceIndex ReferenceIndex::Build(const RomFile& rom) {
  ReferenceIndex index;
  std::vector<Reference>& refs = index.references_;
  JumpCollector jumps(rom);

  // The pointer table listing: its records and plain pointers, then the strings they lead to,
  // each distinct string once.
  TextEntryTable table;
  BuildTextEntries(rom, ListingMode::PointerTableListing, table, [](int64_t) { return 1; });
  std::unordered_set<int64_t> walked;
  walked.reserve(static_cast<size_t>(table.count()) * 2);
  for (int i = 0; i < table.count(); ++i) {
    const TextEntry& e = table.entries[static_cast<size_t>(i)];
    Reference r;
    r.target = e.textAddress;
    r.offset = e.location;
    if (IsPlainPointerLocation(e.location)) {
      r.kind = ReferenceKind::PlainPointer;
      r.addressOffset = e.location;
      r.number = static_cast<int32_t>((e.location - kPlainPointerStart) / 4);
    } else {
      r.kind = ReferenceKind::PointerRecord;
      r.addressOffset = e.location + 13;
      r.number = static_cast<int32_t>((e.location - kPointerTableStart) / kPointerRecordSize);
    }
    refs.push_back(r);
    const int64_t start = SnesToFileOffset(e.textAddress);
    if (walked.insert(start).second) jumps.Walk(start, ListingMode::PointerTableListing, i + 1);
  }

  // The raw and expanded listings walk string after string; each walk gives the size that leads
  // to the next string, so every string is walked even when the pointer listing walked it.
  for (ListingMode mode : {ListingMode::RawTextListing, ListingMode::ExpandedRomListing}) {
    if (mode == ListingMode::ExpandedRomListing && !IsExpandedRom(rom)) break;
    int32_t line = 0;
    BuildTextEntries(rom, mode, table, [&](int64_t offset) { return jumps.Walk(offset, mode, ++line); });
  }

  refs.insert(refs.end(), jumps.Found().begin(), jumps.Found().end());
  std::sort(refs.begin(), refs.end(), Before);
  return index;
}

std::span<const Reference> ReferenceIndex::To(SnesAddress target) const {
  auto [first, last] = std::equal_range(
      references_.begin(), references_.end(), target,
      [](const auto& a, const auto& b) {
        if constexpr (std::is_same_v<std::decay_t<decltype(a)>, Reference>) {
          return a.target < b;
        } else {
          return a < b.target;
        }
      });
  return {first, last};
}

bool ReferenceIndex::AnyTargetIn(SnesAddress first, SnesAddress last) const {
  auto it = std::lower_bound(references_.begin(), references_.end(), first,
                             [](const Reference& r, SnesAddress a) { return r.target < a; });
  return it != references_.end() && it->target <= last;
}

const char* ReferenceKindName(const Reference& reference) {
  switch (reference.kind) {
    case ReferenceKind::PointerRecord: return "record";
    case ReferenceKind::PlainPointer: return "plain pointer";
    case ReferenceKind::JumpCode: break;
  }
  return reference.jump ? reference.jump->name : "jump code";
}

std::string DescribeReference(const Reference& reference) {
  char buf[96];
  switch (reference.kind) {
    case ReferenceKind::PointerRecord:
      std::snprintf(buf, sizeof buf, "Pointer record %d", reference.number);
      break;
    case ReferenceKind::PlainPointer:
      std::snprintf(buf, sizeof buf, "Plain pointer %d", reference.number);
      break;
    case ReferenceKind::JumpCode:
      std::snprintf(buf, sizeof buf, "%s in the string at $%06X", ReferenceKindName(reference),
                    static_cast<unsigned>(FileOffsetToSnes(static_cast<int32_t>(reference.stringOffset))));
      break;
  }
  return buf;
}

}  // namespace lettermoor

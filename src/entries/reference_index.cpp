#include "entries/reference_index.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <utility>

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

// Gathers the jump codes of every string walked, each code once. A code that several strings
// reach (one starting inside another, or running on past its range) is told by the string of the
// pointer table listing when one of them is listed there, else by the first that reached it.
class JumpCollector {
 public:
  explicit JumpCollector(const RomFile& rom) : rom_(rom) {}

  int32_t Walk(int64_t stringOffset, ListingMode listing, int32_t line) {
    return ScanJumpCodes(rom_, stringOffset, [&](const JumpCodeAt& j) {
      auto [it, added] = at_.try_emplace(j.codeOffset, found_.size());
      if (!added) {
        Reference& known = found_[it->second];
        if (listing == ListingMode::PointerTableListing && known.listing != listing) {
          Attribute(known, stringOffset, listing, line);
        }
        return;
      }
      Reference r;
      r.kind = ReferenceKind::JumpCode;
      r.target = static_cast<SnesAddress>(j.address);
      r.offset = j.codeOffset;
      r.addressOffset = j.addressOffset;
      r.jump = j.kind;
      Attribute(r, stringOffset, listing, line);
      found_.push_back(r);
    });
  }

  static void Attribute(Reference& r, int64_t stringOffset, ListingMode listing, int32_t line) {
    r.stringOffset = stringOffset;
    r.listing = listing;
    r.line = line;
  }

  std::vector<Reference>& Found() { return found_; }

 private:
  const RomFile& rom_;
  std::unordered_map<int64_t, size_t> at_;  // code offset -> its place in found_
  std::vector<Reference> found_;
};

}  // namespace

ReferenceIndex ReferenceIndex::Build(const RomFile& rom) {
  ReferenceIndex index;
  std::vector<Reference>& refs = index.references_;
  JumpCollector jumps(rom);

  // The raw and expanded listings walk string after string, each walk giving the size that
  // leads to the next string. Their starts come in file order.
  TextEntryTable table;
  std::vector<int64_t> listedStarts;
  listedStarts.reserve(TextEntryTable::kCapacity * 2);
  for (ListingMode mode : {ListingMode::RawTextListing, ListingMode::ExpandedRomListing}) {
    if (mode == ListingMode::ExpandedRomListing && !IsExpandedRom(rom)) break;
    int32_t line = 0;
    BuildTextEntries(rom, mode, table, [&](int64_t offset) {
      listedStarts.push_back(offset);
      return jumps.Walk(offset, mode, ++line);
    });
  }

  // The pointer table listing: its records and plain pointers, and the strings they lead to.
  // A string that starts where a listed one does was walked already, the same way.
  BuildTextEntries(rom, ListingMode::PointerTableListing, table, [](int64_t) { return 1; });
  std::vector<std::pair<int64_t, int32_t>> pointerStrings;  // start, first line
  pointerStrings.reserve(static_cast<size_t>(table.count()));
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
    pointerStrings.emplace_back(SnesToFileOffset(e.textAddress), i + 1);
  }
  std::sort(pointerStrings.begin(), pointerStrings.end());
  pointerStrings.erase(std::unique(pointerStrings.begin(), pointerStrings.end(),
                                   [](const auto& a, const auto& b) { return a.first == b.first; }),
                       pointerStrings.end());
  for (const auto& [start, line] : pointerStrings) {
    if (!std::binary_search(listedStarts.begin(), listedStarts.end(), start)) {
      jumps.Walk(start, ListingMode::PointerTableListing, line);
    }
  }
  // Codes in strings both listings show are told by their pointer table listing line.
  for (Reference& j : jumps.Found()) {
    if (j.listing == ListingMode::PointerTableListing) continue;
    auto it = std::lower_bound(pointerStrings.begin(), pointerStrings.end(), std::make_pair(j.stringOffset, 0));
    if (it != pointerStrings.end() && it->first == j.stringOffset) {
      JumpCollector::Attribute(j, j.stringOffset, ListingMode::PointerTableListing, it->second);
    }
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

bool ReachedFromOutside(const ReferenceIndex& index, SnesAddress target, int64_t from, int64_t to) {
  const auto refs = index.To(target);
  return std::any_of(refs.begin(), refs.end(), [&](const Reference& r) {
    return r.kind != ReferenceKind::JumpCode || r.offset < from || r.offset >= to;
  });
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

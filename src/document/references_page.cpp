#include "document/references_page.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "codec/jump_codes.h"

#include "entries/free_space.h"
#include "entries/reference_index.h"
#include "rom/rom_image.h"

namespace lettermoor {

namespace {

std::string Where(const Reference& r) {
  char buf[128];
  switch (r.kind) {
    case ReferenceKind::PointerRecord:
      std::snprintf(buf, sizeof buf, "Record %d at 0x%X", r.number, static_cast<unsigned>(r.offset));
      break;
    case ReferenceKind::PlainPointer:
      std::snprintf(buf, sizeof buf, "Plain pointer %d at 0x%X", r.number, static_cast<unsigned>(r.offset));
      break;
    case ReferenceKind::JumpCode:
      std::snprintf(buf, sizeof buf, "Code at 0x%X in the string at 0x%X", static_cast<unsigned>(r.offset),
                    static_cast<unsigned>(r.stringOffset));
      break;
  }
  return buf;
}

// The main list's line for a reference in the listing shown now, or 0.
int32_t LineOf(const RomFile& rom, const Reference& r, const TextEntryTable& table, ListingMode mode) {
  if (r.kind == ReferenceKind::JumpCode) {
    // Never the index's own line: the index scans the file afresh after every write, and a write
    // can change where the raw listing's strings begin while the list keeps the rows it shows.
    if (mode == ListingMode::PointerTableListing) {
      const SnesAddress string = FileOffsetToSnes(static_cast<int32_t>(r.stringOffset));
      for (int i = 0; i < table.count(); ++i) {
        if (table.entries[static_cast<size_t>(i)].textAddress == string) return i + 1;
      }
      return 0;
    }
    // The raw and expanded listings run string after string in file order: the code is in the
    // last string that starts at or before it, if that string reaches it.
    const auto after = std::upper_bound(table.entries.begin(), table.entries.end(), r.offset,
                                        [](int64_t at, const TextEntry& e) { return at < SnesToFileOffset(e.textAddress); });
    if (after == table.entries.begin()) return 0;
    const int64_t start = SnesToFileOffset(std::prev(after)->textAddress);
    if (r.offset >= start + ScanJumpCodes(rom, start, [](const JumpCodeAt&) {})) return 0;
    return static_cast<int32_t>(after - table.entries.begin());
  }
  if (mode != ListingMode::PointerTableListing) return 0;
  for (int i = 0; i < table.count(); ++i) {
    if (table.entries[static_cast<size_t>(i)].location == r.offset) return i + 1;
  }
  return 0;
}

std::string KindOf(const Reference& r) {
  switch (r.kind) {
    case ReferenceKind::PointerRecord: return "Record";
    case ReferenceKind::PlainPointer: return "Plain pointer";
    case ReferenceKind::JumpCode: break;
  }
  return ReferenceKindName(r);
}

}  // namespace

int64_t FreeSpaceLeft(const RomFile& rom, const ReferenceIndex& index) {
  return IsExpandedRom(rom) ? FreeSpace::Of(rom, index).FreeBytes() : -1;
}

std::string DescribeFreeSpace(int64_t freeBytes) {
  if (freeBytes < 0) return references_text::kNoFreeSpace;
  char buf[96];
  std::snprintf(buf, sizeof buf, references_text::kFreeSpace, static_cast<long long>(freeBytes));
  return buf;
}

ReferencesPage MakeReferencesPage(const RomFile& rom, const ReferenceIndex& index, const TextEntryTable& table,
                                  ListingMode mode, SnesAddress target, int row) {
  ReferencesPage page;
  page.target = target;
  for (const Reference& r : index.To(target)) page.rows.push_back({KindOf(r), Where(r), LineOf(rom, r, table, mode)});
  char buf[96];
  if (table.Contains(row)) {
    std::snprintf(buf, sizeof buf, references_text::kHeading, row + 1, static_cast<unsigned>(target),
                  static_cast<int>(page.rows.size()), page.rows.size() == 1 ? "" : "s");
  } else {
    std::snprintf(buf, sizeof buf, references_text::kHeadingNoLine, static_cast<unsigned>(target),
                  static_cast<int>(page.rows.size()), page.rows.size() == 1 ? "" : "s");
  }
  page.heading = buf;
  page.freeBytes = FreeSpaceLeft(rom, index);
  page.freeSpace = DescribeFreeSpace(page.freeBytes);
  page.note = page.rows.empty() ? std::string(references_text::kNone) + "\n" + references_text::kBlindSpots
                                : references_text::kBlindSpots;
  return page;
}

}  // namespace lettermoor

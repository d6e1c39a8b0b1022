#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "entries/text_entry.h"
#include "rom/snes_address.h"

namespace lettermoor {

class ReferenceIndex;
class RomFile;

namespace references_text {
inline constexpr const char* kTitle = "References";
// The last %s is "s" for any count but 1.
inline constexpr const char* kHeading = "Line %d ($%06X) is reached from %d place%s:";
inline constexpr const char* kHeadingNoLine = "$%06X is reached from %d place%s:";
inline constexpr const char* kNone = "Nothing the index sees points at this text.";
inline constexpr const char* kFreeSpace = "Free space: %lld bytes in the expansion area";
inline constexpr const char* kNoFreeSpace = "Free space: none (the ROM is not expanded)";
// What the index cannot see, said wherever it is shown.
inline constexpr const char* kBlindSpots =
    "Only jump codes that the code table describes are found. A code the table does not "
    "describe, or an address the game works out while it runs, can still lead to this text "
    "without being listed here.";
}  // namespace references_text

// One reference as the references window lists it.
struct ReferenceRow {
  std::string kind;   // "Record", "Plain pointer", or the jump code's name
  std::string where;  // what and where it is, file offsets in hexadecimal
  int32_t line = 0;   // the line of the main list that shows it (from 1), or 0 when none does
};

// What the references window shows for one text.
struct ReferencesPage {
  SnesAddress target = 0;
  std::string heading;
  std::vector<ReferenceRow> rows;
  std::string note;  // references_text::kNone when there are none, then the blind spots
  int64_t freeBytes = -1;  // free bytes of the expansion area; -1 when the ROM is not expanded
  std::string freeSpace;   // the same in words (DescribeFreeSpace)
};

// The free bytes left where texts move to (FreeSpace), or -1 for a ROM that is not expanded.
int64_t FreeSpaceLeft(const RomFile& rom, const ReferenceIndex& index);
// "Free space: N bytes in the expansion area" for FreeSpaceLeft's `freeBytes`, or that there is none.
std::string DescribeFreeSpace(int64_t freeBytes);

// Every reference to the text at `target` (shown on row `row` of `table`, or on none: -1), with
// the line of the main list (listed in `mode`) that shows each: for a record or plain pointer its
// own line (pointer table listing only), for a jump code the line of the string it is in; and
// the free space left.
ReferencesPage MakeReferencesPage(const RomFile& rom, const ReferenceIndex& index, const TextEntryTable& table,
                                  ListingMode mode, SnesAddress target, int row);

}  // namespace lettermoor

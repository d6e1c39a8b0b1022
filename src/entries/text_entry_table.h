#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <optional>

#include "entries/text_entry.h"
#include "rom/rom_file.h"

namespace lettermoor {

class RomFile;
class TextDecoder;

// ROM regions the builders read (file offsets; the end is the bound a start must stay below).
inline constexpr int64_t kPointerTableStart = 0xF8B92;
inline constexpr int64_t kPointerTableEnd = 0xFE8F0;
inline constexpr int kPointerRecordSize = 17;
inline constexpr int64_t kPlainPointerStart = 0x157D6C;
inline constexpr int64_t kPlainPointerEnd = 0x158C50;
inline constexpr int64_t kExpansionStart = 0x300200;
inline constexpr int64_t kExpansionListEnd = 0x400100;

// The text target window: a pointer is listed only when its file offset lies in it.
inline constexpr int64_t kTextWindowFirst = 0x51D12;
inline constexpr int64_t kTextWindowLast = 0x4001FF;

struct TextRange {
  int64_t start;
  int64_t end;
};

// The eleven raw script text ranges, in listing order.
inline constexpr std::array<TextRange, 11> kRawTextRanges = {{
    {0x51D12, 0x581C1},
    {0x5B5B1, 0x680EC},
    {0x68200, 0x701E2},
    {0x70200, 0x78100},
    {0x78200, 0x8013B},
    {0x80200, 0x88120},
    {0x88200, 0x8BE2C},
    {0x8DC31, 0x901F2},
    {0x90200, 0x981B2},
    {0x98200, 0xA0123},
    {0x2F5020, 0x2FA579},
}};

// True when the pointer's file offset lies in the text target window.
bool IsInTextWindow(SnesAddress pointer);

// Empties the table and fills it for the listing mode. The decoder is used only for the size
// counts of the raw and expanded listings. Stops at the table's capacity and marks it truncated.
void BuildTextEntries(const RomFile& rom, ListingMode mode, TextEntryTable& table,
                      TextDecoder& decoder);

// The same, with the size counts of the raw and expanded listings coming from `sizeOf(offset)`,
// called once per listed string in listing order: a caller that decodes every listed string
// anyway (the list fill) learns the sizes from that one decode.
void BuildTextEntries(const RomFile& rom, ListingMode mode, TextEntryTable& table,
                      const std::function<int32_t(int64_t offset)>& sizeOf);

// Lists the strings of `ranges` after what `table` holds, as the raw listing does: each range
// string after string from its own start. Gives false once the table is full (it is then marked
// truncated). No range depends on another, so ranges listed apart and joined in order give the
// same entries.
bool ListRanges(std::span<const TextRange> ranges, TextEntryTable& table,
                const std::function<int32_t(int64_t offset)>& sizeOf);

// True when `location` is the first byte of one of the 1406 text pointer table records.
bool IsPointerRecordLocation(int64_t location);
// True when `location` is the first byte of one of the 953 plain pointers.
bool IsPlainPointerLocation(int64_t location);

// The text address the entry's record or plain pointer holds in the file now (another program
// may have repointed it since the table was built); nothing for an entry that has neither, whose
// pointer lies past the end of the file, or whose pointer leads outside the text window.
std::optional<SnesAddress> CurrentTextAddress(const RomFile& rom, const TextEntry& entry);

// Writes the sprite (16 bits), movement (8 bits) and text pointer (32 bits) of the record at
// `location`, leaving its other 10 bytes alone. Refuses, writing nothing, any location that is not
// a record start (a plain pointer's, for one). Synced to disk before it returns.
[[nodiscard]] WriteResult WriteTextPointerRecord(RomFile& rom, int64_t location, SnesAddress textAddress,
                                                 int32_t sprite, int32_t movement);

// Rewrites the 4-byte pointer of a plain pointer list entry; refuses any other location.
[[nodiscard]] WriteResult WritePlainPointer(RomFile& rom, int64_t location, SnesAddress textAddress);

}  // namespace lettermoor

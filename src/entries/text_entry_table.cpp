#include "entries/text_entry_table.h"

#include <array>

#include "codec/text_decoder.h"
#include "rom/rom_file.h"

namespace lettermoor {

namespace {

uint32_t ReadLe32(const RomFile& rom, int64_t at) {
  return static_cast<uint32_t>(rom.ReadByte(at)) | static_cast<uint32_t>(rom.ReadByte(at + 1)) << 8 |
         static_cast<uint32_t>(rom.ReadByte(at + 2)) << 16 |
         static_cast<uint32_t>(rom.ReadByte(at + 3)) << 24;
}

// Adds the entry unless the table is full; gives false once it is.
bool Add(TextEntryTable& table, const TextEntry& entry) {
  if (table.count() >= TextEntryTable::kCapacity) {
    table.truncated = true;
    return false;
  }
  table.entries.push_back(entry);
  return true;
}

void ListPointers(const RomFile& rom, TextEntryTable& table) {
  for (int64_t r = kPointerTableStart; r < kPointerTableEnd; r += kPointerRecordSize) {
    TextEntry e;
    e.location = static_cast<int32_t>(r);
    e.sprite = rom.ReadByte(r + 5) | rom.ReadByte(r + 6) << 8;
    e.movement = rom.ReadByte(r + 8);
    e.textAddress = static_cast<SnesAddress>(ReadLe32(rom, r + 13));
    if (IsInTextWindow(e.textAddress) && !Add(table, e)) return;
  }
  for (int64_t p = kPlainPointerStart; p < kPlainPointerEnd; p += 4) {
    TextEntry e{static_cast<int32_t>(p), static_cast<SnesAddress>(ReadLe32(rom, p)), -1, -1};
    if (IsInTextWindow(e.textAddress) && !Add(table, e)) return;
  }
}

// Lists string after string from `start`; the test comes after each string, so the first one is
// always listed and the last may run past `end`.
bool ListRange(const TextRange& range, TextEntryTable& table,
               const std::function<int32_t(int64_t)>& sizeOf) {
  uint32_t offset = static_cast<uint32_t>(range.start);
  do {
    if (!Add(table, TextEntry{0, FileOffsetToSnes(static_cast<int32_t>(offset)), 0, 0})) return false;
    offset += static_cast<uint32_t>(sizeOf(offset));
  } while (offset < static_cast<uint32_t>(range.end));
  return true;
}

}  // namespace

bool IsInTextWindow(SnesAddress pointer) {
  const int32_t offset = SnesToFileOffset(pointer);
  return offset >= kTextWindowFirst && offset <= kTextWindowLast;
}

void BuildTextEntries(const RomFile& rom, ListingMode mode, TextEntryTable& table,
                      TextDecoder& decoder) {
  BuildTextEntries(rom, mode, table, [&](int64_t offset) { return decoder.Measure(rom, offset); });
}

void BuildTextEntries(const RomFile& rom, ListingMode mode, TextEntryTable& table,
                      const std::function<int32_t(int64_t offset)>& sizeOf) {
  table.entries.clear();
  table.truncated = false;
  switch (mode) {
    case ListingMode::PointerTableListing:
      table.entries.reserve(2359);
      ListPointers(rom, table);
      break;
    case ListingMode::RawTextListing:
      ListRanges(kRawTextRanges, table, sizeOf);
      break;
    case ListingMode::ExpandedRomListing:
      ListRange(TextRange{kExpansionStart, kExpansionListEnd}, table, sizeOf);
      break;
  }
}

bool ListRanges(std::span<const TextRange> ranges, TextEntryTable& table,
                const std::function<int32_t(int64_t offset)>& sizeOf) {
  for (const TextRange& range : ranges) {
    if (!ListRange(range, table, sizeOf)) return false;
  }
  return true;
}

bool IsPointerRecordLocation(int64_t location) {
  return location >= kPointerTableStart && location < kPointerTableEnd &&
         (location - kPointerTableStart) % kPointerRecordSize == 0;
}

bool IsPlainPointerLocation(int64_t location) {
  return location >= kPlainPointerStart && location < kPlainPointerEnd &&
         (location - kPlainPointerStart) % 4 == 0;
}

std::optional<SnesAddress> CurrentTextAddress(const RomFile& rom, const TextEntry& entry) {
  int64_t at = -1;
  if (IsPlainPointerLocation(entry.location)) at = entry.location;
  if (IsPointerRecordLocation(entry.location)) at = entry.location + 13;
  if (at < 0 || at + 4 > rom.Size()) return std::nullopt;
  const auto address = static_cast<SnesAddress>(ReadLe32(rom, at));
  if (!IsInTextWindow(address)) return std::nullopt;
  return address;
}

WriteResult WriteTextPointerRecord(RomFile& rom, int64_t location, SnesAddress textAddress,
                                   int32_t sprite, int32_t movement) {
  if (!IsPointerRecordLocation(location)) return {WriteStatus::OutsideFile, 0};
  // The three fields go in as one write of the span from the sprite to the pointer's end, so
  // that they change together or not at all; the bytes between them are written back as they
  // are in the file at that moment.
  constexpr int kSpanStart = 5, kSpanEnd = 17;
  std::array<uint8_t, kSpanEnd - kSpanStart> span{};
  std::array<uint8_t, kSpanEnd - kSpanStart> ours{};  // 1 where the byte is one of the fields
  auto put = [&](int at, uint8_t value) {
    span[static_cast<size_t>(at - kSpanStart)] = value;
    ours[static_cast<size_t>(at - kSpanStart)] = 1;
  };
  put(5, static_cast<uint8_t>(sprite & 0xFF));
  put(6, static_cast<uint8_t>((sprite >> 8) & 0xFF));
  put(8, static_cast<uint8_t>(movement & 0xFF));
  const std::array<uint8_t, 4> pointer = AddressBytes(textAddress);
  for (int i = 0; i < 4; ++i) put(13 + i, pointer[static_cast<size_t>(i)]);
  return rom.Write(location + kSpanStart, span, ours);
}

WriteResult WritePlainPointer(RomFile& rom, int64_t location, SnesAddress textAddress) {
  if (!IsPlainPointerLocation(location)) return {WriteStatus::OutsideFile, 0};
  const std::array<uint8_t, 4> pointer = AddressBytes(textAddress);
  return rom.Write(location, pointer);
}

}  // namespace lettermoor

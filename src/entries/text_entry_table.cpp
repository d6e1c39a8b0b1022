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

// A text pointer as the ROM stores it: 32 bits, lowest byte first.
std::array<uint8_t, 4> PointerBytes(SnesAddress address) {
  const auto a = static_cast<uint32_t>(address);
  return {static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a >> 16),
          static_cast<uint8_t>(a >> 24)};
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
      for (const TextRange& range : kRawTextRanges) {
        if (!ListRange(range, table, sizeOf)) break;
      }
      break;
    case ListingMode::ExpandedRomListing:
      ListRange(TextRange{kExpansionStart, kExpansionListEnd}, table, sizeOf);
      break;
  }
}

bool IsPointerRecordLocation(int64_t location) {
  return location >= kPointerTableStart && location < kPointerTableEnd &&
         (location - kPointerTableStart) % kPointerRecordSize == 0;
}

bool IsPlainPointerLocation(int64_t location) {
  return location >= kPlainPointerStart && location < kPlainPointerEnd &&
         (location - kPlainPointerStart) % 4 == 0;
}

bool WriteTextPointerRecord(RomFile& rom, int64_t location, SnesAddress textAddress,
                            int32_t sprite, int32_t movement) {
  if (!IsPointerRecordLocation(location)) return false;
  // The three fields go in together or not at all: a file that another program cut short inside
  // the record must not be left with half an edit in it.
  rom.Refresh();
  if (location + kPointerRecordSize > rom.Size()) return false;
  const uint8_t spriteBytes[] = {static_cast<uint8_t>(sprite & 0xFF),
                                 static_cast<uint8_t>((sprite >> 8) & 0xFF)};
  const uint8_t movementByte[] = {static_cast<uint8_t>(movement & 0xFF)};
  const std::array<uint8_t, 4> pointer = PointerBytes(textAddress);
  bool ok = rom.Write(location + 5, spriteBytes);
  ok = rom.Write(location + 8, movementByte) && ok;
  ok = rom.Write(location + 13, pointer) && ok;
  return ok;
}

bool WritePlainPointer(RomFile& rom, int64_t location, SnesAddress textAddress) {
  if (!IsPlainPointerLocation(location)) return false;
  const std::array<uint8_t, 4> pointer = PointerBytes(textAddress);
  return rom.Write(location, pointer);
}

}  // namespace lettermoor

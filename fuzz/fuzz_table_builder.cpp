// Builds the entry table of arbitrary images, short ones included, in every listing mode.
//
// Invariants:
// - the build ends, and never lists more than 8000 entries; it says it was cut exactly when it
//   stopped at 8000;
// - pointer table listing: only record starts (then plain pointer starts) in file order, each
//   entry's sprite, movement and text address read from its record (-1, -1 and the pointer for
//   plain pointers), every text address inside the text target window; at most 2359 entries;
// - raw and expanded listings: location, sprite and movement 0, and each range's entries chain
//   from the range's start, string after string, until the range's end is passed;
// - a mode other than the three lists nothing; a build replaces whatever the table held.

#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/text_decoder.h"
#include "entries/text_entry_table.h"
#include "fuzz_support.h"
#include "rom/snes_address.h"

namespace lettermoor::fuzz {
namespace {

// Image sizes that end at, before or inside the regions the builders read.
constexpr int64_t kSizes[] = {
    0x101CF,                // just the title
    0x581C1 - 2,            // inside the first raw range
    0xA0200,                // past the first ten raw ranges
    0xF8B92 + 17 * 5 + 3,   // inside a pointer record
    0xFE8F0,                // the pointer table, then nothing
    0x157D6C + 6,           // inside a plain pointer
    0x300200,               // a standard ROM
    0x300200 + 0x81,        // inside the expansion area
    0x400100,
    0x400200,               // an expanded ROM
};

// Where the input's bytes are copied in a padded image: the start of every region.
std::vector<int64_t> RegionStarts() {
  std::vector<int64_t> starts = {kPointerTableStart, kPlainPointerStart, kExpansionStart};
  for (const TextRange& r : kRawTextRanges) starts.push_back(r.start);
  return starts;
}

uint32_t Le32(const RomFile& rom, int64_t at) {
  return static_cast<uint32_t>(rom.ReadByte(at)) | static_cast<uint32_t>(rom.ReadByte(at + 1)) << 8 |
         static_cast<uint32_t>(rom.ReadByte(at + 2)) << 16 |
         static_cast<uint32_t>(rom.ReadByte(at + 3)) << 24;
}

bool InWindow(uint32_t pointer) {
  const int64_t offset = static_cast<int32_t>(pointer - 0xBFFE00u);
  return offset >= 0x51D12 && offset <= 0x4001FF;
}

// The pointer listing, straight from the layout of records and plain pointers.
std::vector<TextEntry> ExpectedPointerEntries(const RomFile& rom) {
  std::vector<TextEntry> out;
  for (int64_t r = 0xF8B92; r < 0xFE8F0; r += 17) {
    const uint32_t pointer = Le32(rom, r + 13);
    if (!InWindow(pointer)) continue;
    out.push_back(TextEntry{static_cast<int32_t>(r), static_cast<int32_t>(pointer),
                            rom.ReadByte(r + 5) + 256 * rom.ReadByte(r + 6), rom.ReadByte(r + 8)});
  }
  for (int64_t p = 0x157D6C; p < 0x158C50; p += 4) {
    const uint32_t pointer = Le32(rom, p);
    if (InWindow(pointer)) out.push_back(TextEntry{static_cast<int32_t>(p), static_cast<int32_t>(pointer), -1, -1});
  }
  return out;
}

// A raw listing: from each range's start, string after string (sizes from the decoder), until
// an offset is no longer below the range's end; at most 8000 entries in all.
std::vector<TextEntry> ExpectedRangeEntries(const RomFile& rom, const std::vector<TextRange>& ranges,
                                            TextDecoder& decoder, bool& cut) {
  std::vector<TextEntry> out;
  cut = false;
  for (const TextRange& range : ranges) {
    int64_t offset = range.start;
    do {
      if (out.size() == 8000) {
        cut = true;
        return out;
      }
      out.push_back(TextEntry{0, static_cast<int32_t>(offset + 0xBFFE00), 0, 0});
      const int32_t size = decoder.Measure(rom, offset);
      FUZZ_CHECK(size >= 1);
      offset += size;
    } while (offset < range.end);
  }
  return out;
}

}  // namespace
}  // namespace lettermoor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lettermoor;
  using namespace lettermoor::fuzz;
  static MemoryFile file;

  InputReader in(data, size);
  const uint8_t modeByte = in.Byte();
  const uint8_t layout = in.Byte();
  const uint8_t fill = in.Byte();
  const uint8_t* payload = in.Rest();
  const size_t n = in.RestSize();

  if (layout % 4 == 0) {
    // A short image: the bytes alone.
    file.Reset(static_cast<int64_t>(n), payload, n, 0);
  } else {
    const int64_t fileSize = kSizes[(layout / 4) % std::size(kSizes)];
    std::vector<uint8_t> image(static_cast<size_t>(fileSize), fill);
    if (n > 0) {
      for (int64_t start : RegionStarts()) {
        if (start >= fileSize) continue;
        std::memcpy(image.data() + start, payload, std::min<size_t>(n, static_cast<size_t>(fileSize - start)));
      }
    }
    file.Reset(fileSize, image.data(), image.size(), 0);
  }
  std::unique_ptr<RomFile> rom = file.Open();

  TextDictionary dictionary;
  DecoderState state;
  TextDecoder decoder(dictionary, state);
  TextEntryTable table;
  table.entries.assign(9, TextEntry{1, 2, 3, 4});  // whatever an earlier build left
  table.truncated = true;

  const int mode = modeByte % 4;
  BuildTextEntries(*rom, static_cast<ListingMode>(mode), table, decoder);

  FUZZ_CHECK(table.count() <= TextEntryTable::kCapacity);
  FUZZ_CHECK(!table.truncated || table.count() == TextEntryTable::kCapacity);

  std::vector<TextEntry> expected;
  bool cut = false;
  switch (mode) {
    case 0:
      expected = ExpectedPointerEntries(*rom);
      FUZZ_CHECK(table.count() <= 1406 + 953);
      FUZZ_CHECK(!table.truncated);
      for (const TextEntry& e : table.entries) {
        FUZZ_CHECK(IsPointerRecordLocation(e.location) || IsPlainPointerLocation(e.location));
        FUZZ_CHECK(IsInTextWindow(e.textAddress));
        if (IsPlainPointerLocation(e.location)) {
          FUZZ_CHECK(e.sprite == -1 && e.movement == -1);
        } else {
          FUZZ_CHECK(e.sprite >= 0 && e.sprite <= 0xFFFF && e.movement >= 0 && e.movement <= 0xFF);
        }
      }
      break;
    case 1:
      expected = ExpectedRangeEntries(*rom, {kRawTextRanges.begin(), kRawTextRanges.end()}, decoder, cut);
      break;
    case 2:
      expected = ExpectedRangeEntries(*rom, {TextRange{kExpansionStart, kExpansionListEnd}}, decoder, cut);
      break;
    default:
      FUZZ_CHECK(table.count() == 0 && !table.truncated);
      break;
  }
  if (mode == 1 || mode == 2) {
    for (const TextEntry& e : table.entries) FUZZ_CHECK(e.location == 0 && e.sprite == 0 && e.movement == 0);
  }
  FUZZ_CHECK(table.entries == expected);
  FUZZ_CHECK(table.truncated == cut);
  return 0;
}

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codec/text_decoder.h"
#include "entries/text_blocks.h"
#include "entries/text_entry_table.h"
#include "rom/rom_image.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::SyntheticRom;

class EntryTable : public ::testing::Test {
 protected:
  TextEntryTable Build(const SyntheticRom& image, ListingMode mode) {
    file_ = image.Save();
    rom_ = test::OpenForTest(file_->Path());
    TextEntryTable table;
    BuildTextEntries(*rom_, mode, table, decoder_);
    return table;
  }

  TextDictionary dictionary_;
  DecoderState state_;
  TextDecoder decoder_{dictionary_, state_};
  std::unique_ptr<test::TempFile> file_;
  std::unique_ptr<RomFile> rom_;
};

TEST_F(EntryTable, PointerListingKeepsOnlyPointersInsideTheTextWindow) {
  SyntheticRom image;
  image.PointerRecord(0, 0xC51B12, 0x1C8, 7);  // first byte of the window
  image.PointerRecord(1, 0xC51B11, 1, 1);      // one below: skipped, its row taken by the next
  image.PointerRecord(2, 0xFFFFFF, 2, 0);      // last byte of the window, even unexpanded
  image.PointerRecord(3, 0x1000000, 3, 3);     // one above: skipped
  image.PointerRecord(1405, 0xC60000, 0, 9);   // the last record
  image.PlainPointer(0, 0xC52000);
  image.PlainPointer(1, 0);
  image.PlainPointer(952, 0xEF4E20);
  TextEntryTable table = Build(image, ListingMode::PointerTableListing);
  ASSERT_EQ(table.count(), 5);
  EXPECT_EQ(table.entries[0], (TextEntry{0xF8B92, 0xC51B12, 0x1C8, 7}));
  EXPECT_EQ(table.entries[1], (TextEntry{0xF8B92 + 2 * 17, 0xFFFFFF, 2, 0}));
  EXPECT_EQ(table.entries[2], (TextEntry{static_cast<int32_t>(SyntheticRom::RecordOffset(1405)), 0xC60000, 0, 9}));
  EXPECT_EQ(table.entries[3], (TextEntry{0x157D6C, 0xC52000, -1, -1}));
  EXPECT_TRUE(table.entries[3].IsPlainPointer());
  EXPECT_EQ(table.entries[4].location, 0x157D6C + 952 * 4);
  EXPECT_FALSE(table.truncated);
}

TEST_F(EntryTable, PointerListingOfAFullTableStaysBelowItsBound) {
  SyntheticRom image;
  for (int i = 0; i < 1406; ++i) image.PointerRecord(i, 0xC60000 + i, 1, 1);
  for (int i = 0; i < 953; ++i) image.PlainPointer(i, 0xC70000 + i);
  EXPECT_EQ(Build(image, ListingMode::PointerTableListing).count(), 2359);
}

TEST_F(EntryTable, RawListingStepsStringByString) {
  SyntheticRom image;
  // Fill every range with end codes so each byte is a one-byte string, except range 1.
  for (const TextRange& r : kRawTextRanges) {
    image.Put(r.start, std::vector<uint8_t>(static_cast<size_t>(r.end - r.start), 0x02));
  }
  const int64_t first = kRawTextRanges[0].start;
  image.Put(first, {0x02});                               // a range that starts with the end code
  image.PutText(first + 1, "Hi").Put(first + 3, {0x02});  // then a three-byte string
  TextEntryTable table = Build(image, ListingMode::RawTextListing);
  ASSERT_GE(table.count(), 3);
  EXPECT_EQ(table.entries[0], (TextEntry{0, FileOffsetToSnes(static_cast<int32_t>(first)), 0, 0}));
  EXPECT_EQ(table.entries[1].textAddress, FileOffsetToSnes(static_cast<int32_t>(first + 1)));
  EXPECT_EQ(table.entries[2].textAddress, FileOffsetToSnes(static_cast<int32_t>(first + 4)));
  // One-byte strings everywhere else would list far past 8000: the build stops there and says so.
  EXPECT_EQ(table.count(), TextEntryTable::kCapacity);
  EXPECT_TRUE(table.truncated);
}

TEST_F(EntryTable, EveryRawRangeListsItsFirstStringAndMayRunPastItsEnd) {
  SyntheticRom image;
  // Zero bytes are NEWLINE codes: each string runs 4000 bytes, far past the short ranges.
  TextEntryTable table = Build(image, ListingMode::RawTextListing);
  int64_t expected = 0;
  for (const TextRange& r : kRawTextRanges) expected += (r.end - r.start + 3999) / 4000;
  EXPECT_EQ(table.count(), expected);
  std::vector<int32_t> starts;
  for (const TextEntry& e : table.entries) starts.push_back(SnesToFileOffset(e.textAddress));
  for (const TextRange& r : kRawTextRanges) {
    EXPECT_NE(std::find(starts.begin(), starts.end(), r.start), starts.end()) << std::hex << r.start;
  }
}

TEST_F(EntryTable, FreshlyExpandedRomListsEveryBlockButTheLast) {
  auto file = SyntheticRom().Save();
  RomImage rom{test::OpenForTest(file->Path()), file->Name(), file->Path()};
  ASSERT_EQ(GrowRom(rom, kExpandedRomSize), GrowResult::Grown);
  TextEntryTable table;
  BuildTextEntries(*rom.handle, ListingMode::ExpandedRomListing, table, decoder_);
  ASSERT_EQ(table.count(), 4095);
  for (int i = 0; i < table.count(); ++i) {
    ASSERT_EQ(table.entries[static_cast<size_t>(i)], (TextEntry{0, 0xF00000 + 256 * i, 0, 0}));
    ASSERT_EQ(decoder_.Measure(*rom.handle, 0x300200 + 256 * i), 256);
  }
  EXPECT_EQ(SnesToFileOffset(table.entries.back().textAddress), 0x400000);
}

TEST_F(EntryTable, UnexpandedRomListsBlankSpaceAsFFStrings) {
  // Past the end every byte is FF: each string counts to the limit.
  TextEntryTable table = Build(SyntheticRom(), ListingMode::ExpandedRomListing);
  EXPECT_EQ(table.count(), (0x400100 - 0x300200 + 3999) / 4000);
}

TEST_F(EntryTable, RecordWriteTouchesOnlyItsThreeFields) {
  SyntheticRom image;
  const int64_t L = SyntheticRom::RecordOffset(10);
  std::vector<uint8_t> record(17);
  for (int i = 0; i < 17; ++i) record[static_cast<size_t>(i)] = static_cast<uint8_t>(0xE0 + i);
  image.Put(L, record);
  file_ = image.Save();
  rom_ = test::OpenForTest(file_->Path());
  auto before = file_->ReadAll();
  ASSERT_TRUE(WriteTextPointerRecord(*rom_, L, 0xC51B12, 0x1C8, 7));
  auto after = file_->ReadAll();
  for (size_t i = 0; i < before.size(); ++i) {
    const int64_t d = static_cast<int64_t>(i) - L;
    if (d == 5 || d == 6 || d == 8 || (d >= 13 && d <= 16)) continue;
    ASSERT_EQ(before[i], after[i]) << "byte " << d << " of the record changed";
  }
  EXPECT_EQ(after[L + 5], 0xC8);
  EXPECT_EQ(after[L + 6], 0x01);
  EXPECT_EQ(after[L + 8], 0x07);
  EXPECT_EQ((std::vector<uint8_t>(after.begin() + L + 13, after.begin() + L + 17)),
            (std::vector<uint8_t>{0x12, 0x1B, 0xC5, 0x00}));
}

TEST_F(EntryTable, RecordWritesAreRefusedAnywhereButARecordStart) {
  SyntheticRom image;
  file_ = image.Save();
  rom_ = test::OpenForTest(file_->Path());
  const auto before = file_->ReadAll();
  EXPECT_FALSE(WriteTextPointerRecord(*rom_, 0x157D6C, 0xC51B12, 1, 1));  // a plain pointer
  EXPECT_FALSE(WriteTextPointerRecord(*rom_, 0xF8B93, 0xC51B12, 1, 1));   // mid-record
  EXPECT_FALSE(WriteTextPointerRecord(*rom_, 0, 0xC51B12, 1, 1));         // no record at all
  EXPECT_FALSE(WritePlainPointer(*rom_, 0xF8B92, 0xC51B12));
  EXPECT_EQ(file_->ReadAll(), before);
  ASSERT_TRUE(WritePlainPointer(*rom_, 0x157D70, 0xC51B12));
  auto after = file_->ReadAll();
  EXPECT_EQ(after[0x157D70], 0x12);
  EXPECT_EQ(after[0x157D73], 0x00);
  EXPECT_EQ(after[0x157D6F], 0x00);
  EXPECT_EQ(after[0x157D74], 0x00);
}

TEST(TextWindow, AcceptsExactlyItsRange) {
  EXPECT_TRUE(IsInTextWindow(0xC51B12));
  EXPECT_FALSE(IsInTextWindow(0xC51B11));
  EXPECT_TRUE(IsInTextWindow(0xFFFFFF));
  EXPECT_FALSE(IsInTextWindow(0x1000000));
  EXPECT_FALSE(IsInTextWindow(0));
  EXPECT_FALSE(IsInTextWindow(-1));
}

// The exports' grouping of rows by text address, on tables with few or many repeats and with
// addresses that differ only in their high bits: each address once, in the order of its first
// row, with all its rows in order.
TEST(TextBlocks, GroupRowsByAddressInTheOrderFirstShown) {
  std::mt19937 random(3);
  for (int round = 0; round < 200; ++round) {
    TextEntryTable table;
    const uint32_t kinds = 1 + random() % 600;
    for (size_t n = random() % 900; n > 0; --n) {
      const uint32_t k = random() % kinds;
      table.entries.push_back(TextEntry{0, static_cast<SnesAddress>(0xC00000 + ((k & 7) << 20) + (k >> 3)), 0, 0});
    }
    std::vector<SnesAddress> order;
    std::vector<std::vector<int>> rows;
    for (int row = 0; row < table.count(); ++row) {
      const SnesAddress a = table.entries[static_cast<size_t>(row)].textAddress;
      const auto at = std::find(order.begin(), order.end(), a);
      if (at == order.end()) {
        order.push_back(a);
        rows.push_back({row});
      } else {
        rows[static_cast<size_t>(at - order.begin())].push_back(row);
      }
    }
    const TextBlocks blocks(table);
    ASSERT_EQ(blocks.order, order);
    for (size_t b = 0; b < order.size(); ++b) {
      const std::span<const int> got = blocks.RowsOf(b);
      EXPECT_EQ(std::vector<int>(got.begin(), got.end()), rows[b]);
    }
  }
}

}  // namespace
}  // namespace lettermoor

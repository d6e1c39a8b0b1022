#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "codec/control_code_table.h"
#include "codec/text_decoder.h"
#include "codec/text_dictionary.h"
#include "entries/text_entry_table.h"
#include "rom/rom_image.h"
#include "rom/snes_address.h"
#include "sample/sample_rom.h"
#include "sample/sample_script.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

// One generated sample on disk, opened as the editor opens it, with its dictionary loaded.
class SampleRom : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    shared_ = new Shared;
    shared_->bytes = MakeSampleRom(false, &shared_->layout);
    shared_->file = std::make_unique<test::TempFile>();
    shared_->file->WriteAll(shared_->bytes);
    shared_->rom = test::OpenForTest(shared_->file->Path());
    LoadTextDictionary(*shared_->rom, shared_->dictionary);
  }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }

  struct Shared {
    std::vector<uint8_t> bytes;
    SampleRomLayout layout;
    std::unique_ptr<test::TempFile> file;
    std::unique_ptr<RomFile> rom;
    TextDictionary dictionary;
    DecoderState state;
  };

  const RomFile& Rom() const { return *shared_->rom; }
  const SampleRomLayout& Layout() const { return shared_->layout; }
  TextDecoder Decoder() const { return TextDecoder(shared_->dictionary, shared_->state); }

  TextEntryTable Build(ListingMode mode) const {
    TextEntryTable table;
    TextDecoder decoder = Decoder();
    BuildTextEntries(Rom(), mode, table, decoder);
    return table;
  }

  static Shared* shared_;
};

SampleRom::Shared* SampleRom::shared_ = nullptr;

TEST_F(SampleRom, IsRecognisedAndSizedLikeTheGame) {
  EXPECT_EQ(shared_->bytes.size(), kSampleRomSize);
  EXPECT_EQ(DetectRomType(Rom()), RomType::EarthBound);
  EXPECT_FALSE(IsExpandedRom(Rom()));
  // The generator has no clock and no unseeded randomness.
  EXPECT_EQ(MakeSampleRom(false), shared_->bytes);
}

TEST_F(SampleRom, ExpandedSampleAppendsExactlyTheBlankBlocks) {
  const std::vector<uint8_t> expanded = MakeSampleRom(true);
  ASSERT_EQ(expanded.size(), kSampleExpandedRomSize);
  EXPECT_TRUE(std::equal(shared_->bytes.begin(), shared_->bytes.end(), expanded.begin()));
  for (size_t at = kSampleRomSize; at < expanded.size(); ++at) {
    const bool blockEnd = (at - kSampleRomSize) % 256 == 255;
    ASSERT_EQ(expanded[at], blockEnd ? 0x02 : 0x00) << std::hex << at;
  }

  test::TempFile file;
  file.WriteAll(expanded);
  auto rom = test::OpenForTest(file.Path());
  EXPECT_TRUE(IsExpandedRom(*rom));
  TextEntryTable table;
  TextDecoder decoder = Decoder();
  BuildTextEntries(*rom, ListingMode::ExpandedRomListing, table, decoder);
  EXPECT_EQ(table.count(), 4095);
}

TEST_F(SampleRom, RawListingStepsThroughEveryRangeStringByString) {
  const TextEntryTable table = Build(ListingMode::RawTextListing);
  EXPECT_FALSE(table.truncated);
  EXPECT_GT(table.count(), 2000);
  EXPECT_LT(table.count(), 8000);

  // The lister finds exactly the strings the generator placed, in order.
  std::vector<int64_t> placed;
  for (const auto& range : Layout().stringStarts) placed.insert(placed.end(), range.begin(), range.end());
  ASSERT_EQ(table.count(), static_cast<int32_t>(placed.size()));
  for (int i = 0; i < table.count(); ++i) {
    ASSERT_EQ(SnesToFileOffset(table.entries[static_cast<size_t>(i)].textAddress), placed[static_cast<size_t>(i)])
        << "row " << i;
  }

  // Each range's last string ends on the range's end, short of the next range.
  TextDecoder decoder = Decoder();
  for (size_t r = 0; r < kRawTextRanges.size(); ++r) {
    const auto& starts = Layout().stringStarts[r];
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts.front(), kRawTextRanges[r].start);
    EXPECT_EQ(starts.back() + decoder.Measure(Rom(), starts.back()), kRawTextRanges[r].end) << "range " << r;
  }
}

TEST_F(SampleRom, DictionaryHoldsTheScriptsWordsAndStaysInItsGap) {
  const std::vector<std::string>& words = SampleDictionaryWords();
  ASSERT_EQ(words.size(), 767u);
  EXPECT_EQ(std::set<std::string>(words.begin(), words.end()).size(), words.size());
  for (int slot = 1; slot <= 767; ++slot) {
    const std::string& word = shared_->dictionary.words[static_cast<size_t>(slot)];
    EXPECT_FALSE(word.empty()) << slot;
    EXPECT_LE(word.size(), 24u) << slot;
    EXPECT_EQ(word, words[static_cast<size_t>(slot - 1)]) << slot;
  }
  EXPECT_TRUE(shared_->dictionary.words[0].empty());

  // The words lie between raw ranges 7 and 8 and overlap neither.
  int64_t end = kDictionaryOffset;
  for (int zeros = 0; zeros < 767; ++end) zeros += shared_->bytes[static_cast<size_t>(end)] == 0;
  EXPECT_GE(kDictionaryOffset, kRawTextRanges[6].end);
  EXPECT_LE(end, kRawTextRanges[7].start);

  // Strings refer to words through all three reference bytes.
  EXPECT_GT(Layout().dictionaryReferences, 1000);
  std::set<uint8_t> leads;
  TextDecoder decoder = Decoder();
  for (int64_t start : Layout().stringStarts[0]) {
    const int32_t size = decoder.Measure(Rom(), start);
    for (int64_t at = start; at < start + size; ++at) {
      const uint8_t b = shared_->bytes[static_cast<size_t>(at)];
      if (b >= 0x15 && b <= 0x17) leads.insert(b);
    }
  }
  EXPECT_EQ(leads, (std::set<uint8_t>{0x15, 0x16, 0x17}));
}

TEST_F(SampleRom, PointersAllLeadToPlacedStrings) {
  const TextEntryTable table = Build(ListingMode::PointerTableListing);
  ASSERT_EQ(table.count(), 1406 + 953);

  std::set<int64_t> starts;
  for (const auto& range : Layout().stringStarts) starts.insert(range.begin(), range.end());
  std::set<SnesAddress> recordTexts;
  int spriteZero = 0, movementZero = 0, bothNonZero = 0, spriteTooLarge = 0, shared = 0;
  for (int i = 0; i < table.count(); ++i) {
    const TextEntry& e = table.entries[static_cast<size_t>(i)];
    EXPECT_TRUE(IsInTextWindow(e.textAddress)) << i;
    EXPECT_TRUE(starts.count(SnesToFileOffset(e.textAddress))) << "row " << i;
    if (i < 1406) {
      EXPECT_EQ(e.location, test::SyntheticRom::RecordOffset(i));
      shared += !recordTexts.insert(e.textAddress).second;
      spriteZero += e.sprite == 0;
      movementZero += e.movement == 0;
      bothNonZero += e.sprite != 0 && e.movement != 0;
      spriteTooLarge += e.sprite > 463;
    } else {
      EXPECT_TRUE(e.IsPlainPointer()) << i;
    }
  }
  EXPECT_GT(shared, 100);
  EXPECT_GT(spriteZero, 0);
  EXPECT_GT(movementZero, 0);
  EXPECT_GT(bothNonZero, 1200);
  EXPECT_EQ(spriteTooLarge, 1);
}

TEST_F(SampleRom, StringsUseEveryDescribedCodeAndSomeUndescribedOnes) {
  const TextEntryTable table = Build(ListingMode::RawTextListing);
  TextDecoder decoder = Decoder();
  std::set<std::string> lines;
  for (const TextEntry& e : table.entries) {
    decoder.Decode(Rom(), SnesToFileOffset(e.textAddress), nullptr, DecodeFlags{false, true});
    const std::string& listing = shared_->state.interpreterText;
    for (size_t at = 0; at <= listing.size();) {
      size_t next = listing.find("\r\n", at);
      if (next == std::string::npos) next = listing.size();
      lines.insert(listing.substr(at, next - at));
      at = next + 2;
    }
  }
  for (const ControlCodeEntry& entry : ControlCodeTable()) {
    const std::string fixed(entry.description, std::string_view(entry.description).find('%') == std::string_view::npos
                                                   ? std::string_view(entry.description).size()
                                                   : std::string_view(entry.description).find('%'));
    const bool found = std::any_of(lines.begin(), lines.end(),
                                   [&](const std::string& line) { return line.rfind(fixed, 0) == 0; });
    EXPECT_TRUE(found) << entry.description;
  }
  EXPECT_GT(Layout().undescribedCodes, 100);
  // Undescribed codes list as their bytes, e.g. 07 and FF.
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                          [](const std::string& line) { return line.find("FF ") != std::string::npos; }));
}

}  // namespace
}  // namespace lettermoor

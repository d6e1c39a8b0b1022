#include <filesystem>
#include <gtest/gtest.h>

#include <string>

#include "codec/hex_text.h"
#include "codec/text_decoder.h"
#include "codec/text_encoder.h"
#include "entries/free_space.h"
#include "entries/reference_index.h"
#include "entries/text_entry_table.h"
#include "entries/text_move.h"
#include "rom/rollback_journal.h"
#include "rom/rom_image.h"
#include "support/reference_scenario.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::ScriptText;
using test::SyntheticRom;

constexpr int64_t kOld = test::ReferenceScenario::kText;
constexpr SnesAddress kOldAddress = test::ReferenceScenario::kTextAddress;
constexpr int64_t kGoto = test::ReferenceScenario::kGoto;
constexpr int64_t kOther = test::ReferenceScenario::kOther;
using test::ReferenceScenario;

std::vector<uint8_t> Le32(uint32_t a) { return ReferenceScenario::Le32(a); }
SyntheticRom Scenario() { return ReferenceScenario::Image(); }

uint32_t ReadLe32(const std::vector<uint8_t>& b, int64_t at) {
  const auto i = static_cast<size_t>(at);
  return b[i] | b[i + 1] << 8 | b[i + 2] << 16 | static_cast<uint32_t>(b[i + 3]) << 24;
}

class MoveText : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = Scenario().Save();
    rom_ = test::OpenForTest(file_->Path());
  }

  // Every pointer listing row's address and bracketed text.
  std::vector<std::pair<SnesAddress, std::string>> Rows() {
    rom_->Refresh();
    TextEntryTable table;
    BuildTextEntries(*rom_, ListingMode::PointerTableListing, table, decoder_);
    std::vector<std::pair<SnesAddress, std::string>> rows;
    for (const TextEntry& e : table.entries) {
      std::string text;
      decoder_.Decode(*rom_, SnesToFileOffset(e.textAddress), &text, DecodeFlags{true, false});
      rows.emplace_back(e.textAddress, text);
    }
    return rows;
  }

  TextDictionary dictionary_;
  DecoderState state_;
  TextDecoder decoder_{dictionary_, state_};
  std::unique_ptr<test::TempFile> file_;
  std::unique_ptr<RomFile> rom_;
};

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  std::string out;
  for (uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    AppendHexByte(out, b);
  }
  return out;
}

TEST_F(MoveText, EveryReferenceFollowsTheTextAndNothingElseChanges) {
  const std::vector<std::pair<SnesAddress, std::string>> before = Rows();
  const std::vector<uint8_t> original = file_->ReadAll();
  const std::string text = "A much longer line than the old one[03 02]";

  const MoveResult moved = MoveTextToFreeSpace(*rom_, kOldAddress, TextEncoder(text));
  ASSERT_EQ(moved.outcome, MoveOutcome::Moved);
  EXPECT_EQ(moved.to, 0xF00000);
  EXPECT_EQ(moved.repointed, 4);

  const std::vector<uint8_t> after = file_->ReadAll();
  EXPECT_EQ(ReadLe32(after, SyntheticRom::RecordOffset(0) + 13), 0xF00000u);
  EXPECT_EQ(ReadLe32(after, SyntheticRom::RecordOffset(2) + 13), 0xF00000u);
  EXPECT_EQ(ReadLe32(after, SyntheticRom::PlainPointerOffset(0)), 0xF00000u);
  EXPECT_EQ(ReadLe32(after, kGoto + 3), 0xF00000u);
  // The old string is left exactly as it was.
  EXPECT_TRUE(std::equal(original.begin() + kOld, original.begin() + kOld + 10, after.begin() + kOld));

  // Every row reads as before, but the moved text's rows and the GOTO's four address bytes.
  const std::vector<std::pair<SnesAddress, std::string>> rows = Rows();
  ASSERT_EQ(rows.size(), before.size());
  const std::string oldAddress = HexBytes(Le32(static_cast<uint32_t>(kOldAddress)));
  const std::string newAddress = HexBytes(Le32(0xF00000));
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    if (before[i].first == kOldAddress) {
      EXPECT_EQ(rows[i], std::make_pair(SnesAddress{0xF00000}, text));
    } else if (before[i].first == FileOffsetToSnes(kGoto)) {
      std::string expected = before[i].second;
      expected.replace(expected.find(oldAddress), oldAddress.size(), newAddress);
      EXPECT_EQ(rows[i], std::make_pair(before[i].first, expected));
    } else {
      EXPECT_EQ(rows[i], before[i]);
    }
  }
  // Outside the first block and the sixteen repointed bytes, not one byte moved.
  size_t changed = 0;
  for (size_t i = 0; i < after.size(); ++i) changed += after[i] != original[i] && (i < 0x300200 || i >= 0x300300);
  EXPECT_EQ(changed, 4u * 2);  // 00 FE C5 00 -> 00 00 F0 00 at each of the four references
}

// A failure at any write or sync of the move (text, repoints, the journal) leaves the file as it
// was and says so.
TEST_F(MoveText, AFailedWriteLeavesTheFileByteIdentical) {
  const std::vector<uint8_t> original = file_->ReadAll();
  static int step = 0, failAt = 0;
  for (failAt = 1;; ++failAt) {
    SCOPED_TRACE(failAt);
    step = 0;
    SetIoStepHook([] { return ++step == failAt ? EIO : 0; });
    const MoveResult moved = MoveTextToFreeSpace(*rom_, kOldAddress, TextEncoder("A much longer line than the old one[02]"));
    SetIoStepHook(nullptr);
    if (moved.outcome == MoveOutcome::Moved) break;  // past the last step: nothing failed
    EXPECT_EQ(moved.outcome, MoveOutcome::WriteFailed);
    EXPECT_TRUE(moved.restored);
    EXPECT_EQ(file_->ReadAll(), original);
    EXPECT_FALSE(std::filesystem::exists(rom_->JournalPath()));
  }
  EXPECT_GT(failAt, 8);  // the journal, its syncs, the text, four repoints, the sync, the removal
}

TEST_F(MoveText, RefusesWithoutWriting) {
  const std::vector<uint8_t> original = file_->ReadAll();
  const struct {
    const char* what;
    SnesAddress from;
    std::string text;
    MoveOutcome outcome;
  } cases[] = {
      {"no end code", kOldAddress, "No end", MoveOutcome::NoEndCode},
      {"02 only as a GOTO's argument", kOldAddress, "x[0A 00 00 00 02]", MoveOutcome::NoEndCode},
      {"nothing points there", kOldAddress + 1, "Fine[02]", MoveOutcome::NoReferences},
  };
  for (const auto& c : cases) {
    const MoveResult moved = MoveTextToFreeSpace(*rom_, c.from, TextEncoder(c.text));
    EXPECT_EQ(moved.outcome, c.outcome) << c.what;
    EXPECT_EQ(file_->ReadAll(), original) << c.what;
  }
  // A ROM that has not been expanded has no free space.
  SyntheticRom small = Scenario();
  small.Bytes().resize(0x300200);
  auto smallFile = small.Save();
  auto smallRom = test::OpenForTest(smallFile->Path());
  EXPECT_EQ(MoveTextToFreeSpace(*smallRom, kOldAddress, TextEncoder("Fine[02]")).outcome, MoveOutcome::NotExpanded);
  EXPECT_EQ(smallFile->ReadAll(), small.Bytes());
}

// Free space is read from the file each time and handed out byte for byte: bytes a move took are
// never handed out again, by the same run or by a later one, even where the tail of a long text
// looks like a blank block.
TEST_F(MoveText, FreeSpaceIsNeverHandedOutTwice) {
  // 512 bytes whose second 256 are 255 zeros (NEWLINEs) and the end code: blank to look at.
  std::vector<uint8_t> looksBlank = ScriptText("A");
  looksBlank.resize(511, 0x00);
  looksBlank.push_back(0x02);
  MoveResult first = MoveTextToFreeSpace(*rom_, kOldAddress, looksBlank);
  ASSERT_EQ(first.outcome, MoveOutcome::Moved);
  EXPECT_EQ(first.to, 0xF00000);

  const std::vector<uint8_t> other = TextEncoder("Other, moved[02]");
  MoveResult second = MoveTextToFreeSpace(*rom_, FileOffsetToSnes(kOther), other);
  ASSERT_EQ(second.outcome, MoveOutcome::Moved);
  EXPECT_EQ(second.to, 0xF00200);

  // The program is started again: a fresh open of the file, nothing carried over.
  rom_.reset();
  rom_ = test::OpenForTest(file_->Path());
  const std::vector<uint8_t> again = TextEncoder("Go again[02]");
  MoveResult third = MoveTextToFreeSpace(*rom_, FileOffsetToSnes(kGoto), again);
  ASSERT_EQ(third.outcome, MoveOutcome::Moved);
  EXPECT_EQ(third.to, 0xF00200 + other.size());
  const ReferenceIndex index = ReferenceIndex::Build(*rom_);
  const FreeSpace free = FreeSpace::Of(*rom_, index);
  ASSERT_FALSE(free.Runs().empty());
  EXPECT_EQ(free.Runs().front().from, 0x300400 + static_cast<int64_t>(other.size() + again.size()));
  EXPECT_EQ(free.FreeBytes(), 0x100000 - 512 - static_cast<int64_t>(other.size() + again.size()));
  // No run crosses a 64 KB bank.
  for (const FreeSpace::Run& r : free.Runs()) EXPECT_EQ((r.from - 0x200) >> 16, (r.to - 1 - 0x200) >> 16);
}

TEST_F(MoveText, TheTextsOwnJumpsBackToItselfFollowIt) {
  std::vector<uint8_t> loop = ScriptText("Again");
  loop.push_back(0x0A);
  for (uint8_t b : Le32(static_cast<uint32_t>(kOldAddress))) loop.push_back(b);
  loop.push_back(0x02);
  const MoveResult moved = MoveTextToFreeSpace(*rom_, kOldAddress, loop);
  ASSERT_EQ(moved.outcome, MoveOutcome::Moved);
  EXPECT_EQ(moved.repointed, 4);
  EXPECT_EQ(ReadLe32(file_->ReadAll(), 0x300200 + 6), 0xF00000u);
}

}  // namespace
}  // namespace lettermoor

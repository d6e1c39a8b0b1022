// Imports over texts that share bytes, pass after pass, and into free space byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "codec/text_decoder.h"
#include "codec/text_encoder.h"
#include "entries/free_space.h"
#include "entries/reference_index.h"
#include "entries/text_entry_table.h"
#include "rom/rom_image.h"
#include "sample/sample_rom.h"
#include "script/script_file.h"
#include "script/script_import.h"
#include "script/script_text.h"
#include "support/reference_scenario.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

// One string with a second entry point into its middle: record 0 leads to its start, record 1
// to ", as her mother...", record 2 to a text after it.
constexpr int64_t kOuter = 0x60000;
constexpr int kInnerAt = 16;  // "The lamp was lit" is 16 characters
constexpr SnesAddress kOuterAddress = 0xC5FE00;
constexpr SnesAddress kInnerAddress = kOuterAddress + kInnerAt;
constexpr SnesAddress kAfterAddress = kOuterAddress + 0x100;

test::SyntheticRom SharedImage(bool expanded) {
  test::SyntheticRom image;
  if (expanded) test::BlankExpansion(image);
  std::vector<uint8_t> outer = test::ScriptText("The lamp was lit, as her mother kept it before her.");
  outer.push_back(0x02);
  image.Put(kOuter, outer);
  std::vector<uint8_t> after = test::ScriptText("Afterwards.");
  after.push_back(0x02);
  image.Put(kOuter + 0x100, after);
  image.PointerRecord(0, kOuterAddress, 1, 1);
  image.PointerRecord(1, kInnerAddress, 1, 1);
  image.PointerRecord(2, kAfterAddress, 1, 1);
  return image;
}

// Words added before the text's last bracket group (its end code and the codes before it).
void Lengthen(ScriptBlock& block, const std::string& words) {
  const size_t at = block.text.ends_with("]") ? block.text.rfind('[') : block.text.size();
  block.text.insert(at, words);
}

class ImportFixture : public ::testing::Test {
 protected:
  void Open(const test::SyntheticRom& image) {
    file_ = image.Save();
    Reopen();
  }
  void Reopen() {
    rom_ = test::OpenForTest(file_->Path());
    LoadTextDictionary(*rom_, dictionary_);
  }

  std::vector<ScriptBlock> Exported() {
    TextEntryTable table;
    BuildTextEntries(*rom_, ListingMode::PointerTableListing, table, decoder_);
    const ReferenceIndex index = ReferenceIndex::Build(*rom_);
    ParsedScript parsed =
        ParseScript(*ExportScript(*rom_, table, ListingMode::PointerTableListing, dictionary_, state_, &index, "t"));
    EXPECT_FALSE(parsed.error);
    return parsed.blocks;
  }

  ImportResult Import(const std::vector<ScriptBlock>& blocks) {
    return ImportScript(*rom_, blocks, dictionary_, state_, ImportOptions{});
  }

  // Every pointer listing line's text as the game reads it now.
  std::vector<std::string> Lines() {
    rom_->Refresh();
    TextEntryTable table;
    BuildTextEntries(*rom_, ListingMode::PointerTableListing, table, decoder_);
    std::vector<std::string> lines;
    for (const TextEntry& e : table.entries) {
      lines.push_back(ScriptText(*rom_, SnesToFileOffset(e.textAddress), dictionary_, state_));
    }
    return lines;
  }

  TextDictionary dictionary_;
  DecoderState state_;
  TextDecoder decoder_{dictionary_, state_};
  std::unique_ptr<test::TempFile> file_;
  std::unique_ptr<RomFile> rom_;
};

// Every mix of changed outer and inner text, in both orders of the script's blocks: every line
// reads back as the script says, or (with no free space) the import is refused and the ROM is
// byte-identical.
TEST_F(ImportFixture, TextsThatShareBytesStayApart) {
  const struct {
    const char* outer;  // null: unchanged
    const char* inner;
  } cases[] = {
      {"The lamp was lit, as her mother did.[02]", nullptr},
      {nullptr, ", and the wind took it at once.[02]"},
      {"The lamp was out.[02]", ", as her grandmother kept it.[02]"},
      {"s[02]", ", as her mother kept it before her, every night.[02]"},
  };
  for (bool expanded : {true, false}) {
    for (const auto& c : cases) {
      for (bool innerFirst : {false, true}) {
        SCOPED_TRACE(std::string(expanded ? "expanded" : "unexpanded") + (innerFirst ? ", inner first" : "") +
                     ": " + (c.outer ? c.outer : "-") + " / " + (c.inner ? c.inner : "-"));
        Open(SharedImage(expanded));
        std::vector<ScriptBlock> blocks = Exported();
        ASSERT_EQ(blocks.size(), 3u);
        ASSERT_EQ(blocks[1].address, kInnerAddress);
        if (c.outer) blocks[0].text = c.outer;
        if (c.inner) blocks[1].text = c.inner;
        if (innerFirst) std::swap(blocks[0], blocks[1]);
        const std::vector<uint8_t> before = file_->ReadAll();
        const ImportResult r = Import(blocks);
        if (!expanded) {
          EXPECT_EQ(r.status, ImportStatus::SharedBytes);
          // One of the two refused, naming the other.
          EXPECT_EQ(std::minmax(r.failure.address, r.failure.sharedWith), std::minmax(kOuterAddress, kInnerAddress));
          EXPECT_EQ(file_->ReadAll(), before);
          continue;
        }
        ASSERT_EQ(r.status, ImportStatus::Done) << DescribeImportFailure(r);
        EXPECT_TRUE(r.AllWritten()) << DescribeImport(r, false);
        std::sort(blocks.begin(), blocks.end(),
                  [](const ScriptBlock& a, const ScriptBlock& b) { return a.records < b.records; });
        const std::vector<std::string> lines = Lines();
        ASSERT_EQ(lines.size(), 3u);
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(lines[i], blocks[i].text) << "line " << i + 1;
        // A second pass changes nothing.
        const std::vector<uint8_t> once = file_->ReadAll();
        EXPECT_EQ(Import(blocks).changed.size(), 0u);
        EXPECT_EQ(file_->ReadAll(), once);
      }
    }
  }
}

// Export, import into the ROM, import the same script again: nothing is written the second time;
// then one moved block edited again: exactly that text changes.
TEST_F(ImportFixture, ASecondPassWritesNothingAndAnEditGoesWhereTheTextIs) {
  test::TempDir dir;
  const std::string path = dir.File("s.smc");
  ASSERT_TRUE(SaveSampleRom(path, true));
  rom_ = test::OpenForTest(path);
  LoadTextDictionary(*rom_, dictionary_);
  std::vector<ScriptBlock> blocks = Exported();
  for (size_t i = 0; i < blocks.size(); i += 3) Lengthen(blocks[i], ", and then some more words");
  const ImportResult first = Import(blocks);
  ASSERT_EQ(first.status, ImportStatus::Done);
  ASSERT_GT(first.Count(BlockOutcome::Moved), 100);
  EXPECT_TRUE(first.AllWritten()) << DescribeImport(first, false);
  const std::vector<std::string> afterFirst = Lines();

  const std::vector<uint8_t> once = test::ReadBytesOf(path);
  const ImportResult second = Import(blocks);
  EXPECT_EQ(second.status, ImportStatus::Done);
  EXPECT_TRUE(second.changed.empty()) << DescribeImport(second, false);
  EXPECT_EQ(test::ReadBytesOf(path), once);

  const auto moved = std::find_if(first.changed.begin(), first.changed.end(),
                                  [](const BlockReport& r) { return r.outcome == BlockOutcome::Moved; });
  const auto block = std::find_if(blocks.begin(), blocks.end(),
                                  [&](const ScriptBlock& b) { return b.address == moved->address; });
  block->text = "Edited again.[02]";
  const ImportResult third = Import(blocks);
  ASSERT_EQ(third.changed.size(), 1u) << DescribeImport(third, false);
  EXPECT_EQ(third.changed[0].outcome, BlockOutcome::Written);
  EXPECT_EQ(third.changed[0].now, moved->to);
  const std::vector<std::string> afterThird = Lines();
  ASSERT_EQ(afterThird.size(), afterFirst.size());
  int differing = 0;
  for (size_t i = 0; i < afterThird.size(); ++i) {
    if (afterThird[i] == afterFirst[i]) continue;
    ++differing;
    EXPECT_EQ(afterThird[i], "Edited again.[02]");
  }
  EXPECT_GE(differing, 1);
}

// Every pointer listing text of the expanded sample made longer than its room moves, and the
// free space it takes is within 5% of the texts' own size.
TEST_F(ImportFixture, MovedTextsArePackedByteForByte) {
  test::TempDir dir;
  const std::string path = dir.File("s.smc");
  ASSERT_TRUE(SaveSampleRom(path, true));
  rom_ = test::OpenForTest(path);
  LoadTextDictionary(*rom_, dictionary_);
  const int64_t freeBefore = FreeSpace::Of(*rom_, ReferenceIndex::Build(*rom_)).FreeBytes();
  std::vector<ScriptBlock> blocks = Exported();
  for (ScriptBlock& b : blocks) Lengthen(b, " That is all I have to say about it.");
  ImportOptions options;  // plain bytes: the sizes below are the texts' own
  const ImportResult r = ImportScript(*rom_, blocks, dictionary_, state_, options);
  ASSERT_EQ(r.status, ImportStatus::Done) << DescribeImportFailure(r);
  int64_t movedBytes = 0;
  for (const BlockReport& b : r.changed) {
    if (b.outcome == BlockOutcome::Moved) movedBytes += b.bytes;
  }
  EXPECT_GT(r.Count(BlockOutcome::Moved), 1000);
  EXPECT_EQ(r.Count(BlockOutcome::TooLarge), 0) << DescribeImport(r, false);
  rom_->Refresh();
  const int64_t used = freeBefore - FreeSpace::Of(*rom_, ReferenceIndex::Build(*rom_)).FreeBytes();
  EXPECT_GE(used, movedBytes);
  EXPECT_LE(used, movedBytes + movedBytes / 20) << used << " bytes used for " << movedBytes;
}

}  // namespace
}  // namespace lettermoor

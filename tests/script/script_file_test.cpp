// The script file: its text is lossless, its form is checked line by line, and an import changes
// exactly what the file changed.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>
#include <string>

#include "codec/control_code_table.h"
#include "codec/text_compressor.h"
#include "codec/text_decoder.h"
#include "codec/text_encoder.h"
#include "entries/reference_index.h"
#include "entries/text_entry_table.h"
#include "rom/rom_image.h"
#include "script/script_file.h"
#include "script/script_import.h"
#include "script/script_text.h"
#include "support/reference_scenario.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::ReferenceScenario;
using test::SyntheticRom;

// Dictionary slots 1-4: a plain word, one holding a bracket, one that starts with a blank, and
// one the encoder writes back as other bytes ("{" is a code byte). Slots 0xF1 and 0xF2 (bytes
// 15 F1 and 15 F2) start with "A" and "\"", whose bytes 71 and 52 are sub-codes of code 1F.
std::vector<std::string> Words() {
  std::vector<std::string> words = {"the", "a[b", " of", "x{y"};
  words.resize(0xF0);
  words.insert(words.end(), {"Amble", "\"Quick"});
  return words;
}
const std::vector<std::string> kWords = Words();

class ScriptTextBytes : public ::testing::Test {
 protected:
  // Places each string `spacing` bytes after the one before, from 0x90000 on (past the
  // dictionary); gives their offsets.
  std::vector<int64_t> Place(const std::vector<std::vector<uint8_t>>& strings, int64_t spacing) {
    SyntheticRom image;
    image.Dictionary(kWords);
    std::vector<int64_t> at;
    for (size_t i = 0; i < strings.size(); ++i) {
      at.push_back(0x90000 + static_cast<int64_t>(i) * spacing);
      image.Put(at.back(), strings[i]);
    }
    file_ = image.Save();
    rom_ = test::OpenForTest(file_->Path());
    LoadTextDictionary(*rom_, dictionary_);
    return at;
  }

  std::vector<uint8_t> Bytes(int64_t offset, int32_t size) {
    std::vector<uint8_t> b(static_cast<size_t>(size));
    rom_->Read(offset, b);
    return b;
  }

  // Each string's text passes the script file's checks and encodes back to the string's own
  // bytes; a string with dictionary references, whose words may be spelled out, encodes (plainly
  // and compressed) to bytes that decode to the same text. `spacing` leaves room for the words.
  void ExpectEachComesBack(const std::vector<std::vector<uint8_t>>& strings, int64_t spacing) {
    const std::vector<int64_t> at = Place(strings, spacing);
    const TextCompressor compressor(dictionary_);
    SyntheticRom plain, compressed;
    for (SyntheticRom* image : {&plain, &compressed}) image->Dictionary(kWords);
    std::vector<std::pair<int64_t, std::string>> texts;
    for (size_t i = 0; i < at.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "string " << i);
      int32_t size = 0;
      const std::string text = ScriptText(*rom_, at[i], dictionary_, state_, &size);
      const std::string file = "@ $C00000\n#< " + text + "\n" + text + "\n";
      const ParsedScript parsed = ParseScript(file);
      ASSERT_FALSE(parsed.error) << text << ": " << parsed.error->expected;
      ASSERT_EQ(parsed.blocks.size(), 1u);
      EXPECT_EQ(parsed.blocks[0].text, text);
      const std::vector<uint8_t> own = Bytes(at[i], size);
      const std::vector<uint8_t> back = TextEncoder(text);
      const bool words = std::any_of(own.begin(), own.end(), [](uint8_t b) { return b >= 0x15 && b <= 0x17; });
      if (!words) {
        ASSERT_EQ(back, own) << text;
      } else {
        plain.Put(at[i], back);
        compressed.Put(at[i], compressor.Encode(text));
        texts.emplace_back(at[i], text);
      }
    }
    for (SyntheticRom* image : {&plain, &compressed}) {
      auto copy = image->Save();
      auto rom = test::OpenForTest(copy->Path());
      for (const auto& [offset, text] : texts) ASSERT_EQ(ScriptText(*rom, offset, dictionary_, state_), text);
    }
  }

  TextDictionary dictionary_;
  DecoderState state_;
  std::unique_ptr<test::TempFile> file_;
  std::unique_ptr<RomFile> rom_;
};

// Every byte value at the start, inside and at the end of a string, and random strings of every
// byte.
TEST_F(ScriptTextBytes, EveryByteComesBack) {
  std::vector<std::vector<uint8_t>> strings;
  for (int b = 0; b < 256; ++b) {
    const auto v = static_cast<uint8_t>(b);
    strings.push_back({v, 0x71, 0x50, 0x02});
    strings.push_back({0x71, v, 0x72, 0x02});
    strings.push_back({0x71, 0x50, v, 0x50, 0x50, 0x02});
  }
  std::mt19937 random(16);
  for (int n = 0; n < 600; ++n) {
    std::vector<uint8_t> s(1 + random() % 40);
    // Mostly characters, so that codes, words and brackets meet them in every order.
    for (uint8_t& b : s) b = static_cast<uint8_t>(random() % 3 ? 0x50 + random() % 0x5B : random() % 256);
    s.push_back(0x02);
    strings.push_back(s);
  }
  ExpectEachComesBack(strings, 0x1000);
}

// Every code with every byte after it, then a word in its sub-code position or after its
// arguments; every byte value in every argument position of every described code; and fixed
// cases of words and characters where a code reads its sub-code.
TEST_F(ScriptTextBytes, EveryCodeSubCodeAndArgumentComesBack) {
  std::vector<std::vector<uint8_t>> strings = {
      {0x1F, 0x15, 0xF1, 0x02},        // "Amble" where 1F reads its sub-code: 1F 71 is another code
      {0x1F, 0x15, 0xF2, 0x50, 0x02},  // "\"Quick" there: 1F 52 takes an argument
      {0x1F, 0x16, 0x01, 0x71, 0x02},  // an empty word there
      {0x19, 0x15, 0xF1, 0x02},        // after a menu, which reads any sub-code alike: spelled
      {0x1F, 0x71, 0x15, 0xF1, 0x15, 0xF1, 0x02},  // a word's bytes as arguments, then the word
      {0x18, 0x71, 0x15, 0x01, 0x02},  // a character where 18 reads its sub-code
      {0x1F, 0x15, 0x01, 0x1F, 0x15, 0xF1, 0x02},  // "the" there reads alike: spelled
  };
  // The longest code takes 7 bytes: every code ends before the word 15 F2 and the end code.
  for (int c = 0; c < 256; ++c) {
    for (int s = 0; s < 256; ++s) {
      strings.push_back({static_cast<uint8_t>(c), static_cast<uint8_t>(s), 0xF1, 0x71, 0x71, 0x71, 0x71, 0x71,
                         0x15, 0xF2, 0x02});
    }
  }
  for (const ControlCodeEntry& e : ControlCodeTable()) {
    if (e.subCode == kAnySubCode) continue;
    std::vector<uint8_t> code(1 + e.argumentCount, 0x71);
    code[0] = e.code;
    if (e.subCode >= 0) code[1] = static_cast<uint8_t>(e.subCode);
    for (size_t p = e.subCode >= 0 ? 2 : 1; p < code.size(); ++p) {
      for (int v = 0; v < 256; ++v) {
        std::vector<uint8_t> s = code;
        s[p] = static_cast<uint8_t>(v);
        s.insert(s.end(), {0x15, 0xF1, 0x02});
        strings.push_back(s);
      }
    }
  }
  ExpectEachComesBack(strings, 32);
}

TEST(ScriptParse, FaultsNameTheirLineAndWhatWasExpected) {
  struct Case {
    const char* file;
    int line;
    int column;
    const char* expected;  // a piece of the message
  };
  const Case cases[] = {
      {"# only comments\n\n", 0, 0, nullptr},
      {"@ $C50000 4 bytes\r\n# line 1\r\n#< Hi[02]\r\nHo[02]\r\n", 0, 0, nullptr},
      {"Hello[02]\n", 1, 0, "block header"},
      {"@ C50000\n#< a\nb\n", 1, 0, "\"@ $\""},
      {"@ $C5000G\n#< a\nb\n", 1, 0, "\"@ $\""},
      {"@ $C50000\nHello\n", 2, 0, "original text"},
      {"@ $C50000\n#< a\n\nb\n", 3, 0, "block's text"},
      {"@ $C50000\n#< a\n#< b\nc\n", 3, 0, "second original"},
      {"@ $C50000\n#< a\n@ $C50010\n", 3, 0, "[70]"},
      {"@ $C50000\n#< a\n", 3, 0, "last block's text"},
      {"@ $C50000\n#< a\nb\n@ $C50000\n#< a\nb\n", 4, 0, "line 1 already"},
      {"@ $C50000\n#< a\nHi[03 00\n", 3, 3, "close this \"[\""},
      {"@ $C50000\n#< a\nHi]x[02]\n", 3, 3, "closes no"},
      {"@ $C50000\n#< a\nHi[03 0G]\n", 3, 7, "\"0G\""},
      {"@ $C50000\n#< a\nHi[123]\n", 3, 4, "\"123\""},
      {"@ $C50000\n#< a\nH\xC3\xA9[02]\n", 3, 2, "U+00E9"},
      {"@ $C50000\n#< a\nH\ti[02]\n", 3, 2, "a tab"},
      {"@ $C50000\n#< a[\nb\n", 2, 5, "in the original text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const ParsedScript parsed = ParseScript(c.file);
    if (!c.expected) {
      EXPECT_FALSE(parsed.error) << parsed.error->expected;
      continue;
    }
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, c.line);
    EXPECT_EQ(parsed.error->column, c.column);
    EXPECT_NE(parsed.error->expected.find(c.expected), std::string::npos) << parsed.error->expected;
  }
}

// The export notes in a block's comment line another entry point that shares its bytes: another
// block's text inside it or around it, or an address that a reference from outside the string
// leads to inside it; a jump of the string into itself is none. The line's records read back.
TEST(ScriptExport, TheCommentLineNotesSharedBytes) {
  using B = test::SharedBytesScenario;
  const auto jump = [](const char* before, uint32_t to, const char* after) {
    std::vector<uint8_t> bytes = test::ScriptText(before);
    bytes.push_back(0x0A);
    for (uint8_t b : ReferenceScenario::Le32(to)) bytes.push_back(b);
    for (uint8_t b : test::ScriptText(after)) bytes.push_back(b);
    bytes.push_back(0x02);
    return bytes;
  };
  const struct {
    const char* what;
    std::function<void(SyntheticRom&)> change;
    std::map<SnesAddress, std::string> notes;  // each block's note ("" for none)
  } cases[] = {
      {"a second record into the middle", [](SyntheticRom&) {},
       {{B::kOuterAddress, "; shares bytes with $C5FE06"}, {B::kInnerAddress, "; shares bytes with $C5FE00"},
        {B::kOtherAddress, ""}}},
      {"a jump from another string into the middle",
       [&](SyntheticRom& image) {
         image.PointerRecord(1, 0, 0, 0);
         image.Put(B::kOther, jump("Ot", B::kInnerAddress, ""));
       },
       {{B::kOuterAddress, "; shares bytes with $C5FE06"}, {B::kOtherAddress, ""}}},
      {"a jump of the string into itself",
       [&](SyntheticRom& image) {
         image.PointerRecord(1, 0, 0, 0);
         image.Put(B::kOuter, jump("Hello", B::kOuterAddress + 2, "there"));
       },
       {{B::kOuterAddress, ""}, {B::kOtherAddress, ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SyntheticRom image = B::Image();
    c.change(image);
    const auto file = image.Save();
    const auto rom = test::OpenForTest(file->Path());
    TextDictionary dictionary;
    DecoderState state;
    TextDecoder decoder(dictionary, state);
    LoadTextDictionary(*rom, dictionary);
    TextEntryTable table;
    BuildTextEntries(*rom, ListingMode::PointerTableListing, table, decoder);
    const ReferenceIndex index = ReferenceIndex::Build(*rom);
    const std::string script =
        *ExportScript(*rom, table, ListingMode::PointerTableListing, dictionary, state, &index, "t.smc");
    std::map<SnesAddress, std::string> notes;
    std::istringstream in(script);
    SnesAddress block = 0;
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("@ $")) block = static_cast<SnesAddress>(std::stoul(line.substr(3, 6), nullptr, 16));
      if (!line.starts_with("# line")) continue;
      const size_t note = line.find("; shares");
      notes[block] = note == std::string::npos ? "" : line.substr(note);
    }
    EXPECT_EQ(notes, c.notes) << script;
    const ParsedScript parsed = ParseScript(script);
    ASSERT_FALSE(parsed.error);
    EXPECT_EQ(parsed.blocks[0].records, (std::vector<int>{0, 3}));
    EXPECT_TRUE(parsed.blocks[0].plainPointers.empty());
  }
}

// An import over the reference scenario: its texts exported, some changed, written back.
class ScriptImport : public ::testing::Test {
 protected:
  void Open(bool expanded) {
    file_ = ReferenceScenario::Image(expanded).Save();
    rom_ = test::OpenForTest(file_->Path());
    LoadTextDictionary(*rom_, dictionary_);
  }

  // The pointer listing's script, every block's text replaced where `texts` has one.
  std::vector<ScriptBlock> Edited(const std::map<SnesAddress, std::string>& texts) {
    TextEntryTable table;
    BuildTextEntries(*rom_, ListingMode::PointerTableListing, table, decoder_);
    const ReferenceIndex index = ReferenceIndex::Build(*rom_);
    const std::string script =
        *ExportScript(*rom_, table, ListingMode::PointerTableListing, dictionary_, state_, &index, "test.smc");
    ParsedScript parsed = ParseScript(script);
    EXPECT_FALSE(parsed.error);
    for (ScriptBlock& b : parsed.blocks) {
      if (auto it = texts.find(b.address); it != texts.end()) b.text = it->second;
    }
    return parsed.blocks;
  }

  ImportResult Import(const std::vector<ScriptBlock>& blocks, bool relocate = true) {
    ImportOptions options;
    options.relocate = relocate;
    return ImportScript(*rom_, blocks, dictionary_, state_, options);
  }

  std::string TextAt(SnesAddress address) {
    rom_->Refresh();
    return ScriptText(*rom_, SnesToFileOffset(address), dictionary_, state_);
  }

  static constexpr SnesAddress kText = ReferenceScenario::kTextAddress;
  static constexpr SnesAddress kGo = kText + 0x100;
  static constexpr SnesAddress kOther = kText + 0x200;
  TextDictionary dictionary_;
  DecoderState state_;
  TextDecoder decoder_{dictionary_, state_};
  std::unique_ptr<test::TempFile> file_;
  std::unique_ptr<RomFile> rom_;
};

TEST_F(ScriptImport, UnchangedWritesNothingAndEditsGoInPlace) {
  Open(false);
  const std::vector<uint8_t> before = file_->ReadAll();
  ImportResult r = Import(Edited({}));
  EXPECT_EQ(r.status, ImportStatus::Done);
  EXPECT_EQ(r.blocks, 3);
  EXPECT_EQ(r.unchanged, 3);
  EXPECT_TRUE(r.changes.empty());
  EXPECT_EQ(file_->ReadAll(), before);

  // "[02 ]" encodes alike: not a change. A shorter text goes in place; a longer one cannot move.
  r = Import(Edited({{kOther, "Other[02 ]"}, {kText, "Short[02]"}, {kGo, "Go much further than before[02]"}}));
  ASSERT_EQ(r.changed.size(), 2u);
  EXPECT_EQ(r.unchanged, 1);
  EXPECT_EQ(r.changed[0].outcome, BlockOutcome::Written);
  EXPECT_EQ(r.changed[1].outcome, BlockOutcome::TooLarge);
  EXPECT_EQ(r.changed[1].notMoved, NotMovedReason::NotExpanded);
  EXPECT_FALSE(r.AllWritten());
  EXPECT_EQ(TextAt(kText), "Short[02]");
  EXPECT_EQ(TextAt(kGo), "Go[0A 00 FE C5 00 02]");
  EXPECT_NE(DescribeImport(r, false).find("too large by 20 bytes (28 for 8)"), std::string::npos)
      << DescribeImport(r, false);

  // The same file again: the text is there already, the other is stale no more than before.
  r = Import(Edited({{kText, "Short[02]"}}));
  EXPECT_TRUE(r.changed.empty());
}

TEST_F(ScriptImport, StaleBlocksAreLeft) {
  Open(false);
  std::vector<ScriptBlock> blocks = Edited({{kText, "Brief[02]"}, {kOther, "Otter[02]"}});
  // Another program changes the first text after the export.
  ASSERT_TRUE(rom_->Write(ReferenceScenario::kText, test::ScriptText("Shirt")).Ok());
  const ImportResult r = Import(blocks);
  ASSERT_EQ(r.changed.size(), 2u);
  EXPECT_EQ(r.changed[0].outcome, BlockOutcome::Stale);
  EXPECT_EQ(r.changed[1].outcome, BlockOutcome::Written);
  EXPECT_EQ(TextAt(kText), "Shirt one[02]");
  EXPECT_EQ(TextAt(kOther), "Otter[02]");
}

// A move repoints every reference once, with one index: the records, the plain pointer, and a
// jump to it in a string that is itself rewritten (in place, then moved), whose new bytes are
// what gets repointed.
TEST_F(ScriptImport, MovesRepointEveryReferenceIncludingRewrittenJumps) {
  struct Case {
    const char* goText;     // the new text of the GOTO's string; null leaves it
    BlockOutcome goOutcome;
  };
  const Case cases[] = {
      {nullptr, BlockOutcome::Written},
      {"Gx[0A 00 FE C5 00 02]", BlockOutcome::Written},
      {"Go on and on, further[0A 00 FE C5 00 02]", BlockOutcome::Moved},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.goText ? c.goText : "(left)");
    Open(true);
    std::map<SnesAddress, std::string> texts = {{kText, "A text much longer than the old one[02]"}};
    if (c.goText) texts[kGo] = c.goText;
    const ImportResult r = Import(Edited(texts));
    ASSERT_EQ(r.status, ImportStatus::Done);
    ASSERT_EQ(r.changed.size(), c.goText ? 2u : 1u);
    const BlockReport& moved = r.changed[0];
    ASSERT_EQ(moved.outcome, BlockOutcome::Moved) << DescribeImport(r, false);
    EXPECT_EQ(moved.to, 0xF00000);
    EXPECT_EQ(moved.repointed, c.goText ? 3 : 4);  // a rewritten string's jump is in its new bytes
    TextEntryTable table;
    BuildTextEntries(*rom_, ListingMode::PointerTableListing, table, decoder_);
    ASSERT_EQ(table.count(), 5);
    for (int row : {0, 2, 4}) EXPECT_EQ(table.entries[static_cast<size_t>(row)].textAddress, 0xF00000);
    const std::string go = TextAt(table.entries[1].textAddress);
    EXPECT_NE(go.find("[0A 00 00 F0 00 02]"), std::string::npos) << go;
    if (c.goText) {
      EXPECT_EQ(r.changed[1].outcome, c.goOutcome);
      EXPECT_EQ(go.substr(0, 2), std::string(c.goText).substr(0, 2));
    }
    EXPECT_EQ(TextAt(0xF00000), "A text much longer than the old one[02]");
    // Without moving: left, and said why.
    const ImportResult again = Import(Edited({{kOther, "Other, now longer than it was[02]"}}), false);
    ASSERT_EQ(again.changed.size(), 1u);
    EXPECT_EQ(again.changed[0].outcome, BlockOutcome::TooLarge);
    EXPECT_EQ(again.changed[0].notMoved, NotMovedReason::RelocateOff);
  }
}

// An older script edited again after its text was moved: the block is found where its records
// lead now, so the edit goes where the game reads it, never into the old copy; importing it once
// more writes nothing.
TEST_F(ScriptImport, ATextMovedSinceTheExportIsFoundWhereItsRecordsLead) {
  Open(true);
  const std::vector<ScriptBlock> older = Edited({});
  ASSERT_FALSE(older[0].records.empty());
  std::vector<ScriptBlock> first = older;
  first[0].text = "A text much longer than the old one[02]";
  ASSERT_EQ(Import(first).changed.at(0).outcome, BlockOutcome::Moved);
  const std::vector<uint8_t> before = file_->ReadAll();
  EXPECT_EQ(Import(first).changed.size(), 0u) << "a second pass of the same script wrote something";
  EXPECT_EQ(file_->ReadAll(), before);

  std::vector<ScriptBlock> again = older;
  again[0].text = "Short[02]";
  const ImportResult r = Import(again);
  ASSERT_EQ(r.changed.size(), 1u);
  EXPECT_EQ(r.changed[0].outcome, BlockOutcome::Written);
  EXPECT_EQ(r.changed[0].now, 0xF00000);
  EXPECT_EQ(TextAt(0xF00000), "Short[02]");
  EXPECT_EQ(TextAt(kText), older[0].original) << "the old copy was written";
  EXPECT_EQ(Import(again).changed.size(), 0u);
}

// An import refused as a whole names the block that refused it and its numbers, as values;
// nothing is written.
TEST_F(ScriptImport, ARefusalCarriesItsBlockAndNumbers) {
  struct Case {
    const char* name;
    std::string text;         // the first block's new text
    bool elsewhere = false;   // the first block's address moved one byte on, its records dropped
    bool readOnly = false;
    ImportStatus status;
    WriteStatus writeStatus = WriteStatus::Written;
    int64_t characters = 0;   // TextTooLong
    int64_t bytes = 0;
  };
  const std::string accents = [] {
    std::string s;
    for (int i = 0; i < 2001; ++i) s += "\xC3\xA9";
    return s;
  }();
  const Case cases[] = {
      {"too many characters", std::string(4001, 'a') + "[02]", false, false, ImportStatus::TextTooLong,
       WriteStatus::Written, 4005, 4002},
      {"too many bytes", accents, false, false, ImportStatus::TextTooLong, WriteStatus::Written, 2001, 4002},
      {"no text starts there", "Short[02]", true, false, ImportStatus::BadAddress},
      {"read-only", "Short[02]", false, true, ImportStatus::WriteFailed, WriteStatus::ReadOnly},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Open(false);
    std::vector<ScriptBlock> blocks = Edited({{kText, c.text}});
    ScriptBlock& block = blocks.at(0);
    ASSERT_EQ(block.address, kText);
    ImportFailure expected;
    if (c.status == ImportStatus::TextTooLong) {
      expected = {.line = block.textLine, .characters = c.characters, .bytes = c.bytes};
    }
    if (c.elsewhere) {
      block.address = kText + 1;
      block.records.clear();
      block.plainPointers.clear();
      expected = {.line = block.headerLine, .address = kText + 1};
    }
    if (c.readOnly) rom_ = RomFile::Open(file_->Path(), RomAccess::ReadOnly);
    ASSERT_TRUE(rom_);
    const std::vector<uint8_t> before = file_->ReadAll();
    const ImportResult r = Import(blocks);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.writeStatus, c.writeStatus);
    EXPECT_EQ(r.failure, expected);
    EXPECT_TRUE(r.changed.empty());
    EXPECT_FALSE(DescribeImportFailure(r).empty());
    EXPECT_EQ(file_->ReadAll(), before);
  }
}

TEST_F(ScriptImport, DryRunAndBadAddressWriteNothing) {
  Open(true);
  const std::vector<uint8_t> before = file_->ReadAll();
  std::vector<ScriptBlock> blocks = Edited({{kText, "A text much longer than the old one[02]"}});
  ImportOptions options;
  options.dryRun = true;
  ImportResult r = ImportScript(*rom_, blocks, dictionary_, state_, options);
  ASSERT_EQ(r.changed.size(), 1u);
  EXPECT_EQ(r.changed[0].outcome, BlockOutcome::Moved);
  EXPECT_EQ(file_->ReadAll(), before);
  EXPECT_NE(DescribeImport(r, true).find("would move to $F00000, 4 references"), std::string::npos);

  blocks.push_back(ScriptBlock{0x7FFFFFFF, 40, -1, {}, {}, "a", 42, "b"});
  r = Import(blocks);
  EXPECT_EQ(r.status, ImportStatus::BadAddress);
  EXPECT_EQ(r.failure.line, 40);
  EXPECT_EQ(r.failure.address, 0x7FFFFFFF);
  EXPECT_EQ(file_->ReadAll(), before);
}

// Every changed block carries its text's warnings against its original, and the report gives
// them under the block's line. They never stop a write; with `strict` any of them refuses the
// whole import, naming the blocks that have them.
TEST_F(ScriptImport, WarningsAreReportedAndStrictMakesThemRefusals) {
  using K = TextWarningKind;
  const struct {
    const char* what;
    std::map<SnesAddress, std::string> texts;
    std::map<SnesAddress, std::vector<K>> warnings;  // of every changed block
  } cases[] = {
      {"none", {{kText, "Short[02]"}}, {{kText, {}}}},
      {"no end code", {{kText, "Shirt"}}, {{kText, {K::EndCodeMissing}}}},
      {"end code before the end", {{kText, "Sh[02]ort[02]"}}, {{kText, {K::EndCodeNotLast}}}},
      {"a code dropped", {{kGo, "Go[02]"}}, {{kGo, {K::CodesDiffer}}}},
      {"a code added, no end code", {{kOther, "O[0A 00 FE C5 00]"}}, {{kOther, {K::EndCodeMissing, K::CodesDiffer}}}},
      {"one of two", {{kText, "Short[02]"}, {kOther, "Oth"}}, {{kText, {}}, {kOther, {K::EndCodeMissing}}}},
  };
  for (const auto& c : cases) {
    for (bool strict : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (strict ? ", strict" : ""));
      Open(false);
      const std::vector<uint8_t> before = file_->ReadAll();
      ImportOptions options;
      options.strict = strict;
      const ImportResult r = ImportScript(*rom_, Edited(c.texts), dictionary_, state_, options);
      const bool warned =
          std::any_of(c.warnings.begin(), c.warnings.end(), [](const auto& w) { return !w.second.empty(); });
      const std::string report = DescribeImport(r, false);
      // Each block's line, then one line per warning.
      const std::vector<std::string> lines = [&] {
        std::vector<std::string> out;
        std::istringstream in(report);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
      }();
      size_t at = 0;
      for (const BlockReport& b : r.changed) {
        ASSERT_LT(at, lines.size());
        EXPECT_TRUE(lines[at].starts_with("$")) << lines[at];
        EXPECT_NE(lines[at].find("(line " + std::to_string(b.line) + ")"), std::string::npos) << lines[at];
        for (size_t w = 1; w <= b.warnings.size(); ++w) {
          ASSERT_LT(at + w, lines.size());
          EXPECT_TRUE(lines[at + w].starts_with("    warning: ")) << lines[at + w];
        }
        at += 1 + b.warnings.size();
      }
      EXPECT_EQ(at + 1, lines.size()) << report;  // and the summary
      if (strict && warned) {
        EXPECT_EQ(r.status, ImportStatus::Warned);
        EXPECT_TRUE(r.changes.empty());
        EXPECT_EQ(file_->ReadAll(), before);
        // Only the blocks with warnings are named.
        std::map<SnesAddress, std::vector<K>> named;
        for (const BlockReport& b : r.changed) {
          for (const TextWarning& w : b.warnings) named[b.address].push_back(w.kind);
          EXPECT_FALSE(b.warnings.empty()) << std::hex << b.address;
        }
        for (const auto& [address, kinds] : c.warnings) {
          if (!kinds.empty()) { EXPECT_EQ(named[address], kinds) << std::hex << address; }
        }
        continue;
      }
      EXPECT_EQ(r.status, ImportStatus::Done);
      ASSERT_EQ(r.changed.size(), c.warnings.size());
      for (const BlockReport& b : r.changed) {
        EXPECT_EQ(b.outcome, BlockOutcome::Written) << std::hex << b.address;
        std::vector<K> kinds;
        for (const TextWarning& w : b.warnings) kinds.push_back(w.kind);
        EXPECT_EQ(kinds, c.warnings.at(b.address)) << std::hex << b.address;
      }
      EXPECT_NE(file_->ReadAll(), before);
    }
  }
}

// Export then import of every listing of a generated ROM changes no byte; a second export is the
// same file.
TEST_F(ScriptImport, RoundTripOfEveryListing) {
  Open(true);
  const std::vector<uint8_t> before = file_->ReadAll();
  const ReferenceIndex index = ReferenceIndex::Build(*rom_);
  for (ListingMode mode : {ListingMode::PointerTableListing, ListingMode::RawTextListing,
                           ListingMode::ExpandedRomListing}) {
    SCOPED_TRACE(ScriptListingName(mode));
    TextEntryTable table;
    BuildTextEntries(*rom_, mode, table, decoder_);
    const std::string first = *ExportScript(*rom_, table, mode, dictionary_, state_, &index, "t.smc");
    const ParsedScript parsed = ParseScript(first);
    ASSERT_FALSE(parsed.error) << parsed.error->line << ": " << parsed.error->expected;
    const ImportResult r = Import(parsed.blocks);
    EXPECT_EQ(r.unchanged, r.blocks);
    EXPECT_EQ(file_->ReadAll(), before);
    EXPECT_EQ(*ExportScript(*rom_, table, mode, dictionary_, state_, &index, "t.smc"), first);
  }
}

}  // namespace
}  // namespace lettermoor

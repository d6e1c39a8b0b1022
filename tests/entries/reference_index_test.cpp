#include <gtest/gtest.h>

#include <algorithm>

#include "codec/jump_codes.h"
#include "codec/text_decoder.h"
#include "entries/free_space.h"
#include "entries/reference_index.h"
#include "entries/text_entry_table.h"
#include "rom/rom_image.h"
#include "sample/sample_rom.h"
#include "support/reference_scenario.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::ScriptText;
using test::SyntheticRom;

std::vector<uint8_t> Le32(uint32_t a) {
  return {static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a >> 16),
          static_cast<uint8_t>(a >> 24)};
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

constexpr int64_t kTarget = 0x60000;  // inside raw range 2's span of the text window
constexpr SnesAddress kTargetAddress = 0xC5FE00;
static_assert(SnesToFileOffset(kTargetAddress) == kTarget);

ReferenceIndex IndexOf(const SyntheticRom& image, std::unique_ptr<test::TempFile>& file) {
  file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  return ReferenceIndex::Build(*rom);
}

// Which byte sequences count as a jump to the target, each placed as the string a record leads to.
TEST(ReferenceIndex, OnlyCodesTheTableDescribesCountAsJumps) {
  const uint32_t t = static_cast<uint32_t>(kTargetAddress);
  struct Case {
    const char* what;
    std::vector<uint8_t> string;
    int jumps;             // jump codes to the target the index finds
    int64_t codeAt;        // where the first one's code byte is, relative to the string
    int64_t addressAt;     // where its address bytes are
  };
  const Case cases[] = {
      {"GOTO", Cat({ScriptText("Go"), {0x0A}, Le32(t), {0x02}}), 1, 2, 3},
      {"BRANCH TO", Cat({{0x08}, Le32(t), {0x02}}), 1, 0, 1},
      {"IF FLAG SET GOTO", Cat({{0x06, 0x34, 0x12}, Le32(t), {0x02}}), 1, 0, 3},
      {"IF TRUE GOTO", Cat({{0x1B, 0x03}, Le32(t), {0x02}}), 1, 0, 2},
      {"two jumps", Cat({{0x0A}, Le32(t), {0x08}, Le32(t), {0x02}}), 2, 0, 1},
      {"1B with an undescribed sub-code", Cat({{0x1B, 0x05}, Le32(t), {0x02}}), 0, 0, 0},
      {"0A as a dictionary reference's second byte", Cat({{0x15, 0x0A}, Le32(t), {0x02}}), 0, 0, 0},
      {"0A as an argument of SET FLAG", Cat({{0x04, 0x0A, 0x00}, Le32(t), {0x02}}), 0, 0, 0},
      {"after the end code", Cat({{0x02, 0x0A}, Le32(t), {0x02}}), 0, 0, 0},
      {"an address held in plain text bytes", Cat({ScriptText("x"), Le32(t), {0x02}}), 0, 0, 0},
  };
  constexpr int64_t kAt = 0x200000;  // outside every raw range: only the record leads here
  for (const Case& c : cases) {
    SyntheticRom image;
    image.Put(kTarget, Cat({ScriptText("Target"), {0x02}}));
    image.Put(kAt, c.string);
    image.PointerRecord(5, FileOffsetToSnes(static_cast<int32_t>(kAt)), 1, 1);
    std::unique_ptr<test::TempFile> file;
    const ReferenceIndex index = IndexOf(image, file);
    std::vector<Reference> jumps;
    for (const Reference& r : index.To(kTargetAddress)) {
      if (r.kind == ReferenceKind::JumpCode) jumps.push_back(r);
    }
    ASSERT_EQ(static_cast<int>(jumps.size()), c.jumps) << c.what;
    if (c.jumps == 0) continue;
    EXPECT_EQ(jumps[0].offset, kAt + c.codeAt) << c.what;
    EXPECT_EQ(jumps[0].addressOffset, kAt + c.addressAt) << c.what;
    EXPECT_EQ(jumps[0].stringOffset, kAt) << c.what;
    EXPECT_EQ(jumps[0].listing, ListingMode::PointerTableListing) << c.what;
    EXPECT_EQ(jumps[0].line, 1) << c.what;
  }
}

TEST(ReferenceIndex, FindsRecordsPlainPointersAndJumpsFromEveryListing) {
  SyntheticRom image;
  test::BlankExpansion(image);
  image.Put(kTarget, Cat({ScriptText("Target"), {0x02}}));
  image.PointerRecord(3, kTargetAddress, 1, 1);
  image.PointerRecord(9, kTargetAddress, 2, 2);
  image.PlainPointer(7, kTargetAddress);
  // A GOTO in a raw range string that no pointer leads to.
  const int64_t raw = kRawTextRanges[2].start;
  image.Put(raw - 1, {0x02});  // ends the string before it, which would otherwise run on into it
  image.Put(raw, Cat({{0x0A}, Le32(static_cast<uint32_t>(kTargetAddress)), {0x02}}));
  // A BRANCH TO in the expansion area's second block.
  const int64_t expanded = 0x300300;
  image.Put(expanded, Cat({{0x08}, Le32(static_cast<uint32_t>(kTargetAddress)), {0x02}}));
  std::unique_ptr<test::TempFile> file;
  const ReferenceIndex index = IndexOf(image, file);
  const std::span<const Reference> refs = index.To(kTargetAddress);
  ASSERT_EQ(refs.size(), 5u);
  struct Want {
    ReferenceKind kind;
    int64_t offset;
    int64_t addressOffset;
    int32_t number;
    ListingMode listing;
    int32_t line;
  };
  int32_t rawLine = 0;
  {
    TextEntryTable raw;
    TextDictionary dictionary;
    DecoderState state;
    TextDecoder decoder(dictionary, state);
    auto rom = test::OpenForTest(file->Path());
    BuildTextEntries(*rom, ListingMode::RawTextListing, raw, decoder);
    for (int i = 0; i < raw.count(); ++i) {
      if (SnesToFileOffset(raw.entries[static_cast<size_t>(i)].textAddress) == kRawTextRanges[2].start) rawLine = i + 1;
    }
  }
  ASSERT_GT(rawLine, 0);
  const Want want[] = {
      {ReferenceKind::PointerRecord, SyntheticRom::RecordOffset(3), SyntheticRom::RecordOffset(3) + 13, 3,
       ListingMode::PointerTableListing, 0},
      {ReferenceKind::PointerRecord, SyntheticRom::RecordOffset(9), SyntheticRom::RecordOffset(9) + 13, 9,
       ListingMode::PointerTableListing, 0},
      {ReferenceKind::PlainPointer, SyntheticRom::PlainPointerOffset(7), SyntheticRom::PlainPointerOffset(7), 7,
       ListingMode::PointerTableListing, 0},
      {ReferenceKind::JumpCode, raw, raw + 1, -1, ListingMode::RawTextListing, rawLine},
      {ReferenceKind::JumpCode, expanded, expanded + 1, -1, ListingMode::ExpandedRomListing, 2},
  };
  for (size_t i = 0; i < refs.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(refs[i].kind, want[i].kind);
    EXPECT_EQ(refs[i].offset, want[i].offset);
    EXPECT_EQ(refs[i].addressOffset, want[i].addressOffset);
    EXPECT_EQ(refs[i].number, want[i].number);
    if (want[i].kind == ReferenceKind::JumpCode) {
      EXPECT_EQ(refs[i].listing, want[i].listing);
      EXPECT_EQ(refs[i].line, want[i].line);
    }
  }
  EXPECT_EQ(DescribeReference(refs[0]), "Pointer record 3");
  EXPECT_EQ(DescribeReference(refs[2]), "Plain pointer 7");
  EXPECT_EQ(DescribeReference(refs[4]), "BRANCH TO in the string at $F00100");
  EXPECT_TRUE(index.AnyTargetIn(kTargetAddress, kTargetAddress));
  EXPECT_FALSE(index.AnyTargetIn(kTargetAddress + 1, 0xC5FFFF));
}

// The walk that finds jump codes must step through a string exactly as the decoder does, or it
// would read codes out of the middle of other items.
TEST(ReferenceIndex, TheWalkCountsEveryStringOfTheSampleAsTheDecoderDoes) {
  const std::vector<uint8_t> bytes = MakeSampleRom(true);
  test::TempFile file;
  file.WriteAll(bytes);
  auto rom = test::OpenForTest(file.Path());
  TextDictionary dictionary;
  LoadTextDictionary(*rom, dictionary);
  DecoderState state;
  TextDecoder decoder(dictionary, state);
  for (ListingMode mode : {ListingMode::PointerTableListing, ListingMode::RawTextListing}) {
    TextEntryTable table;
    BuildTextEntries(*rom, mode, table, decoder);
    for (const TextEntry& e : table.entries) {
      const int64_t at = SnesToFileOffset(e.textAddress);
      ASSERT_EQ(ScanJumpCodes(*rom, at, [](const JumpCodeAt&) {}), decoder.Measure(*rom, at)) << std::hex << at;
    }
  }
}

TEST(ReferenceIndex, JumpCodesAgreeWithTheCodeTable) {
  for (const JumpCodeKind& k : kJumpCodes) {
    const ControlCodeEntry* e = LookupControlCode(k.code, k.subCode < 0 ? 0 : static_cast<uint8_t>(k.subCode));
    ASSERT_NE(e, nullptr) << k.name;
    // The address is the last four arguments, printed highest byte first.
    EXPECT_EQ(e->argumentCount, k.addressArgument + 3) << k.name;
    ASSERT_GE(e->fillCount, 4) << k.name;
    const uint8_t* last4 = e->fill.data() + e->fillCount - 4;
    EXPECT_EQ(last4[3], k.addressArgument) << k.name;
    EXPECT_EQ(last4[0], k.addressArgument + 3) << k.name;
  }
}

TEST(ReferenceIndex, EndsWithEndCode) {
  const struct {
    std::vector<uint8_t> bytes;
    bool ends;
  } cases[] = {
      {{0x78, 0x02}, true},
      {{0x02}, true},
      {{0x78, 0x02, 0x79, 0x02}, true},
      {{}, false},
      {{0x78}, false},
      {{0x0A, 0x00, 0x00, 0x00, 0x02}, false},  // the 02 is the GOTO's last address byte
      {{0x15, 0x02}, false},                    // a dictionary word's second byte
      {{0x04, 0x01, 0x02}, false},              // SET FLAG's argument
      {{0x19, 0x02}, true},                     // MENU takes no argument: the 02 ends the string
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EndsWithEndCode(c.bytes), c.ends) << testing::PrintToString(c.bytes);
  }
}

}  // namespace
}  // namespace lettermoor

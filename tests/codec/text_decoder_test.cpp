#include <gtest/gtest.h>

#include <cstring>

#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/text_decoder.h"
#include "rom/rom_image.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::SyntheticRom;

constexpr int64_t kAt = 0x100;

// Decodes byte strings placed in a small synthetic file, with one shared dictionary and state,
// as the running editor has them.
class Decoding : public ::testing::Test {
 protected:
  struct Result {
    std::string text;
    int32_t size;
    std::string listing;
  };

  Result Decode(const std::vector<uint8_t>& bytes, DecodeFlags flags = {true, true},
                size_t fileSize = 0x1000) {
    SyntheticRom image(fileSize, "");
    image.Put(kAt, bytes);
    image.Bytes().resize(std::max(fileSize, kAt + bytes.size()));
    file_ = image.Save();
    rom_ = test::OpenForTest(file_->Path());
    Result r;
    r.size = decoder_.Decode(*rom_, kAt, &r.text, flags);
    r.listing = state_.interpreterText;
    return r;
  }

  TextDictionary dictionary_;
  DecoderState state_;
  TextDecoder decoder_{dictionary_, state_};
  std::unique_ptr<test::TempFile> file_;
  std::unique_ptr<RomFile> rom_;
};

TEST(ByteClasses, SplitTheByteRange) {
  EXPECT_EQ(ClassifyByte(0x50), ByteClass::Printable);
  EXPECT_EQ(ClassifyByte(0xAA), ByteClass::Printable);
  EXPECT_EQ(ClassifyByte(0x15), ByteClass::DictionaryReference);
  EXPECT_EQ(ClassifyByte(0x17), ByteClass::DictionaryReference);
  for (int b : {0x00, 0x14, 0x18, 0x4F, 0xAB, 0xFF}) {
    EXPECT_EQ(ClassifyByte(static_cast<uint8_t>(b)), ByteClass::ControlCode) << b;
  }
}

TEST_F(Decoding, HelloWithCodes) {
  const std::vector<uint8_t> hello = {0x78, 0x95, 0x9C, 0x9C, 0x9F, 0x03, 0x00, 0x02};
  Result r = Decode(hello);
  EXPECT_EQ(r.text, "Hello[03 00 02]");
  EXPECT_EQ(r.size, 8);
  EXPECT_EQ(r.listing, "Hello\r\nWAIT FOR USER - PROMPT\r\nNEWLINE\r\nEND OF STRING");
  Result plain = Decode(hello, {false, false});
  EXPECT_EQ(plain.text, "Hello");
  EXPECT_EQ(plain.size, 8);
}

TEST_F(Decoding, EndCodeAloneAndCodesOnlyStrings) {
  Result r = Decode({0x02});
  EXPECT_EQ(r.text, "[02]");
  EXPECT_EQ(r.size, 1);
  EXPECT_EQ(r.listing, "END OF STRING");
  Result hidden = Decode({0x03, 0x04, 0x34, 0x12, 0x02}, {false, false});
  EXPECT_EQ(hidden.text, "");
  EXPECT_EQ(hidden.size, 5);
}

TEST_F(Decoding, DictionaryReferencesSplitGroups) {
  dictionary_.words[1] = "the";
  Result r = Decode({0x03, 0x15, 0x01, 0x02});
  EXPECT_EQ(r.text, "[03]the[02]");
  EXPECT_EQ(r.size, 4);
  Result empty = Decode({0x15, 0x00, 0x02});
  EXPECT_EQ(empty.text, "[02]");
  EXPECT_EQ(empty.size, 3);
  EXPECT_EQ(empty.listing, "\r\nEND OF STRING");
}

TEST_F(Decoding, DescribesArgumentsInFillOrder) {
  struct Case {
    std::vector<uint8_t> bytes;
    const char* firstLine;
    const char* text;
  };
  const Case cases[] = {
      {{0x04, 0x34, 0x12, 0x02}, "SET FLAG 1234", "[04 34 12 02]"},
      {{0x0A, 0x56, 0x34, 0x12, 0xC0, 0x02}, "GOTO C0123456", "[0A 56 34 12 C0 02]"},
      {{0x06, 0x0A, 0x00, 0x04, 0x03, 0x02, 0x01, 0x02}, "IF FLAG 000A IS SET GOTO 01020304", nullptr},
      {{0x1C, 0x05, 0x10, 0x02}, "ITEM NAME 10", nullptr},
      {{0x1C, 0x01, 0x07, 0x02}, "PLAYER STAT 07", nullptr},
      {{0x1D, 0x05, 0x01, 0x2A, 0x02}, "CHECK IF CHAR 01 HAS ITEM 2A", nullptr},
      {{0x1D, 0x01, 0x01, 0x2A, 0x02}, "TAKE ITEM 2A FROM 01", nullptr},
      {{0x1F, 0x00, 0x00, 0x2A, 0x02}, "PLAY MUSIC 2A", "[1F 00 00 2A 02]"},
      {{0x1F, 0xE1, 0x01, 0x02, 0x03, 0x02}, "CHANGE TO PALETTE 0201", "[1F E1 01 02 03 02]"},
      {{0x1E, 0x09, 0x01, 0x11, 0x22, 0x33, 0x44, 0x02}, "INCREASE 01'S EXP BY 44332211", nullptr},
      {{0x1F, 0x1A, 0x34, 0x12, 0x05, 0x02}, "MANIP CHAR 1234 WITH SPRITE 05", nullptr},
  };
  for (const Case& c : cases) {
    Result r = Decode(c.bytes);
    EXPECT_EQ(r.listing.substr(0, r.listing.find('\r')), c.firstLine);
    EXPECT_EQ(r.size, static_cast<int32_t>(c.bytes.size())) << c.firstLine;
    if (c.text) {
      EXPECT_EQ(r.text, c.text);
    }
    EXPECT_TRUE(r.listing.ends_with("\r\nEND OF STRING")) << c.firstLine;
  }
}

TEST_F(Decoding, DecreasePpThenPlainCodes) {
  Result r = Decode({0x1E, 0x07, 0x01, 0x05, 0x00, 0x02});
  EXPECT_EQ(r.listing, "DECREASE 01'S CURRENT PP BY 05\r\nNEWLINE\r\nEND OF STRING");
  Result seven = Decode({0x1E, 0x07, 0x01, 0x02, 0x03, 0x01, 0x02});
  EXPECT_EQ(seven.text, "[1E 07 01 02 03 01 02]");
  EXPECT_EQ(seven.size, 7);
  EXPECT_EQ(seven.listing,
            "DECREASE 01'S CURRENT PP BY 02\r\nWAIT FOR USER - PROMPT\r\nCLEAR WINDOW\r\nEND OF STRING");
}

TEST_F(Decoding, UnlistedSubCodesLeaveTheirByteForTheNextItem) {
  // 19 with any sub-code but 10 is MENU and consumes nothing; 05 then takes two bytes.
  Result menu = Decode({0x19, 0x05, 0x34, 0x12, 0x02});
  EXPECT_EQ(menu.listing, "MENU\r\nCLEAR FLAG 1234\r\nEND OF STRING");
  EXPECT_EQ(menu.size, 5);
  // 1A is undescribed with sub-code 0B, which is then IF CHAR over 22.
  Result phone = Decode({0x1A, 0x0B, 0x22, 0x02});
  EXPECT_EQ(phone.listing, "1A \r\nIF CHAR 22\r\nEND OF STRING");
  EXPECT_EQ(phone.text, "[1A 0B 22 02]");
  // 18 02: the 02 ends the string.
  Result ends = Decode({0x18, 0x02, 0x78, 0x02});
  EXPECT_EQ(ends.text, "[18 02]");
  EXPECT_EQ(ends.size, 2);
  // 18 07 50 02: a blank splits the two groups.
  Result split = Decode({0x18, 0x07, 0x50, 0x02});
  EXPECT_EQ(split.text, "[18 07] [02]");
  EXPECT_EQ(split.size, 4);
  Result undescribed = Decode({0x30, 0xFF, 0x02});
  EXPECT_EQ(undescribed.listing, "30 FF \r\nEND OF STRING");
}

TEST_F(Decoding, UndescribedCodesFollowTheLastDescribedCode) {
  Decode({0x02});  // leaves the last code described
  ASSERT_TRUE(state_.lastCodeDescribed);
  Result r = Decode({0x78, 0x07, 0x09, 0x78, 0x07, 0x02});
  EXPECT_EQ(r.text, "H[07 09]H[07 02]");
  EXPECT_EQ(r.listing, "H\r\n07 09 \r\nH07 \r\nEND OF STRING");

  Decode({0x07});  // runs off to 4000 bytes of undescribed codes, ending undescribed
  ASSERT_FALSE(state_.lastCodeDescribed);
  Result carried = Decode({0x78, 0x07, 0x02});
  EXPECT_EQ(carried.listing, "H07 \r\nEND OF STRING");
}

TEST_F(Decoding, StringsThatRunOffTheEndOfTheFile) {
  // The FF bytes past the end are undescribed codes; the count stops at 4000.
  Result r = Decode({0x78, 0x95}, {true, false}, kAt + 2);
  EXPECT_EQ(r.size, kDecodeSizeLimit);
  EXPECT_EQ(r.text.substr(0, 7), "He[FF F");
  EXPECT_EQ(r.text.size(), 2 + 1 + 3 * 3998u);  // nothing is cut
  EXPECT_EQ(r.text.back(), ']');
  // A six-argument code begun at 3999 takes the count to 4006.
  std::vector<uint8_t> bytes(3999, 0x50);
  bytes.insert(bytes.end(), {0x06, 1, 2, 3, 4, 5, 6});
  EXPECT_EQ(Decode(bytes, {true, false}, 0x2000).size, 4006);
  std::vector<uint8_t> dict(3999, 0x50);
  dict.insert(dict.end(), {0x15, 0x00});
  EXPECT_EQ(Decode(dict, {true, false}, 0x2000).size, 4001);
}

TEST_F(Decoding, BracketCharactersArePrintable) {
  Result r = Decode({0x8B, 0x8D, 0x02});
  EXPECT_EQ(r.text, "[][02]");
}

TEST_F(Decoding, RawBytesView) {
  Decode({0x78, 0x95, 0x03, 0x00, 0x02});
  EXPECT_EQ(FormatRawBytes(*rom_, kAt, 5), "[78 95 03 00 02]");
  EXPECT_EQ(FormatRawBytes(*rom_, kAt + 4, 1), "[02]");
  EXPECT_EQ(FormatRawBytes(*rom_, kAt, 0), "]");
  EXPECT_EQ(FormatRawBytes(*rom_, 0x1000 - 1, 2), "[00 FF]");
  EXPECT_EQ(FormatRawBytes(*rom_, kAt, 2000).size(), 6001u);  // long views are whole
}

TEST(Dictionary, LoadsWordsAndKeepsThemInTheirSlots) {
  SyntheticRom image(0x90000, "");
  image.Dictionary({"apple", std::string(30, 'x'), "pear"});
  auto file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  TextDictionary dict;
  dict.words[0] = "stale";
  LoadTextDictionary(*rom, dict);
  EXPECT_EQ(dict.words[0], "");
  EXPECT_EQ(dict.words[1], "apple");
  EXPECT_EQ(dict.words[2], std::string(24, 'x'));  // cut to its slot, bytes still consumed
  EXPECT_EQ(dict.words[3], "pear");
  EXPECT_EQ(dict.Word(0x15, 3), "pear");
}

TEST(Dictionary, StopsAtTheEndOfTheFile) {
  SyntheticRom image(0x8BE3E, "");
  image.Put(0x8BE3E, test::ScriptText("cut"));  // no terminator: the file ends inside the word
  auto file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  TextDictionary dict;
  dict.words[767] = "stale";
  LoadTextDictionary(*rom, dict);
  EXPECT_EQ(dict.words[1], "cut");
  EXPECT_EQ(dict.words[2], "");
  EXPECT_EQ(dict.words[767], "");
}

TEST(ControlCodes, TableRowsAreConsistent) {
  for (const ControlCodeEntry& e : ControlCodeTable()) {
    int placeholders = 0;
    for (const char* p = e.description; (p = std::strstr(p, "%.2X")); p += 4) ++placeholders;
    EXPECT_EQ(placeholders, e.fillCount) << e.description;
    for (int i = 0; i < e.fillCount; ++i) {
      EXPECT_GE(e.fill[static_cast<size_t>(i)], 1) << e.description;
      EXPECT_LE(e.fill[static_cast<size_t>(i)], e.argumentCount) << e.description;
    }
    EXPECT_EQ(LookupControlCode(e.code, e.subCode < 0 ? 0x77 : static_cast<uint8_t>(e.subCode)),
              e.subCode == kNoSubCode || e.subCode >= 0 || e.code == 0x19 ? &e : nullptr);
  }
  EXPECT_EQ(LookupControlCode(0x07, 0), nullptr);
  EXPECT_EQ(LookupControlCode(0x18, 0x02), nullptr);
  EXPECT_STREQ(LookupControlCode(0x19, 0x99)->description, "MENU");
  EXPECT_EQ(LookupControlCode(0x19, 0x99)->argumentCount, 0);
  EXPECT_EQ(LookupControlCode(0x20, 0), nullptr);
}

}  // namespace
}  // namespace lettermoor

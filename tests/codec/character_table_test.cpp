// A translator's character table: what is refused with its line, and the text both ways.

#include "codec/character_table.h"

#include <gtest/gtest.h>

#include <random>

#include "codec/text_encoder.h"
#include "sample/sample_font.h"

namespace lettermoor::test {
namespace {

CharacterTable Sample() {
  TableLoad fault;
  std::optional<CharacterTable> table = CharacterTable::Parse(kSampleCharacterTable, "sample.tbl", fault);
  EXPECT_EQ(fault.fault, TableFault::None);
  return *table;
}

TEST(CharacterTable, BadTablesAreRefusedWithTheirLineAndReason) {
  struct Case {
    const char* content;
    TableFault fault;
    int line;
    uint8_t byte = 0;
    uint8_t otherByte = 0;
  };
  const std::vector<Case> cases = {
      {"# comment\n\n8C=\xC3\xA9\n", TableFault::None, 0},
      {"\xEF\xBB\xBF" "8c=\xC3\xA9\r\n6E=\xC3\xB4\r\n", TableFault::None, 0},  // a byte order mark, CRLF, lower case
      {"8C=\xC3\xA9\n8C=\xC3\xA8\n", TableFault::None, 0},                     // the later line wins
      {"8C=\xC3\xA9\n8E=\xC3\xA9\n8C=x\n", TableFault::DuplicateText, 3, 0x8C, 0xA8},  // x is 0xA8's already
      {"8C\xC3\xA9\n", TableFault::Malformed, 1},
      {"\n8G=a\n", TableFault::Malformed, 2},
      {"8C=\xC3\n", TableFault::Malformed, 1},  // not UTF-8
      {"4F=\xC3\xA9\n", TableFault::ByteOutOfRange, 1, 0x4F},
      {"AB=\xC3\xA9\n", TableFault::ByteOutOfRange, 1, 0xAB},
      {"8B=\xC3\xA9\n", TableFault::BracketByte, 1, 0x8B},
      {"8C=[\n", TableFault::BracketText, 1, 0x8C},
      {"8C=]\n", TableFault::BracketText, 1, 0x8C},
      {"8C=\n", TableFault::NotOneCodePoint, 1, 0x8C},
      {"8C=ae\n", TableFault::NotOneCodePoint, 1, 0x8C},
      {"8C=e\xCC\x81\n", TableFault::NotOneCodePoint, 1, 0x8C},  // e and a combining accent
      {"8C=\t\n", TableFault::NotOneCodePoint, 1, 0x8C},
      {"8C=a\n", TableFault::DuplicateText, 1, 0x8C, 0x91},           // the game's own "a"
      {"8C=\xC3\xA9\n8E=\xC3\xA9\n", TableFault::DuplicateText, 2, 0x8E, 0x8C},
      {"91=\xC3\xA4\n8C=a\n", TableFault::None, 0},                    // "a" moved to another byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    TableLoad fault;
    const std::optional<CharacterTable> table = CharacterTable::Parse(c.content, "t.tbl", fault);
    EXPECT_EQ(table.has_value(), c.fault == TableFault::None);
    EXPECT_EQ(fault.fault, c.fault);
    EXPECT_EQ(fault.line, c.line);
    EXPECT_EQ(fault.byte, c.byte);
    EXPECT_EQ(fault.otherByte, c.otherByte);
  }
  TableLoad fault;
  EXPECT_FALSE(CharacterTable::Load("/nonexistent/t.tbl", fault));
  EXPECT_EQ(fault.fault, TableFault::CannotRead);
}

// The quick looks at a whole text agree with a look at each character, wherever in the text the
// table's characters (or bytes above 0x7F) stand, the last few included.
TEST(CharacterTable, QuickLooksAgreeWithEachCharacter) {
  const CharacterTable table = Sample();
  std::string pool = "Hello, world! [13 02]";
  for (int c = 1; c < 256; ++c) {
    if (table.Remaps(static_cast<char>(c))) pool += static_cast<char>(c);
  }
  pool += "\xC3\xA9";
  std::mt19937 random(11);
  for (int round = 0; round < 4000; ++round) {
    // Letters, and at most one character from the pool at any place.
    std::string text(random() % 70, 'a');
    for (char& c : text) c = static_cast<char>('a' + random() % 26);
    if (!text.empty() && random() % 2) text[random() % text.size()] = pool[random() % pool.size()];
    bool remaps = false, high = false;
    for (const char c : text) {
      remaps |= table.Remaps(c);
      high |= static_cast<uint8_t>(c) >= 0x80;
    }
    ASSERT_EQ(table.RemapsAny(text), remaps) << text;
    ASSERT_EQ(table.ReadsAsItself(text), !remaps && !high) << text;
  }
}

TEST(CharacterTable, TextGoesThroughTheTableOutsideBracketsOnly) {
  const CharacterTable table = Sample();
  struct Case {
    std::string game;   // as the decoder gives it
    std::string shown;  // as the user sees it
  };
  for (const Case& c : {Case{"Caf\\ d\\j_ vu.[13 02]", "Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu.[13 02]"},
                        Case{"[5C 8C]<>^`", "[5C 8C]\xC3\xAA\xC3\xB4\xC3\xA8\xC3\xA7"},
                        Case{"no group [ends", "no group [ends"}, Case{"", ""}}) {
    SCOPED_TRACE(c.game);
    EXPECT_EQ(table.ToDisplay(c.game), c.shown);
    std::string back;
    NonGameCharacter refused;
    ASSERT_TRUE(table.ToGameText(c.shown, back, refused));
    EXPECT_EQ(back, c.game);
  }
}

// A character the table has no byte for is refused with its column in characters, whether it
// was never a game character or its byte now stands for a letter.
TEST(CharacterTable, RefusesWhatItCannotSpellAtItsColumn) {
  const CharacterTable table = Sample();
  struct Case {
    std::string text;
    int column;
    char32_t character;
    bool malformed = false;
  };
  for (const Case& c : {Case{"Stra\xE1\xBA\x9E" "e", 5, U'\u1E9E'}, Case{"\xC3\xA9[0A]\\", 6, U'\\'},
                        Case{"<", 1, U'<'}, Case{"ab\tc", 3, U'\t'}, Case{"a\xFF", 2, 0xFF, true}}) {
    SCOPED_TRACE(c.text);
    std::string out;
    NonGameCharacter refused;
    ASSERT_FALSE(table.ToGameText(c.text, out, refused));
    EXPECT_EQ(refused.column, c.column);
    EXPECT_EQ(refused.character, c.character);
    EXPECT_EQ(refused.malformed, c.malformed);
    EXPECT_EQ(refused.table, "sample.tbl");
  }
}

// Any string of character bytes, decoded, shown through a table, taken back and encoded, gives
// its bytes back: with no table, the sample's, and random tables over random bytes.
TEST(CharacterTable, DecodeThenEncodeGivesTheBytesBack) {
  std::mt19937 random(28);
  std::vector<std::optional<CharacterTable>> tables = {std::nullopt, Sample()};
  for (int t = 0; t < 20; ++t) {
    // Distinct code points (some letters of other scripts, some ASCII moved about) on random bytes.
    std::string content;
    std::vector<char32_t> used;
    for (int n = 0; n < 1 + static_cast<int>(random() % 40); ++n) {
      const auto byte = static_cast<uint8_t>(0x50 + random() % (0xAB - 0x50));
      if (byte == 0x8B || byte == 0x8D) continue;
      char32_t c = random() % 4 == 0 ? U'\u00C0' + random() % 0x180 : U'\u0400' + random() % 0x100;
      if (std::find(used.begin(), used.end(), c) != used.end()) continue;
      used.push_back(c);
      std::string utf8;
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
      char line[8];
      std::snprintf(line, sizeof line, "%02X=", byte);
      content += line + utf8 + "\n";
    }
    TableLoad fault;
    tables.push_back(CharacterTable::Parse(content, "random.tbl", fault));
    ASSERT_TRUE(tables.back()) << content << " line " << fault.line;
  }
  for (const std::optional<CharacterTable>& table : tables) {
    for (int n = 0; n < 200; ++n) {
      std::vector<uint8_t> bytes;
      for (int k = 0; k < static_cast<int>(random() % 60); ++k) {
        const auto b = static_cast<uint8_t>(0x50 + random() % (0xAB - 0x50));
        if (b != 0x8B && b != 0x8D) bytes.push_back(b);
      }
      std::string game;
      for (uint8_t b : bytes) game += kGameCharacters.CharacterOf(b);
      std::string shown = table ? table->ToDisplay(game) : game;
      std::string back;
      NonGameCharacter refused;
      ASSERT_TRUE(!table || table->ToGameText(shown, back, refused)) << shown;
      EXPECT_EQ(TextEncoder(table ? back : shown), bytes);
    }
  }
}

}  // namespace
}  // namespace lettermoor::test

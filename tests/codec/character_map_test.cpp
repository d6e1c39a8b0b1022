#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "codec/bracket_check.h"
#include "codec/byte_class.h"
#include "codec/character_map.h"

namespace lettermoor {
namespace {

// Both directions agree for every byte, the bulk conversions give what the single ones give, and
// the character range is the decoder's.
TEST(CharacterMap, BothWaysAgreeForEveryByte) {
  const CharacterMap& map = kGameCharacters;
  std::array<uint8_t, 256 + 16> bytes{};
  for (int v = 0; v < 256; ++v) {
    const auto b = static_cast<uint8_t>(v);
    bytes[static_cast<size_t>(v)] = b;
    EXPECT_EQ(map.ByteOf(map.CharacterOf(b)), b);
    EXPECT_EQ(map.IsCharacterByte(b), ClassifyByte(b) == ByteClass::Printable);
  }
  EXPECT_EQ(map.FirstCharacter(), ' ');
  EXPECT_EQ(map.LastCharacter(), 'z');
  EXPECT_EQ(map.ByteOf(' '), 0x50);
  EXPECT_EQ(map.CharacterOf(0x8B), '[');

  for (int64_t n : {0, 1, 15, 16, 17, 255, 256}) {
    std::vector<char> text(static_cast<size_t>(n) + 16, '#');
    EXPECT_EQ(map.ToCharacters(text.data(), bytes.data(), n), text.data() + n);
    std::vector<uint8_t> back(static_cast<size_t>(n));
    map.ToBytes(back.data(), reinterpret_cast<const uint8_t*>(text.data()), static_cast<size_t>(n));
    for (int64_t k = 0; k < n; ++k) {
      EXPECT_EQ(text[static_cast<size_t>(k)], map.CharacterOf(bytes[static_cast<size_t>(k)])) << n << " " << k;
      EXPECT_EQ(back[static_cast<size_t>(k)], bytes[static_cast<size_t>(k)]) << n << " " << k;
    }
  }
}

struct GroupCase {
  std::string text;
  size_t end;                        // where the group ends
  std::vector<BracketToken> tokens;  // start, length, value, exact
};

// The one reading of a group: where tokens stand, their values and whether each reads back as
// written; the group ends past its "]" or at the end of the text.
TEST(WalkBracketGroup, TokensAndEnds) {
  const std::vector<GroupCase> cases = {
      {"[]x", 2, {}},
      {"[03 1f]x", 7, {{1, 2, 0x03, true}, {4, 2, 0x1F, true}}},
      {"[  A ]", 6, {{3, 1, 0xA, true}}},
      {"[123 g]", 7, {{1, 3, 0x123, false}, {5, 1, 0, false}}},
      {"[[01]]", 5, {{1, 3, 0x01, false}}},
      {"[02 0", 5, {{1, 2, 0x02, true}, {4, 1, 0, true}}},
      {"[", 1, {}},
  };
  for (const GroupCase& c : cases) {
    std::vector<BracketToken> got;
    const size_t end = WalkBracketGroup(c.text, 0, [&](const BracketToken& t) { got.push_back(t); });
    EXPECT_EQ(end, c.end) << c.text;
    ASSERT_EQ(got.size(), c.tokens.size()) << c.text;
    for (size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k].start, c.tokens[k].start) << c.text << " " << k;
      EXPECT_EQ(got[k].length, c.tokens[k].length) << c.text << " " << k;
      EXPECT_EQ(got[k].value, c.tokens[k].value) << c.text << " " << k;
      EXPECT_EQ(got[k].exact, c.tokens[k].exact) << c.text << " " << k;
    }
  }
}

}  // namespace
}  // namespace lettermoor

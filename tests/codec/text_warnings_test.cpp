// The warnings a translator gets for a new text: its end code, and its control codes against the
// original's.

#include <gtest/gtest.h>

#include <set>

#include "codec/text_warnings.h"

namespace lettermoor {
namespace {

using Kind = TextWarningKind;

TextWarning Differ(int index, std::optional<CodeKind> found, std::optional<CodeKind> expected) {
  return TextWarning{Kind::CodesDiffer, index, found, expected};
}

TEST(TextWarnings, EndCodeAndCodesAgainstTheOriginal) {
  const TextWarning missing{Kind::EndCodeMissing}, notLast{Kind::EndCodeNotLast};
  struct Case {
    const char* text;
    const char* original;
    std::vector<TextWarning> expected;
  };
  const Case cases[] = {
      {"Hello there[02]", "Hi[02]", {}},
      {"Hello", "Hi[02]", {missing}},
      {"Hi[04 02 00]", "Hi[02]", {missing, Differ(1, CodeKind{0x04}, {})}},  // 02 as a flag's byte
      {"Hel[02]lo", "Hi[02]", {notLast}},
      {"Hi[02][02]", "Hi[02]", {notLast}},
      // Reordered, another sub-code, one dropped, one added.
      {"[1C 02 01]Hi[1F 02 05][02]", "[1F 02 05]Hi[1C 02 01][02]", {Differ(1, CodeKind{0x1C, 2}, CodeKind{0x1F, 2})}},
      {"Hi[1C 05 01][02]", "Hi[1C 02 01][02]", {Differ(1, CodeKind{0x1C, 5}, CodeKind{0x1C, 2})}},
      {"Hi[1C 02 01][02]", "Hi[1C 02 01][1F 00 00 07][02]", {Differ(2, {}, CodeKind{0x1F, 0})}},
      {"[1F 30]Hi[02]", "Hi[02]", {Differ(1, CodeKind{0x1F, 0x30}, {})}},
      {"Hi", "[1F 30]Hi[02]", {missing, Differ(1, {}, CodeKind{0x1F, 0x30})}},
      // Other arguments, a menu with another letter after it, a code with an undescribed
      // sub-code (which it leaves to the next item), and other line breaks, waits and pauses:
      // the same codes.
      {"[04 10 00]Oui[1C 02 03][0A 00 00 C5 00][02]", "[04 01 00]Yes[1C 02 01][0A 10 20 C6 00][02]", {}},
      {"[19]Yes[02]", "[19]No[02]", {}},
      {"[1F]Bo[02]", "[1F 15 F1][02]", {}},
      {"One[00]two[03][01]three[10 20][13][00 00 00][02]", "Onetwothree[14][02]", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextWarnings(c.text, c.original), c.expected) << c.text;
  }
  // The bytes themselves: the word 15 F1 spelled out after code 1F makes it code 1F 71.
  const std::vector<uint8_t> original = {0x1F, 0x15, 0xF1, 0x02}, respelled = {0x1F, 0x71, 0x9D, 0x92, 0x9C, 0x02};
  EXPECT_EQ(TextWarnings(respelled, original),
            std::vector<TextWarning>{Differ(1, CodeKind{0x1F, 0x71}, CodeKind{0x1F})});
  EXPECT_EQ(EndCodeWarnings(original), std::vector<TextWarning>{});
  // Every warning has its own sentence.
  const TextWarning all[] = {missing, notLast, Differ(1, CodeKind{0x1F, 0x71}, CodeKind{0x1F}),
                             Differ(2, CodeKind{0x1F, 0x71}, {}), Differ(2, {}, CodeKind{0x1F})};
  std::set<std::string> sentences;
  for (const TextWarning& w : all) sentences.insert(DescribeTextWarning(w));
  EXPECT_EQ(sentences.size(), std::size(all));
}

}  // namespace
}  // namespace lettermoor

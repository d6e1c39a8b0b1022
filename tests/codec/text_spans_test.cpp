// What the edit box reads in a text: its groups, the code items in them with what they do, the
// bracket fault and the characters that are not game characters; the groups Insert Code writes;
// the hints over them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/decode_items.h"
#include "codec/text_encoder.h"
#include "codec/text_spans.h"
#include "document/document_text.h"

namespace lettermoor {
namespace {

// A span as "kind start+length", a code with its group: short enough to list a text's spans.
std::string Show(const TextSpan& s) {
  static const char* const kKinds[] = {"B", "C", "Unclosed", "Stray", "NotGame"};
  static const char* const kGroups[] = {"waiting", "flow", "names", "sound", "other"};
  std::string out = std::string(kKinds[static_cast<int>(s.kind)]) + std::to_string(s.start) + "+" +
                    std::to_string(s.length);
  if (s.kind == TextSpanKind::Code) out += std::string(":") + kGroups[static_cast<int>(s.group)];
  return out;
}

std::vector<std::string> Spans(std::string_view text) {
  std::vector<TextSpan> spans;
  FindTextSpans(text, spans);
  std::vector<std::string> out;
  for (const TextSpan& s : spans) out.push_back(Show(s));
  return out;
}

TEST(TextSpans, GroupsCodesFaultsAndCharacters) {
  struct Case {
    const char* text;
    std::vector<std::string> spans;
  };
  const Case cases[] = {
      {"Hello", {}},
      {"Hi[1C 02 01]!", {"B2+1", "C3+8:names", "B11+1"}},
      // Two codes in one group, each with its own arguments.
      {"[19 10 56 1A 0A]", {"B0+1", "C1+8:names", "C10+5:flow", "B15+1"}},
      {"[03][1F 00 00 07]", {"B0+1", "C1+2:waiting", "B3+1", "B4+1", "C5+11:sound", "B16+1"}},
      // An undescribed code, a character byte and a dictionary word: other.
      {"[07 50 15 20]", {"B0+1", "C1+2:other", "C4+2:other", "C7+5:other", "B12+1"}},
      // A sub-coded code the group ends before its sub-code: the table has no such code.
      {"[1C]", {"B0+1", "C1+2:other", "B3+1"}},
      // A group never closed: underlined from its "[" to the end of the line.
      {"Hi[03 02", {"B2+1", "C3+2:waiting", "C6+2:flow", "Unclosed2+6"}},
      {"ab]cd\r\nef", {"NotGame5+1", "NotGame6+1", "Stray2+3"}},
      // A "[" inside an open group: the open group is the one not closed.
      {"a[01 [02]b", {"B1+1", "C2+2:waiting", "C5+3:flow", "B8+1", "Unclosed1+9"}},
      // Counts that agree are written as the encoder reads them: no fault.
      {"][", {"B1+1"}},
      // Columns count characters, whatever their UTF-8 length.
      {"\xC3\xA9[02]\xF0\x9F\x98\x80[", {"NotGame0+1", "B1+1", "C2+2:flow", "B4+1", "NotGame5+1", "B6+1", "Unclosed6+1"}},
      {"a\xFFz", {"NotGame1+1"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Spans(c.text), c.spans) << c.text;
}

TEST(TextSpans, TheRefusedFaultIsTheOneApplyRefuses) {
  std::vector<TextSpan> spans;
  struct Case {
    const char* text;
    int32_t column;  // 0 for none
    TextRefusal refusal;
  };
  const Case cases[] = {
      {"Hi[02]", 0, TextRefusal::None},
      {"Hi[03 02", 3, TextRefusal::Brackets},
      {"\xC3\xA9[03", 2, TextRefusal::Brackets},  // brackets first, as the encoder checks them
      {"x\xC3\xA9y\tz", 2, TextRefusal::NonGameCharacter},
  };
  for (const Case& c : cases) {
    FindTextSpans(c.text, spans);
    const TextSpan* fault = RefusedFault(spans);
    const EncodedText encoded = EncodeForWrite(c.text, nullptr);
    EXPECT_EQ(encoded.refusal, c.refusal) << c.text;
    if (c.column == 0) {
      EXPECT_EQ(fault, nullptr) << c.text;
      continue;
    }
    ASSERT_NE(fault, nullptr) << c.text;
    EXPECT_EQ(fault->start + 1, c.column) << c.text;
    EXPECT_EQ(encoded.column, c.column) << c.text;
  }
}

TEST(CodeInsertion, GroupsWithZerosOrTheJumpAddress) {
  auto entry = [](uint8_t code, int16_t sub) {
    for (const ControlCodeEntry& e : ControlCodeTable()) {
      if (e.code == code && e.subCode == sub) return e;
    }
    ADD_FAILURE() << "no entry";
    return ControlCodeTable().front();
  };
  struct Case {
    ControlCodeEntry entry;
    std::optional<uint32_t> address;
    const char* text;
    const char* selected;
  };
  const Case cases[] = {
      {entry(0x03, kNoSubCode), {}, "[03]", ""},
      {entry(0x1C, 0x02), {}, "[1C 02 00]", "00"},
      {entry(0x1F, 0x00), {}, "[1F 00 00 00]", "00 00"},
      {entry(0x0A, kNoSubCode), 0xC51234, "[0A 34 12 C5 00]", "34 12 C5 00"},
      {entry(0x1B, 0x03), 0xC51234, "[1B 03 34 12 C5 00]", "34 12 C5 00"},
      {entry(0x06, kNoSubCode), 0xEF0102, "[06 00 00 02 01 EF 00]", "00 00 02 01 EF 00"},
      {entry(0x06, kNoSubCode), {}, "[06 00 00 00 00 00 00]", "00 00 00 00 00 00"},
  };
  for (const Case& c : cases) {
    const CodeInsertion in = InsertionFor(c.entry, c.address);
    EXPECT_EQ(in.text, c.text);
    EXPECT_EQ(in.text.substr(static_cast<size_t>(in.argumentsStart), static_cast<size_t>(in.argumentsLength)),
              c.selected);
  }
}

TEST(CodeInsertion, EveryCodeOfTheTableReadsBackAsOneItemOfItsGroup) {
  std::vector<TextSpan> spans;
  for (const ControlCodeEntry& e : ControlCodeTable()) {
    const CodeInsertion in = InsertionFor(e);
    const std::vector<uint8_t> bytes = TextEncoder(in.text);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(ItemLength(bytes[0], bytes.size() > 1 ? bytes[1] : 0), static_cast<int>(bytes.size())) << in.text;
    FindTextSpans(in.text, spans);
    ASSERT_EQ(spans.size(), 3u) << in.text;
    EXPECT_EQ(spans[1].group, e.group) << in.text;
    EXPECT_EQ(DescribeTextSpan(spans[1]).empty(), false) << in.text;
  }
}

TEST(TextHints, CodesAreDescribedAsTheListingDoesAndFaultsSayWhere) {
  const std::string text = "Hi[1C 02 01][07]\xC3\xA9[1E 08 03 0A]]";
  std::vector<TextSpan> spans;
  FindTextSpans(text, spans);
  struct Case {
    int32_t position;
    std::string hint;
  };
  const Case cases[] = {
      {0, ""},
      {2, ""},  // the bracket itself
      {5, "PLAYER NAME 01"},
      {13, FormatText(editor_text::kUndescribedCode, "07")},
      {24, "CHANGE 03'S LEVEL TO 0A"},
      // The stray "]" at the end is a fault (counts differ); the character before the group too.
      {16, FormatText(editor_text::kNotAGameCharacter, 17, "\"\xC3\xA9\" (U+00E9)")},
      {30, FormatText(editor_text::kStrayCloseBracket, 31)},
  };
  for (const Case& c : cases) EXPECT_EQ(TextHintAt(spans, c.position), c.hint) << c.position;
  EXPECT_EQ(EditFaultHint(text), FormatText(editor_text::kStrayCloseBracket, 31));
  EXPECT_EQ(EditFaultHint("x\ty"), FormatText(editor_text::kNotAGameCharacter, 2, "U+0009"));
  EXPECT_EQ(EditFaultHint("Hi[02]"), "");
}

TEST(TextHints, TheStatusLineCountsInWordsThatAgreeWithTheirNumbers) {
  auto preview = [](int lines, int notFitting) {
    TextPreview p;
    p.layout.lines.resize(static_cast<size_t>(lines));
    p.notFitting = notFitting;
    return p;
  };
  struct Case {
    int characters;
    std::optional<TextPreview> preview;
    std::string status;
  };
  const Case cases[] = {
      {1, preview(1, 0), "1 character, 1 line: fits the text window"},
      {40, preview(3, 1), "40 characters, 3 lines: 1 line does not fit the text window"},
      {0, preview(0, 0), "0 characters, 0 lines: fits the text window"},
      {9, preview(4, 2), "9 characters, 4 lines: 2 lines do not fit the text window"},
      {9, std::nullopt, "9 characters: the text window's font cannot be read"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DescribeTextStatus(c.characters, c.preview ? &*c.preview : nullptr), c.status);
  }
}

}  // namespace
}  // namespace lettermoor

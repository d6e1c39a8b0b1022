// Options > Compress with Dictionary: the live size, the overwrite guard and Apply with the
// compressing encoder, and the hint that says where a bracket error lies or that the end code is
// not at the end.

#include <tuple>

#include "codec/text_warnings.h"
#include "editor/editor_fixture.h"

namespace lettermoor::test {
namespace {

using namespace layout;
namespace text = editor_text;

// The apply was refused for `wanted`, and exactly one Pre-Write Error box was shown since the
// last look.
void ExpectRefusal(FakeEditorView& view, ApplyResult got, ApplyResult wanted) {
  EXPECT_EQ(got, wanted);
  const auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, text::kPreWriteCaption);
}

// Row 4 of the pointer listing shows S2, "My friend[02]": 6 bytes in the ROM, 10 written plainly.
TEST_F(EditorTest, CompressionDecidesTheLabelTheGuardAndTheBytesWritten) {
  TempFile& file = OpenStandard();
  EXPECT_FALSE(window.CompressWithDictionary());
  EXPECT_FALSE(view.IsChecked(CommandId::CompressWithDictionary));
  view.ClickRow(window, 4);
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 10 (uncompressed)");
  ExpectRefusal(view, view.PressApply(window), ApplyResult::TooLarge);

  window.OnCommand(CommandId::CompressWithDictionary);
  EXPECT_TRUE(view.IsChecked(CommandId::CompressWithDictionary));
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 6 (compressed)");
  const std::vector<uint8_t> before = file.ReadAll();
  view.Type(window, "My friend, friend[02]");  // 3 + 2 + 2 + 2 + 1 bytes
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 10 (compressed)");
  ExpectRefusal(view, view.PressApply(window), ApplyResult::TooLarge);
  EXPECT_EQ(file.ReadAll(), before);

  view.Type(window, "My friend[02]");
  EXPECT_EQ(view.PressApply(window), ApplyResult::Written);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(Slice(file.ReadAll(), kS2, 6), (std::vector<uint8_t>{0x7D, 0xA9, 0x50, 0x15, 0x01, 0x02}));
  EXPECT_EQ(view.editText, kText2);

  // Off again: exactly as before.
  window.OnCommand(CommandId::CompressWithDictionary);
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 10 (uncompressed)");
  ExpectRefusal(view, view.PressApply(window), ApplyResult::TooLarge);
}

TEST_F(EditorTest, BracketErrorsAndEndCodesInTheSizeLabelsHint) {
  OpenStandard();
  const std::string missing = DescribeTextWarning({TextWarningKind::EndCodeMissing});
  const std::string notLast = DescribeTextWarning({TextWarningKind::EndCodeNotLast});
  for (bool compress : {false, true}) {
    window.SetCompressWithDictionary(compress);
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"Hi[03 02", "Column 3: this \"[\" is never closed.", true},
        {"Hi]03 02]", "Column 3: this \"]\" closes no \"[\".", true},
        // Columns count characters, as the edit box does; a character that is not the game's is
        // named, not left without a hint.
        {"\xC3\xA9[03", "Column 2: this \"[\" is never closed.", true},
        {"Hi\tthere", FormatText(text::kNotAGameCharacter, 3, "U+0009"), true},
        {"Hi[03 02]", "", false},
        {"", "", false},  // writes nothing
        {"Hi[03]", missing, false},
        {"Hi[04 02 00]", missing, false},  // 02 as a flag's byte ends nothing
        {"Hi[02] there", notLast, false},
        {"Hi[02]there[02]", notLast, false},
    };
    for (const auto& [typed, hint, unknown] : cases) {
      view.Type(window, typed);
      EXPECT_EQ(view.toolTips[LabelId::CurrentSize], hint) << typed;
      EXPECT_EQ(view.Label(LabelId::CurrentSize) == text::kCurrentSizeUnknown, unknown) << typed;
    }
    view.Type(window, "Hi[03 02");
    ExpectRefusal(view, view.PressApply(window), ApplyResult::BracketError);
  }
}

// A reload of the dictionary (every list fill) makes the compressor anew.
TEST_F(EditorTest, CompressionFollowsTheDictionaryOfTheOpenRom) {
  SyntheticRom other = StandardRom();
  other.Dictionary({"Hello there"});
  window.SetCompressWithDictionary(true);
  OpenStandard();
  view.Type(window, "Hello there[02]");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 12 (compressed)");
  Open(other);
  view.Type(window, "Hello there[02]");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 3 (compressed)");
}

}  // namespace
}  // namespace lettermoor::test

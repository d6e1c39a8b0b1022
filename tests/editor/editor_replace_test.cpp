// Edit > Replace in All Texts in the window's logic.

#include <gtest/gtest.h>

#include "editor_fixture.h"

namespace lettermoor::test {
namespace {

namespace text = editor_text;

class EditorReplace : public EditorTest {
 protected:
  // The window: a Find for `query`, then Replace with the texts found but those in `untick`.
  void Answer(const ReplaceQuery& query, std::vector<size_t> untick = {}) {
    view.onReplaceWindow = [this, query, untick] {
      ReplaceSearch search = window.FindReplacements(query);
      ReplaceChoice choice{query, {}};
      for (size_t k = 0; k < search.found.size(); ++k) {
        if (std::find(untick.begin(), untick.end(), k) == untick.end()) choice.texts.push_back(search.found[k]);
      }
      return std::optional<ReplaceChoice>(choice);
    };
  }
};

TEST_F(EditorReplace, WritesTheTickedTextsAndReportsOnce) {
  OpenStandard();
  view.ClickRow(window, 3);
  Answer({"o", "0"}, {1});  // "Shared words" (rows 1 and 3) left as it is
  const int fills = ListRebuilds();
  const std::optional<ImportResult> result = window.ReplaceInAllTexts();
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, ImportStatus::Done);
  EXPECT_EQ(view.replaceRuns, 1);
  EXPECT_TRUE(view.TakeMessages().empty());
  ASSERT_EQ(view.reports.size(), 1u);
  EXPECT_EQ(view.reports[0].title, "Replace in All Texts: \"o\" by \"0\"");
  EXPECT_EQ(result->Count(BlockOutcome::Written), 2);
  // The list shows the file, the marked row kept.
  EXPECT_EQ(ListRebuilds(), fills + 1);
  EXPECT_EQ(view.rows[0], "Hell0 there");
  EXPECT_EQ(view.rows[2], "G00d m0rning");
  EXPECT_EQ(view.rows[5], "G00d m0rning");
  EXPECT_EQ(view.rows[1], "Shared words");
  EXPECT_EQ(view.selectionMark, 3);
  EXPECT_EQ(view.editText, layout::kText3);
}

// What stops a replace before or at its write: the user's answer about typed text, a read-only
// ROM, a replacement that would break a text, a text that does not fit.
TEST_F(EditorReplace, RefusalsLeaveTheFileAsItWas) {
  struct Case {
    const char* name;
    bool readOnly;
    std::optional<ChangesAnswer> typed;  // text typed first, and the answer to the question
    ReplaceQuery query;
    int windowRuns;
    std::vector<std::string> captions;  // of the messages shown
    size_t reports;
  };
  const std::vector<Case> cases = {
      {"typing kept", false, ChangesAnswer::Cancel, {"o", "0"}, 0, {}, 0},
      {"typing dropped", false, ChangesAnswer::Discard, {"zzz", "0"}, 1, {}, 0},
      {"read-only", true, std::nullopt, {"o", "0"}, 0, {text::kReplaceCaption}, 0},
      {"breaks a text", false, std::nullopt, {"o", "["}, 1, {text::kReplaceCaption}, 0},
      {"does not fit", false, std::nullopt, {"e", ""}, 1, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::unique_ptr<TempFile> file = StandardRom().Save();
    const std::vector<uint8_t> before = file->ReadAll();
    window.OpenRomPath(file->Path(), c.readOnly ? RomOpenMode::View : RomOpenMode::Update);
    EXPECT_EQ(view.IsEnabled(CommandId::ReplaceInAllTexts), !c.readOnly);
    view.ClickRow(window, 0);
    if (c.typed) {
      view.Type(window, "Typed");
      view.changesAnswers = {*c.typed};
    }
    view.replaceRuns = 0;
    view.reports.clear();
    view.TakeMessages();
    Answer(c.query);
    window.OnCommand(CommandId::ReplaceInAllTexts);
    EXPECT_EQ(view.replaceRuns, c.windowRuns);
    std::vector<std::string> captions;
    for (const FakeEditorView::Message& m : view.TakeMessages()) captions.push_back(m.caption);
    EXPECT_EQ(captions, c.captions);
    EXPECT_EQ(view.reports.size(), c.reports);
    EXPECT_EQ(file->ReadAll(), before);
    window.CloseRom();
    EXPECT_FALSE(view.IsEnabled(CommandId::ReplaceInAllTexts));
  }
}

}  // namespace
}  // namespace lettermoor::test

// Options > Original ROM in the window's logic: choosing, remembering and forgetting it, the
// original text of the marked row, the translated marks and progress after each kind of write,
// and Edit > Find Next Untranslated.

#include <gtest/gtest.h>

#include <fstream>

#include "editor/editor_window.h"
#include "editor_fixture.h"

namespace lettermoor::test {
namespace {

constexpr size_t kExpandedSize = 0x400200;

class EditorOriginal : public EditorTest {
 protected:
  // The standard ROM opened with an unchanged copy of it as its original.
  TempFile& OpenWithOriginal(size_t size = SyntheticRom::kStandardSize) {
    original_ = StandardRom(size).Save();
    TempFile& rom = Open(StandardRom(size));
    view.originalChoices.push_back(original_->Path());
    window.OnCommand(CommandId::OriginalRom);
    return rom;
  }
  std::vector<bool> Marks(std::initializer_list<int> translated) const {
    std::vector<bool> marks(static_cast<size_t>(layout::kPointerRows), false);
    for (int row : translated) marks[static_cast<size_t>(row)] = true;
    return marks;
  }
  void Retype(int row, const std::string& text) {
    view.ClickRow(window, row);
    view.Type(window, text);
  }

  std::unique_ptr<TempFile> original_;
  TempDir dir;
};

// Each answer of the dialog in turn: a refusal says why and keeps the original in use.
TEST_F(EditorOriginal, ChosenRefusedAndForgotten) {
  const TempFile& rom = OpenStandard();
  EXPECT_FALSE(view.IsEnabled(CommandId::FindNextUntranslated));
  const std::unique_ptr<TempFile> good = StandardRom().Save();
  const std::unique_ptr<TempFile> otherTitle = SyntheticRom(SyntheticRom::kStandardSize, "NOT THE GAME").Save();
  struct Step {
    std::string pick;  // empty: the dialog is cancelled
    bool warned;
    std::string kept;  // the original in use (and remembered) afterwards
  };
  const Step steps[] = {
      {"", false, ""},
      {rom.Path(), true, ""},
      {dir.File("missing.smc"), true, ""},
      {good->Path(), false, good->Path()},
      {otherTitle->Path(), true, good->Path()},
      {"", false, good->Path()},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.pick);
    view.originalChoices.push_back(s.pick);
    window.OnCommand(CommandId::OriginalRom);
    const std::vector<FakeEditorView::Message> messages = view.TakeMessages();
    ASSERT_EQ(messages.size(), s.warned ? 1u : 0u);
    if (s.warned) { EXPECT_EQ(messages[0].caption, editor_text::kOriginalCaption); }
    EXPECT_EQ(window.Doc().OriginalPath(), s.kept);
    EXPECT_EQ(view.RememberedOriginal(rom.Path()), s.kept);
    EXPECT_EQ(view.IsEnabled(CommandId::FindNextUntranslated), !s.kept.empty());
    EXPECT_EQ(view.IsEnabled(CommandId::ForgetOriginal), !s.kept.empty());
    EXPECT_EQ(view.originalText.has_value(), !s.kept.empty());
  }
  EXPECT_EQ(view.originalDialogs.back(), good->Path());  // the dialog starts at the one in use
  EXPECT_EQ(view.originalText, layout::kText0);          // row 0 is marked after the open
  EXPECT_EQ(view.translatedRows, Marks({}));
  EXPECT_EQ(view.progressLine, "Translated: 0 of 6 lines (0%)");

  window.OnCommand(CommandId::ForgetOriginal);
  EXPECT_FALSE(window.Doc().HasOriginal());
  EXPECT_TRUE(view.rememberedOriginals.empty());
  EXPECT_FALSE(view.originalText);
  EXPECT_TRUE(view.translatedRows.empty());
  EXPECT_EQ(view.progressLine, "");
  EXPECT_FALSE(view.IsEnabled(CommandId::ForgetOriginal));
  EXPECT_TRUE(view.IsEnabled(CommandId::OriginalRom));
  window.OnCommand(CommandId::Close);
  EXPECT_FALSE(view.IsEnabled(CommandId::OriginalRom));
}

// On opening, the remembered original is taken again; one now refused or gone is forgotten with
// a note in the status bar, never a message box.
TEST_F(EditorOriginal, TheRememberedOriginalIsLoadedOrForgottenInPassing) {
  const std::unique_ptr<TempFile> good = StandardRom().Save();
  const std::unique_ptr<TempFile> otherSize = StandardRom(SyntheticRom::kStandardSize + 0x8000).Save();
  const std::unique_ptr<TempFile> rom = StandardRom().Save();
  for (const std::string& remembered : {good->Path(), dir.File("gone.smc"), otherSize->Path()}) {
    SCOPED_TRACE(remembered);
    const bool usable = remembered == good->Path();
    view.rememberedOriginals = {{rom->Path(), remembered}};
    view.statusNotes.clear();
    OpenFile(*rom);
    EXPECT_TRUE(view.TakeMessages().empty());
    EXPECT_EQ(window.Doc().HasOriginal(), usable);
    EXPECT_EQ(view.rememberedOriginals.count(rom->Path()), usable ? 1u : 0u);
    EXPECT_EQ(view.statusNotes.size(), usable ? 0u : 1u);
    EXPECT_EQ(view.progressLine, usable ? "Translated: 0 of 6 lines (0%)" : "");
    EXPECT_EQ(view.originalText.has_value(), usable);
    window.CloseRom();
  }
}

// The marks, the progress line and the original text follow every kind of write and refill.
TEST_F(EditorOriginal, MarksAndProgressFollowEachWrite) {
  OpenWithOriginal(kExpandedSize);
  view.answers = {true};  // the revert's question

  Retype(0, "Hello where[03 00 02]");
  ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
  EXPECT_EQ(view.translatedRows, Marks({0}));
  EXPECT_EQ(view.progressLine, "Translated: 1 of 6 lines (16%)");
  EXPECT_EQ(view.originalText, layout::kText0);  // the original stays beside the new text

  // Row 2 shares its text with row 5: both read as translated.
  Retype(2, "Good day[10 1E 02]");
  ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
  EXPECT_EQ(view.translatedRows, Marks({0, 2, 5}));
  EXPECT_EQ(view.progressLine, "Translated: 3 of 6 lines (50%)");

  // Writing the original's words back makes a row untranslated again.
  Retype(0, layout::kText0);
  ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
  EXPECT_EQ(view.translatedRows, Marks({2, 5}));

  // Moved to free space with new words: its rows follow the copy.
  view.ClickRow(window, 4);
  ASSERT_TRUE(window.MoveToFreeSpace(4, "My good friend, far too long for here[02]"));
  view.TakeMessages();
  EXPECT_EQ(view.translatedRows, Marks({2, 4, 5}));
  EXPECT_EQ(view.originalText, layout::kText2);

  // A record led back to its original string reads as untranslated again.
  view.onPointerEntryEditor = [](PointerEntryForm& form) {
    form.addressText = FormatText("%06X", static_cast<unsigned>(FileOffsetToSnes(layout::kS2)));
    return true;
  };
  ASSERT_EQ(window.EditTextPointerEntry(4), PointerEditResult::Moved);
  EXPECT_EQ(view.translatedRows, Marks({2, 5}));

  // The backup holds the ROM as it was before the first write: nothing translated.
  ASSERT_EQ(window.RevertToBackup(), RevertResult::Reverted);
  EXPECT_EQ(view.translatedRows, Marks({}));
  EXPECT_EQ(view.progressLine, "Translated: 0 of 6 lines (0%)");

  // The raw listing compares each row with the text at its address.
  window.OnCommand(CommandId::RawTextListing);
  ASSERT_FALSE(view.translatedRows.empty());
  EXPECT_EQ(view.translatedRows.size(), view.rows.size());
  EXPECT_EQ(view.progressLine, FormatText(editor_text::kTranslatedProgress, 0, view.RowCount(), 0));
}

TEST_F(EditorOriginal, AnImportRenewsTheMarks) {
  OpenWithOriginal();
  view.scriptPath = dir.File("s.txt");
  window.OnCommand(CommandId::ExportScript);
  view.TakeMessages();
  std::string script;
  {
    std::ifstream in(view.scriptPath, std::ios::binary);
    script.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string from = std::string("\n") + layout::kText3 + "\n";
  const size_t at = script.rfind(from);
  ASSERT_NE(at, std::string::npos);
  script.replace(at + 1, from.size() - 2, "Shared![02]");
  std::ofstream(view.scriptPath, std::ios::binary) << script;
  ASSERT_TRUE(window.ImportScriptFile());
  EXPECT_EQ(view.translatedRows, Marks({1, 3}));
  EXPECT_EQ(view.progressLine, "Translated: 2 of 6 lines (33%)");
}

TEST_F(EditorOriginal, FindNextUntranslatedWrapsAsksAndSaysWhenNoneIsLeft) {
  OpenWithOriginal();
  Retype(1, "Shared![02]");  // rows 1 and 3
  ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
  // Untranslated: 0, 2, 4, 5. From row 1 on, wrapping round.
  for (int expected : {2, 4, 5, 0, 2}) {
    EXPECT_EQ(window.FindNextUntranslated(), expected);
    EXPECT_EQ(view.SelectionMark(), expected);
    EXPECT_EQ(view.selectedRow, expected);
    EXPECT_EQ(view.originalText, window.Doc().Original(expected)->text);
  }
  // Typed work on row 2: kept when cancelled, written when applied (rows 2 and 5 then).
  view.Type(window, "Good day[10 1E 02]");
  view.changesAnswers = {ChangesAnswer::Cancel, ChangesAnswer::Apply};
  EXPECT_FALSE(window.FindNextUntranslated());
  EXPECT_EQ(view.SelectionMark(), 2);
  EXPECT_EQ(view.editText, "Good day[10 1E 02]");
  view.TakeMessages();
  window.OnCommand(CommandId::FindNextUntranslated);
  EXPECT_EQ(view.changesQuestions.size(), 2u);
  EXPECT_EQ(view.SelectionMark(), 4);
  EXPECT_EQ(view.translatedRows, Marks({1, 2, 3, 5}));

  for (int row : {4, 0}) {
    Retype(row, "X[02]");
    ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
  }
  EXPECT_EQ(view.progressLine, "Translated: 6 of 6 lines (100%)");
  EXPECT_FALSE(window.FindNextUntranslated());
  EXPECT_EQ(view.SelectionMark(), 0);
  ASSERT_EQ(view.statusNotes.size(), 1u);
  EXPECT_EQ(view.statusNotes[0], editor_text::kNoUntranslated);
  EXPECT_TRUE(view.TakeMessages().empty());
}

}  // namespace
}  // namespace lettermoor::test

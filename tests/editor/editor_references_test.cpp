#include <gtest/gtest.h>

#include "editor/editor_window.h"
#include "editor_fixture.h"
#include "entries/text_entry_table.h"
#include "entries/text_move.h"
#include "support/reference_scenario.h"

namespace lettermoor::test {
namespace {

using S = ReferenceScenario;

class EditorReferences : public EditorTest {};

TEST_F(EditorReferences, TheWindowListsEveryReferenceWithItsLine) {
  Open(S::Image());
  view.ClickRow(window, 2);  // record 2: the text
  window.OnCommand(CommandId::FindReferences);
  ASSERT_TRUE(view.referencesPage);
  const ReferencesPage& page = *view.referencesPage;
  EXPECT_EQ(page.heading, "Line 3 ($C5FE00) is reached from 4 places:");
  struct Want {
    const char* kind;
    const char* where;
    int line;
  };
  const Want want[] = {
      {"Record", "Record 0 at 0xF8B92", 1},
      {"Record", "Record 2 at 0xF8BB4", 3},
      {"Plain pointer", "Plain pointer 0 at 0x157D6C", 5},
      {"GOTO", "Code at 0x60102 in the string at 0x60100", 2},
  };
  ASSERT_EQ(page.rows.size(), std::size(want));
  for (size_t i = 0; i < page.rows.size(); ++i) {
    EXPECT_EQ(page.rows[i].kind, want[i].kind) << i;
    EXPECT_EQ(page.rows[i].where, want[i].where) << i;
    EXPECT_EQ(page.rows[i].line, want[i].line) << i;
  }
  EXPECT_EQ(page.note, references_text::kBlindSpots);

  // In the raw listing only the jump code's string has a line there.
  window.OnCommand(CommandId::RawTextListing);
  ASSERT_TRUE(view.referencesPage);
  for (const ReferenceRow& row : view.referencesPage->rows) {
    if (row.kind == "GOTO") {
      // The raw string that holds the code.
      ASSERT_GT(row.line, 0);
      const int64_t start = SnesToFileOffset(window.Table().entries[static_cast<size_t>(row.line - 1)].textAddress);
      EXPECT_LE(start, S::kGoto + 2);
      EXPECT_GT(start, S::kText);
    } else {
      EXPECT_EQ(row.line, 0) << row.where;
    }
  }
  window.OnCommand(CommandId::Close);
  EXPECT_FALSE(view.referencesPage);
}

TEST_F(EditorReferences, TheIndexFollowsEveryChangeToTheFile) {
  TempFile& file = Open(S::Image());
  EXPECT_EQ(window.References().To(S::kTextAddress).size(), 4u);
  // Our own write: the pointer editor repoints record 0 to the other text.
  view.onPointerEntryEditor = [](PointerEntryForm& form) {
    form.addressText = "C60000";
    return true;
  };
  view.ClickRow(window, 0);
  window.OnCommand(CommandId::EditTptEntry);
  EXPECT_EQ(window.References().To(S::kTextAddress).size(), 3u);
  EXPECT_EQ(window.References().To(S::kTextAddress + 0x200).size(), 2u);
  // Another program's write: plain pointer 1 now leads to the text too.
  std::vector<uint8_t> bytes = file.ReadAll();
  const std::vector<uint8_t> pointer = S::Le32(S::kTextAddress);
  std::copy(pointer.begin(), pointer.end(), bytes.begin() + SyntheticRom::PlainPointerOffset(1));
  file.WriteAll(bytes);
  EXPECT_EQ(window.References().To(S::kTextAddress).size(), 4u);
}

TEST_F(EditorReferences, MoveToFreeSpaceRepointsAndSaysSo) {
  TempFile& file = Open(S::Image());
  window.OnCommand(CommandId::FindReferences);  // row 0 is marked after the open
  view.ClickRow(window, 2);
  EXPECT_TRUE(window.MoveToFreeSpace(2, "A line far too long for the old place[03 02]"));
  const std::vector<FakeEditorView::Message> messages = view.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Moved line 3 to $F00000: 4 references repointed.");
  EXPECT_EQ(messages[0].caption, editor_text::kMoveCaption);
  // Every row of the text now leads to the new copy and shows the new text.
  for (int row : {0, 2, 4}) {
    EXPECT_EQ(window.Table().entries[static_cast<size_t>(row)].textAddress, 0xF00000) << row;
    EXPECT_EQ(view.rows[static_cast<size_t>(row)], "A line far too long for the old place") << row;
  }
  EXPECT_EQ(view.SelectionMark(), 2);
  EXPECT_EQ(view.editText, "A line far too long for the old place[03 02]");
  // The open references window followed the text.
  ASSERT_TRUE(view.referencesPage);
  EXPECT_EQ(view.referencesPage->target, 0xF00000);
  EXPECT_EQ(view.referencesPage->rows.size(), 4u);
  EXPECT_EQ(file.ReadAll()[0x300200], static_cast<uint8_t>('A' + 0x30));
}

// The references window tells the free space left in the expansion area: all of it at first,
// less what a move took; none for a ROM that is not expanded.
TEST_F(EditorReferences, ThePageTellsTheFreeSpaceLeft) {
  const std::string text = "A line far too long for the old place[03 02]";
  for (bool expanded : {false, true}) {
    SCOPED_TRACE(expanded ? "expanded" : "not expanded");
    Open(S::Image(expanded));
    window.OnCommand(CommandId::FindReferences);
    ASSERT_TRUE(view.referencesPage);
    if (!expanded) {
      EXPECT_EQ(view.referencesPage->freeBytes, -1);
      EXPECT_EQ(view.referencesPage->freeSpace, references_text::kNoFreeSpace);
      continue;
    }
    EXPECT_EQ(view.referencesPage->freeBytes, 0x100000);
    ASSERT_TRUE(window.MoveToFreeSpace(0, text));
    const int64_t left = 0x100000 - window.MeasureEdit(text);
    EXPECT_EQ(view.referencesPage->freeBytes, left);
    EXPECT_NE(view.referencesPage->freeSpace.find(" " + std::to_string(left) + " bytes"), std::string::npos)
        << view.referencesPage->freeSpace;
  }
}

TEST_F(EditorReferences, MoveRefusalsWriteNothing) {
  const struct {
    const char* what;
    bool expanded;
    std::string text;
    std::deque<bool> answers;  // to "Expand it now?"
    std::string message;       // the last message shown, if any
    bool moved;
  } cases[] = {
      {"no end code", true, "No end", {}, editor_text::kMoveNoEndCode, false},
      {"bracket error", true, "Bad[02", {}, editor_text::kBracketError, false},
      {"not expanded, the user declines", false, "Fine[02]", {false}, "", false},
      {"not expanded, the user expands", false, "Fine[02]", {true}, "Moved line 1 to $F00000: 4 references repointed.",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFile& file = Open(S::Image(c.expanded));
    const std::vector<uint8_t> before = file.ReadAll();
    view.answers = c.answers;
    view.questions.clear();
    view.TakeMessages();
    view.ClickRow(window, 0);
    view.editText = c.text;
    window.OnCommand(CommandId::MoveToFreeSpace);
    const std::vector<FakeEditorView::Message> messages = view.TakeMessages();
    EXPECT_EQ(view.questions.size(), c.expanded ? 0u : 1u);
    if (c.message.empty()) {
      EXPECT_TRUE(messages.empty());
    } else {
      ASSERT_FALSE(messages.empty());
      EXPECT_EQ(messages.back().text, c.message);
    }
    if (!c.moved) { EXPECT_EQ(file.ReadAll(), before); }
  }
}

TEST_F(EditorReferences, MoveIsOfferedInThePointerListingOnly) {
  Open(S::Image());
  EXPECT_TRUE(view.IsEnabled(CommandId::MoveToFreeSpace));
  EXPECT_TRUE(view.IsEnabled(CommandId::FindReferences));
  window.OnCommand(CommandId::ExpandedRomListing);
  EXPECT_FALSE(view.IsEnabled(CommandId::MoveToFreeSpace));
  EXPECT_TRUE(view.IsEnabled(CommandId::FindReferences));
  window.OnCommand(CommandId::PointerTableListing);
  EXPECT_TRUE(view.IsEnabled(CommandId::MoveToFreeSpace));
  window.OnCommand(CommandId::Close);
  EXPECT_FALSE(view.IsEnabled(CommandId::MoveToFreeSpace));
  EXPECT_FALSE(view.IsEnabled(CommandId::FindReferences));
}

// A write over a string that another entry point reads part of changes that line's text too:
// the size label's hint names it while the text is typed, the apply names it afterwards, and
// its row in the list shows its new text. Rows showing the same text are not named.
TEST_F(EditorReferences, AnApplyNamesTheOtherLinesItChanges) {
  using B = SharedBytesScenario;
  const struct {
    const char* what;
    int row;
    std::string text;
    bool allowLarger;
    std::vector<int> changed;
  } cases[] = {
      {"the outer text, its end changed", 0, "Hello there, pal[02]", false, {1}},
      {"the outer text, only its start changed", 0, "Howdy there, friend[02]", false, {}},
      {"the outer text, written as it is", 0, "Hello there, friend[02]", false, {}},
      {"the inner text", 1, "there, pal[02]", false, {0, 3}},
      {"another text", 2, "Otter[02]", false, {}},
      {"the outer text run on over the other", 0, std::string(0x101, 'x') + "[02]", true, {1, 2}},
      {"the same text by its other record", 3, "Hello there, pal[02]", false, {1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Open(B::Image());
    if (window.PreventOverwrites() == c.allowLarger) window.TogglePreventOverwrites();
    view.ClickRow(window, c.row);
    const std::vector<std::string> rowsBefore = view.rows;
    EXPECT_EQ(window.RowsChangedBy(c.row, c.text), c.changed);
    view.Type(window, c.text);
    const std::string typedHint = view.toolTips[LabelId::CurrentSize];
    ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
    EXPECT_EQ(window.RowsChangedByLastApply(), c.changed);
    const std::string appliedHint = view.toolTips[LabelId::CurrentSize];
    if (c.changed.empty()) {
      EXPECT_EQ(typedHint, "");
      EXPECT_EQ(appliedHint, "");
    }
    std::string lines;
    for (int row : c.changed) lines += (lines.empty() ? "" : ", ") + std::to_string(row + 1);
    if (!c.changed.empty()) {
      lines = (c.changed.size() == 1 ? "line " : "lines ") + lines;
      EXPECT_NE(typedHint.find(lines), std::string::npos) << typedHint;
      EXPECT_NE(appliedHint.find(lines), std::string::npos) << appliedHint;
      EXPECT_NE(appliedHint, typedHint);  // before the write, and after it
    }
    for (int row : c.changed) {
      // The list shows what the game reads there now.
      EXPECT_NE(view.rows[static_cast<size_t>(row)], rowsBefore[static_cast<size_t>(row)]);
      EXPECT_EQ(view.rows[static_cast<size_t>(row)], window.RowPreview(row));
    }
    // Another entry shown: the note goes.
    view.ClickRow(window, 2);
    EXPECT_EQ(view.toolTips[LabelId::CurrentSize], "");
  }
}

// While overwrites are prevented a larger text is refused, so its hint names no line; an end code
// warning follows the lines named.
TEST_F(EditorReferences, TheChangedLinesHintAndTheEndCodeWarning) {
  using B = SharedBytesScenario;
  Open(B::Image());
  view.ClickRow(window, 0);
  view.Type(window, "Hello there, my good friend[02]");
  EXPECT_EQ(view.toolTips[LabelId::CurrentSize], "");
  view.Type(window, "Hello there, pal");
  const std::string hint = view.toolTips[LabelId::CurrentSize];
  const size_t line = hint.find("line 2"), warning = hint.find("end code");
  ASSERT_NE(line, std::string::npos) << hint;
  ASSERT_NE(warning, std::string::npos) << hint;
  EXPECT_LT(line, warning);
}

TEST_F(EditorReferences, RowsOverwrittenByALongerText) {
  Open(S::Image());
  // Line 1's text takes 10 bytes at 0x60000; the GOTO string starts 0x100 further on.
  EXPECT_TRUE(window.RowsOverwrittenBy(0, 10).empty());
  EXPECT_TRUE(window.RowsOverwrittenBy(0, 0x100).empty());
  EXPECT_EQ(window.RowsOverwrittenBy(0, 0x101), std::vector<int>{1});
  EXPECT_EQ(window.RowsOverwrittenBy(0, 0x201), (std::vector<int>{1, 3}));
}

// After another program moved a text while the window was open, Apply wrote into the dead old
// copy and showed the new text as written, and Move to Free Space found nothing leading to the
// old place. Under the ROM's lock each row's address is read from the file as it is now: the
// write lands in the live copy, the old one is left alone, and the rows show the truth.
TEST_F(EditorReferences, WritesFollowATextThatAnotherProgramMoved) {
  const std::string written = "New words";  // as short as the text, so the guard lets it in
  struct Case {
    const char* what;
    int row;  // a record's row or the plain pointer's
    bool move;
  };
  const Case cases[] = {
      {"apply through a record", 2, false},
      {"apply through a plain pointer", 4, false},
      {"move through a record", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFile& file = Open(S::Image());
    // The other program: the text goes to the start of the expansion, every reference with it.
    std::vector<uint8_t> moved = ScriptText("Elsewhere");
    moved.push_back(0x02);
    {
      std::unique_ptr<RomFile> other = OpenForTest(file.Path());
      ASSERT_EQ(MoveTextToFreeSpace(*other, S::kTextAddress, moved).outcome, MoveOutcome::Moved);
    }
    const std::vector<uint8_t> before = file.ReadAll();
    ASSERT_EQ(window.Table().entries[static_cast<size_t>(c.row)].textAddress, S::kTextAddress);
    view.ClickRow(window, c.row);
    view.TakeMessages();
    SnesAddress live = 0xF00000;
    if (c.move) {
      EXPECT_TRUE(window.MoveToFreeSpace(c.row, written + "[02]"));
      live = window.Table().entries[static_cast<size_t>(c.row)].textAddress;
      EXPECT_NE(live, 0xF00000);
    } else {
      view.Type(window, written + "[02]");
      EXPECT_EQ(view.PressApply(window), ApplyResult::Written);
      EXPECT_TRUE(view.TakeMessages().empty());
    }
    const std::vector<uint8_t> after = file.ReadAll();
    std::vector<uint8_t> want = ScriptText(written);
    want.push_back(0x02);
    EXPECT_EQ(Slice(after, SnesToFileOffset(live), want.size()), want);
    // The old copy is as it was (what the other program's move left there).
    EXPECT_EQ(Slice(after, S::kText, 16), Slice(before, S::kText, 16));
    for (int row : {0, 2, 4}) {
      EXPECT_EQ(window.Table().entries[static_cast<size_t>(row)].textAddress, live) << row;
      EXPECT_EQ(view.rows[static_cast<size_t>(row)], written) << row;
    }
    EXPECT_EQ(view.editText, written + "[02]");
    window.OnCommand(CommandId::Close);
  }
}

}  // namespace
}  // namespace lettermoor::test

// Showing an entry, the live size, applying an edit, and the list's mouse and key notifications.

#include "codec/text_encoder.h"
#include "editor/editor_fixture.h"

namespace lettermoor::test {
namespace {

using namespace layout;
namespace text = editor_text;

void ExpectOneMessage(FakeEditorView& view, const std::string& body, const std::string& caption,
                      MessageIcon icon) {
  auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, body);
  EXPECT_EQ(shown[0].caption, caption);
  EXPECT_EQ(shown[0].icon, icon);
}

TEST_F(EditorTest, ClickKeyAndTypingShowTheEntryAndItsSizes) {
  OpenStandard();
  view.ClickRow(window, 2);
  EXPECT_EQ(view.editText, kText1);
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 3/6");
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 15");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 15 (uncompressed)");

  view.KeyToRow(window, 5);  // the last row
  EXPECT_EQ(view.editText, kText1);
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 6/6");

  view.Type(window, "Good[10 1E");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: Unknown");
  view.Type(window, "Good[10 1E 02]");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 7 (uncompressed)");
  view.Type(window, "");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 0 (uncompressed)");
  // The labels of the shown entry do not follow the typing.
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 15");

  // A dictionary word is spelled out and measured at its length.
  view.ClickRow(window, 4);
  EXPECT_EQ(view.editText, kText2);
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 6");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 10 (uncompressed)");
  EXPECT_TRUE(view.messages.empty());
}

// A typed character that is no game character used to be written as some other byte: "\xC3\x92"
// became the end code and cut the string. It is refused before anything is written.
TEST_F(EditorTest, ApplyRefusesCharactersThatAreNotGameCharacters) {
  TempFile& file = OpenStandard();
  const std::vector<uint8_t> before = file.ReadAll();
  for (const char* typed : {"Go\xC3\x92" "d[02]", "Good\tday[02]", "Caf\xC3\xA9[02"}) {
    SCOPED_TRACE(typed);
    view.ClickRow(window, 2);
    view.Type(window, typed);
    EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: Unknown");
    const ApplyResult result = view.PressApply(window);
    EXPECT_EQ(result, MeasureText(typed) == kMeasureBracketError ? ApplyResult::BracketError
                                                                 : ApplyResult::NonGameCharacter);
    const auto said = view.TakeMessages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].caption, text::kPreWriteCaption);
    const std::optional<NonGameCharacter> found = FindNonGameCharacter(typed);
    ASSERT_TRUE(found);
    // With both faults the bracket error is told, as before.
    EXPECT_EQ(said[0].text, MeasureText(typed) == kMeasureBracketError ? std::string(text::kBracketError)
                                                                     : DescribeNonGameCharacter(*found));
    EXPECT_EQ(file.ReadAll(), before);
  }
}

TEST_F(EditorTest, EditTptEntryFollowsTheShownEntry) {
  OpenStandard();
  EXPECT_TRUE(view.IsEnabled(CommandId::EditTptEntry));  // row 0: sprite 5, movement 1
  view.ClickRow(window, 1);                                // sprite 0
  EXPECT_FALSE(view.IsEnabled(CommandId::EditTptEntry));
  view.ClickRow(window, 2);
  EXPECT_TRUE(view.IsEnabled(CommandId::EditTptEntry));
  view.ClickRow(window, 3);  // movement 0
  EXPECT_FALSE(view.IsEnabled(CommandId::EditTptEntry));
  view.ClickRow(window, 5);  // a plain pointer: -1 and -1 pass the test
  EXPECT_TRUE(view.IsEnabled(CommandId::EditTptEntry));

  window.OnCommand(CommandId::RawTextListing);
  for (int row : {0, 1, 2, 3}) {
    view.ClickRow(window, row);
    EXPECT_FALSE(view.IsEnabled(CommandId::EditTptEntry)) << row;
  }
  window.OnCommand(CommandId::PointerTableListing);
  EXPECT_TRUE(view.IsEnabled(CommandId::EditTptEntry));
  window.OnCommand(CommandId::Close);
  EXPECT_FALSE(view.IsEnabled(CommandId::EditTptEntry));
}

TEST_F(EditorTest, ApplyRefusalsLeaveFileListAndEditBoxAsTheyWere) {
  TempFile& file = OpenStandard();
  const auto bytes = file.ReadAll();
  view.ClickRow(window, 0);

  auto expectUntouched = [&](const std::string& typed) {
    EXPECT_EQ(file.ReadAll(), bytes);
    EXPECT_EQ(view.rows[0], "Hello there");
    EXPECT_EQ(view.editText, typed);
    EXPECT_EQ(view.Label(LabelId::Line), "Line: 1/6");
    EXPECT_EQ(view.Label(LabelId::Size), "Size: 14");
    EXPECT_EQ(view.selectionMark, 0);
  };

  view.Type(window, "Hello [03 00 02");
  EXPECT_EQ(view.PressApply(window), ApplyResult::BracketError);
  ExpectOneMessage(view,
                   "A bracket error was detected.  Make sure all brackets are correct and try "
                   "again.",
                   "Pre-Write Error", MessageIcon::Warning);
  expectUntouched("Hello [03 00 02");

  // One byte larger than the 14 the string takes now.
  view.Type(window, "Hello there![03 00 02]");
  EXPECT_EQ(view.PressApply(window), ApplyResult::TooLarge);
  ExpectOneMessage(view,
                   "The new text is larger than the old text.\nShorten the text, or uncheck the "
                   "Prevent Overwrite box.",
                   "Pre-Write Error", MessageIcon::Warning);
  expectUntouched("Hello there![03 00 02]");

  // Dictionary words come back longer than their references, so even an unchanged text is
  // refused under the guard.
  view.ClickRow(window, 4);
  EXPECT_EQ(view.PressApply(window), ApplyResult::TooLarge);
  ExpectOneMessage(view, text::kTooLarge, text::kPreWriteCaption, MessageIcon::Warning);
  EXPECT_EQ(file.ReadAll(), bytes);
  EXPECT_EQ(view.editText, kText2);
}

TEST_F(EditorTest, ApplyOfExactlyTheOldSizeIsWritten) {
  TempFile& file = OpenStandard();
  auto expected = file.ReadAll();
  view.Type(window, "Howdy THERE[03 00 02]");  // 14 bytes, the same as now
  EXPECT_EQ(view.PressApply(window), ApplyResult::Written);
  EXPECT_TRUE(view.messages.empty());
  const auto newBytes = Concat(ScriptText("Howdy THERE"), {0x03, 0x00, 0x02});
  std::copy(newBytes.begin(), newBytes.end(), expected.begin() + kS0);
  EXPECT_EQ(file.ReadAll(), expected);
  EXPECT_EQ(view.rows[0], "Howdy THERE");
  EXPECT_EQ(view.editText, "Howdy THERE[03 00 02]");
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 14");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 14 (uncompressed)");
  EXPECT_EQ(view.selectionMark, 0);
  EXPECT_EQ(view.replacedRows, std::vector<int>{0});
}

TEST_F(EditorTest, ApplyWithoutTheGuardWritesOverWhatFollows) {
  TempFile& file = OpenStandard();
  auto expected = file.ReadAll();
  window.OnCommand(CommandId::PreventOverwrites);
  view.Type(window, "Hello there, friend[03 00 02]");  // 22 bytes over a 14-byte string
  EXPECT_EQ(view.PressApply(window), ApplyResult::Written);
  EXPECT_TRUE(view.messages.empty());
  const auto newBytes = Concat(ScriptText("Hello there, friend"), {0x03, 0x00, 0x02});
  std::copy(newBytes.begin(), newBytes.end(), expected.begin() + kS0);
  EXPECT_EQ(file.ReadAll(), expected);
  EXPECT_EQ(view.rows[0], "Hello there, friend");
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 22");
  EXPECT_EQ(view.rows.size(), static_cast<size_t>(kPointerRows));
}

TEST_F(EditorTest, ApplyRenewsEverySharedRowInThePointerListing) {
  TempFile& file = OpenStandard();
  const auto before = view.rows;
  view.ClickRow(window, 1);
  view.Type(window, "Common text[02]");
  view.PressApply(window);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(Slice(file.ReadAll(), kS3, 13), Concat(ScriptText("Common text"), {0x02, 0x02}));

  auto expected = before;
  expected[1] = expected[3] = "Common text";
  EXPECT_EQ(view.rows, expected);
  EXPECT_EQ(std::set<int>(view.replacedRows.begin(), view.replacedRows.end()),
            (std::set<int>{1, 3}));
  EXPECT_EQ(view.selectionMark, 1);
  EXPECT_EQ(view.editText, "Common text[02]");
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 2/6");
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 12");
}

TEST_F(EditorTest, ApplyInTheRawListingRenewsOnlyItsRow) {
  TempFile& file = OpenStandard();
  window.OnCommand(CommandId::RawTextListing);
  const auto before = view.rows;
  view.replacedRows.clear();
  view.ClickRow(window, 3);
  view.Type(window, "Common text[02]");
  view.PressApply(window);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(Slice(file.ReadAll(), kS3, 12), Concat(ScriptText("Common text"), {0x02}));
  auto expected = before;
  expected[3] = "Common text";
  EXPECT_EQ(view.rows, expected);
  EXPECT_EQ(view.replacedRows, std::vector<int>{3});
  EXPECT_EQ(view.selectionMark, 3);
}

TEST_F(EditorTest, ApplyInCodesOnlyModeEncodesTheByteView) {
  TempFile& file = OpenStandard();
  window.OnCommand(CommandId::DisplayCodesOnly);
  auto bytes = Concat(ScriptText("Jello there"), {0x03, 0x00, 0x02});
  view.Type(window, HexView(bytes));
  view.PressApply(window);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(Slice(file.ReadAll(), kS0, 14), bytes);
  EXPECT_EQ(view.rows[0], "Jello there");
  EXPECT_EQ(view.editText, HexView(bytes));
}

TEST_F(EditorTest, ApplyPastTheEndOfTheFileIsRefusedAndWritesNothing) {
  SyntheticRom rom = StandardRom();
  // Both strings lie in the text window but not (wholly) in a 3 MB file.
  rom.PointerRecord(5, FileOffsetToSnes(0x3FFFF0), 1, 1);
  rom.PointerRecord(6, FileOffsetToSnes(0x3001FC), 1, 1);
  TempFile& file = Open(rom);
  const auto bytes = file.ReadAll();
  window.OnCommand(CommandId::PreventOverwrites);  // guard off

  for (int64_t offset : {int64_t{0x3FFFF0}, int64_t{0x3001FC}}) {
    SCOPED_TRACE(offset);
    const int row = RowOf(offset);
    ASSERT_GE(row, 0);
    view.ClickRow(window, row);
    const auto rows = view.rows;
    view.Type(window, "Hello[02]");
    EXPECT_EQ(view.PressApply(window), ApplyResult::PastEndOfFile);
    auto shown = view.TakeMessages();
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(file.ReadAll(), bytes);
    EXPECT_EQ(view.rows, rows);
  }
}

TEST_F(EditorTest, TextsLongerThan4000CharactersAreShownWhole) {
  SyntheticRom rom = StandardRom();
  rom.Dictionary({"friend", "abcdefghijklmnopqrst"});
  std::vector<uint8_t> words;
  for (int i = 0; i < 250; ++i) words.insert(words.end(), {0x15, 0x02});
  words.push_back(0x02);
  rom.Put(0x60000, words);
  rom.Put(0x61000, Concat(ScriptText(std::string(1400, 'A')), {0x02}));
  rom.PointerRecord(5, FileOffsetToSnes(0x60000), 1, 1);
  rom.PointerRecord(6, FileOffsetToSnes(0x61000), 1, 1);
  Open(rom);

  std::string expected;
  for (int i = 0; i < 250; ++i) expected += "abcdefghijklmnopqrst";
  expected += "[02]";
  view.ClickRow(window, RowOf(0x60000));
  EXPECT_EQ(view.editText, expected);
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 501");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 5001 (uncompressed)");

  // The byte view takes three characters a byte.
  window.OnCommand(CommandId::DisplayCodesOnly);
  view.ClickRow(window, RowOf(0x61000));
  std::vector<uint8_t> big = Concat(ScriptText(std::string(1400, 'A')), {0x02});
  EXPECT_EQ(view.editText.size(), 1401u * 3 + 1);  // with the brackets
  EXPECT_EQ(view.editText, HexView(big));
}

TEST_F(EditorTest, DoubleClickRunsThePointerEditorInThePointerListing) {
  OpenStandard();
  view.DoubleClickRow(window, 1);  // "Edit TPT entry" is grayed for this record
  ASSERT_EQ(view.pointerEditorForms.size(), 1u);
  EXPECT_EQ(view.pointerEditorForms[0].addressText, "C51B35");
  EXPECT_EQ(view.pointerEditorForms[0].spriteNumber, 0);
  EXPECT_EQ(view.pointerEditorForms[0].movementNumber, 3);
  EXPECT_TRUE(view.detailsCalls.empty());
  EXPECT_EQ(view.editText, kText3);  // shown by the click before it

  window.OnCommand(CommandId::RawTextListing);
  view.DoubleClickRow(window, 2);
  EXPECT_EQ(view.pointerEditorForms.size(), 1u);
  ASSERT_EQ(view.detailsCalls.size(), 1u);
  EXPECT_EQ(view.detailsCalls[0].row, 2);
  EXPECT_EQ(view.detailsCalls[0].size, 6);
}

TEST_F(EditorTest, RightClickShowsTheEntryThenItsDetails) {
  TempFile& file = OpenStandard();
  view.Type(window, "unapplied");
  view.RightClickRow(window, 2);
  EXPECT_EQ(view.editText, kText1);
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 3/6");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 15 (uncompressed)");
  ASSERT_EQ(view.detailsCalls.size(), 1u);
  const auto& call = view.detailsCalls[0];
  EXPECT_EQ(call.row, 2);
  EXPECT_EQ(call.size, 15);
  EXPECT_EQ(call.fileName, file.Name());
  EXPECT_EQ(call.rom, window.Rom().handle.get());
  EXPECT_EQ(call.table, &window.Table());
  EXPECT_TRUE(call.hadInterpreterText);
  EXPECT_EQ(call.interpreterText, "Good morning\r\nPAUSE FOR 1E\r\nEND OF STRING");

  window.OnCommand(CommandId::ViewDetails);
  ASSERT_EQ(view.detailsCalls.size(), 2u);
  EXPECT_EQ(view.detailsCalls[1].row, 2);
  EXPECT_TRUE(view.pointerEditorForms.empty());
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(EditorTest, NothingHappensForRowsThatDoNotExist) {
  TempFile& file = OpenStandard();
  const auto bytes = file.ReadAll();
  view.Type(window, "Hi[02]");
  for (int mark : {-1, kPointerRows, kPointerRows + 100}) {
    SCOPED_TRACE(mark);
    view.selectionMark = mark;
    const auto rows = view.rows;
    EXPECT_EQ(view.PressApply(window), ApplyResult::NoEntry);
    window.OnListDoubleClick(view.selectionMark);
    window.OnListRightClick(view.selectionMark);
    window.OnCommand(CommandId::ViewDetails);
    window.OnCommand(CommandId::EditTptEntry);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(view.detailsCalls.empty());
    EXPECT_TRUE(view.pointerEditorForms.empty());
    EXPECT_EQ(view.rows, rows);
    EXPECT_EQ(file.ReadAll(), bytes);
  }
  window.OnCommand(CommandId::RawTextListing);
  view.selectionMark = -1;
  window.OnListDoubleClick(view.selectionMark);
  EXPECT_TRUE(view.detailsCalls.empty());
}

TEST_F(EditorTest, AnEmptyListingReadsAndWritesNothing) {
  TempFile& file = Open(SyntheticRom());  // no pointer leads into the text window
  const auto bytes = file.ReadAll();
  EXPECT_TRUE(window.IsRomOpen());
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(window.Table().count(), 0);
  EXPECT_TRUE(view.messages.empty());

  view.Type(window, "Hi[02]");
  view.PressApply(window);
  window.OnListClick(view.selectionMark);
  window.OnListDoubleClick(view.selectionMark);
  window.OnListRightClick(view.selectionMark);
  window.OnCommand(CommandId::ViewDetails);
  window.OnCommand(CommandId::EditTptEntry);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_TRUE(view.detailsCalls.empty());
  EXPECT_TRUE(view.pointerEditorForms.empty());
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(file.ReadAll(), bytes);
}

TEST_F(EditorTest, SelectRowScrollsHighlightsAndShows) {
  OpenStandard();
  window.SelectRow(4);
  EXPECT_EQ(view.selectionMark, 4);
  EXPECT_EQ(view.ensuredVisible, 4);
  EXPECT_EQ(view.selectedRow, 4);
  EXPECT_EQ(view.editText, kText2);
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 5/6");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 10 (uncompressed)");
}

}  // namespace
}  // namespace lettermoor::test

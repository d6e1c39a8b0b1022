// Working with the real window as a user does: open, pick rows, type, apply, search, dump.

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>

#include <fstream>

#include "main_window_fixture.h"

namespace lettermoor::test {
namespace {

using namespace ui_rom;

std::vector<uint8_t> Bytes(const std::vector<uint8_t>& all, int64_t offset, size_t n) {
  return {all.begin() + offset, all.begin() + offset + static_cast<int64_t>(n)};
}

QList<int> SelectedRows(QListView& list) {
  QList<int> rows;
  for (const QModelIndex& index : list.selectionModel()->selectedIndexes()) rows << index.row();
  return rows;
}

QString Canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

TEST_F(MainWindowTest, OpenFillsTheListAndMovesTheWorkingDirectoryToTheRom) {
  TempFile& file = OpenStandard();
  EXPECT_EQ(window.windowTitle(), "Lettermoor 3.7 - File Loaded");
  EXPECT_TRUE(List().isEnabled());
  EXPECT_TRUE(Edit().isEnabled());
  ASSERT_EQ(RowCount(), kRows);
  const char* previews[] = {"Hello there", "Good morning", "Find a clue",
                            "Hello there", "Good night",   "Good morning"};
  for (int row = 0; row < kRows; ++row) EXPECT_EQ(Row(row), previews[row]) << row;

  // Row 0 is the working row, yet nothing is highlighted.
  EXPECT_EQ(window.SelectionMark(), 0);
  EXPECT_TRUE(SelectedRows(List()).isEmpty());
  EXPECT_EQ(EditText(), "Hello there[03 00 02]");
  EXPECT_EQ(Label(LabelId::Line), "Line: 1/6");
  EXPECT_EQ(Label(LabelId::Size), "Size: 14");
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 14 (uncompressed)");

  EXPECT_EQ(Canonical(QString::fromStdString(logic.DumpFolder())),
            Canonical(QFileInfo(QString::fromStdString(file.Path())).absolutePath()));
  EXPECT_TRUE(modals.TakeMessages().empty());
}

TEST_F(MainWindowTest, CancelledOrRefusedOpenChangesNothing) {
  OpenStandard();
  ClickRow(2);
  Open("");  // cancelled
  EXPECT_EQ(window.SelectionMark(), 2);

  auto other = SyntheticRom(SyntheticRom::kStandardSize, "NOT THE GAME").Save();
  Open(other->Path());
  const auto shown = modals.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "This is an unrecognized ROM.");
  EXPECT_EQ(shown[0].caption, "Bad ROM");
  EXPECT_EQ(shown[0].icon, QMessageBox::NoIcon);
  EXPECT_EQ(shown[0].buttons, 1);
  EXPECT_EQ(shown[0].owner, &window);
  EXPECT_EQ(window.windowTitle(), "Lettermoor 3.7 - File Loaded");
  EXPECT_EQ(RowCount(), kRows);
  EXPECT_EQ(EditText(), "Find a clue[00 02]");
}

TEST_F(MainWindowTest, ClickTypeAndApplyWriteTheRomFile) {
  TempFile& file = OpenStandard();
  ClickRow(1);
  EXPECT_EQ(window.SelectionMark(), 1);
  EXPECT_EQ(SelectedRows(List()), QList<int>{1});
  EXPECT_EQ(EditText(), "Good morning[10 1E 02]");
  EXPECT_EQ(Label(LabelId::Line), "Line: 2/6");
  EXPECT_EQ(Label(LabelId::Size), "Size: 15");

  // The live size follows every keystroke, unbalanced brackets included.
  Retype("Good[10 1E");
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: Unknown");
  Retype("Good evening[10 1E 02]");
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 15 (uncompressed)");
  EXPECT_EQ(Label(LabelId::Size), "Size: 15");

  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  EXPECT_TRUE(modals.TakeMessages().empty());
  const auto bytes = file.ReadAll();
  auto expected = ScriptText("Good evening");
  expected.insert(expected.end(), {0x10, 0x1E, 0x02});
  EXPECT_EQ(Bytes(bytes, kS1, expected.size()), expected);
  // The row and the other row sharing the text show the new text; the order stays.
  EXPECT_EQ(Row(1), "Good evening");
  EXPECT_EQ(Row(5), "Good evening");
  EXPECT_EQ(Row(0), "Hello there");
  EXPECT_EQ(RowCount(), kRows);
  EXPECT_EQ(window.SelectionMark(), 1);
  EXPECT_EQ(EditText(), "Good evening[10 1E 02]");
}

TEST_F(MainWindowTest, RefusedApplyWarnsAndKeepsFileAndText) {
  TempFile& file = OpenStandard();
  const auto before = file.ReadAll();
  ClickRow(4);
  EXPECT_EQ(EditText(), "Good night[02]");

  Retype("Good night, sleep well[02]");
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  auto shown = modals.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text,
            "The new text is larger than the old text.\nShorten the text, or uncheck the Prevent "
            "Overwrite box.");
  EXPECT_EQ(shown[0].caption, "Pre-Write Error");
  EXPECT_EQ(shown[0].icon, QMessageBox::Warning);
  EXPECT_EQ(shown[0].buttons, 1);
  EXPECT_EQ(EditText(), "Good night, sleep well[02]");

  Retype("Good [02");
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  shown = modals.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text,
            "A bracket error was detected.  Make sure all brackets are correct and try again.");
  EXPECT_EQ(shown[0].caption, "Pre-Write Error");
  EXPECT_EQ(shown[0].icon, QMessageBox::Warning);
  EXPECT_EQ(EditText(), "Good [02");

  EXPECT_EQ(file.ReadAll(), before);
  EXPECT_EQ(Row(4), "Good night");
}

// The window used to turn a typed "\u00D2" into the end code (and "\u2019" into "?") before the
// logic saw it. The logic now gets the box's own characters and refuses them by name.
TEST_F(MainWindowTest, TypedCharactersThatAreNotGameCharactersAreRefusedByName) {
  TempFile& file = OpenStandard();
  const auto before = file.ReadAll();
  ClickRow(4);
  for (const QString& typed : {QString::fromUtf8("Go\u00D2d[02]"), QString::fromUtf8("It\u2019s[02]")}) {
    Retype(QString());
    // QTest types ASCII only; the text goes in as a paste or an input method would put it.
    Edit().insertPlainText(typed);
    EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: Unknown");
    QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
    auto shown = modals.TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Pre-Write Error");
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("column 3"))) << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.contains(typed.mid(2, 1))) << shown[0].text.toStdString();
  }
  EXPECT_EQ(file.ReadAll(), before);
}

// A ROM opened read-only says so in the title and grays what would write to it.
TEST_F(MainWindowTest, ARomOpenedReadOnlyGraysWhatWrites) {
  TempFile& file = OpenStandard();
  logic.OpenRomPath(file.Path(), RomOpenMode::View);
  EXPECT_EQ(window.windowTitle(), "Lettermoor 3.7 - File Loaded (read-only)");
  ClickRow(0);
  EXPECT_FALSE(window.ApplyButton()->isEnabled());
  EXPECT_FALSE(window.Action(CommandId::ExpandRom)->isEnabled());
  EXPECT_FALSE(window.Action(CommandId::EditTptEntry)->isEnabled());
  EXPECT_TRUE(window.Action(CommandId::DumpToTextFile)->isEnabled());
  Trigger(CommandId::Close);
  EXPECT_TRUE(window.ApplyButton()->isEnabled());
}

TEST_F(MainWindowTest, EnterInTheEditBoxLeavesTheWindowAndTheTextAlone) {
  OpenStandard();
  Edit().setFocus();
  QTest::keyClick(&Edit(), Qt::Key_End, Qt::ControlModifier);
  QTest::keyClicks(&Edit(), "!");
  for (auto [key, modifiers] : {std::pair{Qt::Key_Return, Qt::NoModifier},
                                std::pair{Qt::Key_Enter, Qt::KeypadModifier},
                                std::pair{Qt::Key_Return, Qt::ShiftModifier}}) {
    QTest::keyClick(&Edit(), key, modifiers);
  }
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(logic.IsRomOpen());
  EXPECT_EQ(EditText(), "Hello there[03 00 02]!");
  EXPECT_EQ(Edit().blockCount(), 1);
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 15 (uncompressed)");
}

TEST_F(MainWindowTest, TypingStopsAtTheLimitWhileProgramTextsStayWhole) {
  OpenStandard();
  Edit().setFocus();

  // Texts set by the program raise no change notice and are not cut.
  window.SetLabel(LabelId::CurrentSize, "untouched");
  window.SetEditText(std::string(4100, 'a'));
  EXPECT_EQ(Label(LabelId::CurrentSize), "untouched");
  EXPECT_EQ(EditText().size(), 4100u);
  QTest::keyClick(&Edit(), Qt::Key_End, Qt::ControlModifier);
  QTest::keyClicks(&Edit(), "b");
  EXPECT_EQ(EditText().size(), 4100u);
  EXPECT_EQ(Label(LabelId::CurrentSize), "untouched");

  // Typing fills up to 4000 characters and no further.
  window.SetEditText(std::string(3998, 'a'));
  QTest::keyClick(&Edit(), Qt::Key_End, Qt::ControlModifier);
  QTest::keyClicks(&Edit(), "xyz");
  EXPECT_EQ(EditText(), std::string(3998, 'a') + "xy");
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 4000 (uncompressed)");

  // Typing over a selection has the selection's room.
  QTest::keyClick(&Edit(), Qt::Key_Left, Qt::ShiftModifier);
  QTest::keyClicks(&Edit(), "z");
  EXPECT_EQ(EditText(), std::string(3998, 'a') + "xz");

  // A paste is cut to what fits.
  QApplication::clipboard()->setText("12345");
  window.SetEditText(std::string(3997, 'a'));
  QTest::keyClick(&Edit(), Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(&Edit(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(EditText(), std::string(3997, 'a') + "123");
}

TEST_F(MainWindowTest, ListKeysAndClicksMoveTheMarkBeforeTheyAreReported) {
  OpenStandard();
  List().setFocus();
  QTest::keyClick(&List(), Qt::Key_Down);
  EXPECT_EQ(window.SelectionMark(), 1);
  EXPECT_EQ(EditText(), "Good morning[10 1E 02]");
  QTest::keyClick(&List(), Qt::Key_End);
  EXPECT_EQ(window.SelectionMark(), 5);
  EXPECT_EQ(Label(LabelId::Line), "Line: 6/6");

  // Unapplied text is dropped by a move, as by any change of row; Enter is not a move.
  Retype("typed");
  QTest::keyClick(&List(), Qt::Key_Return);
  EXPECT_EQ(EditText(), "typed");
  EXPECT_TRUE(window.isVisible());

  // A right-click marks the row first, shows it, then opens the details.
  ClickRow(2, Qt::RightButton);
  EXPECT_EQ(window.SelectionMark(), 2);
  EXPECT_EQ(EditText(), "Find a clue[00 02]");
  EXPECT_EQ(Label(LabelId::Line), "Line: 3/6");

  // A double-click shows the row through its first click, then opens the pointer editor.
  const QPoint row3 = RowCentre(3);
  QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, row3);
  QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, row3);
  EXPECT_EQ(window.SelectionMark(), 3);
  EXPECT_EQ(EditText(), "Hello there[03 00 02]");

  // Blank space below the rows is no row: nothing moves.
  const QPoint blank(20, List().viewport()->height() - 3);
  ASSERT_FALSE(List().indexAt(blank).isValid());
  QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, blank);
  EXPECT_EQ(window.SelectionMark(), 3);
  EXPECT_TRUE(modals.TakeMessages().empty());
}

TEST_F(MainWindowTest, ClipboardItemsFollowTheEditBoxFocusButNotTheMenus) {
  OpenStandard();
  const CommandId clipboard[] = {CommandId::Undo, CommandId::Cut, CommandId::Copy,
                                 CommandId::Paste};
  auto expectClipboardItems = [&](bool enabled) {
    for (CommandId id : clipboard) EXPECT_EQ(window.Action(id)->isEnabled(), enabled);
  };
  expectClipboardItems(false);
  Edit().setFocus();
  expectClipboardItems(true);

  // Opening the Edit menu takes Qt's focus for a moment; the items must stay usable.
  QMenu* editMenu = window.menuBar()->actions().at(1)->menu();
  editMenu->popup(window.mapToGlobal(QPoint(40, 40)));
  QTest::qWait(0);
  expectClipboardItems(true);
  editMenu->close();
  QTest::qWait(0);
  expectClipboardItems(true);

  // Alt+E reaches the same menu through the menu bar's keyboard mode.
  QTest::keyClick(&Edit(), Qt::Key_E, Qt::AltModifier);
  QTest::qWait(0);
  EXPECT_TRUE(editMenu->isVisible());
  expectClipboardItems(true);
  QTest::keyClick(editMenu, Qt::Key_Escape);
  QTest::keyClick(window.menuBar(), Qt::Key_Escape);
  QTest::qWait(0);
  EXPECT_FALSE(editMenu->isVisible());
  expectClipboardItems(true);

  // The items act on the edit box.
  QTest::keyClick(&Edit(), Qt::Key_A, Qt::ControlModifier);
  Trigger(CommandId::Cut);
  EXPECT_EQ(EditText(), "");
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 0 (uncompressed)");
  Trigger(CommandId::Paste);
  EXPECT_EQ(EditText(), "Hello there[03 00 02]");
  Trigger(CommandId::Undo);
  EXPECT_EQ(EditText(), "");

  List().setFocus();
  expectClipboardItems(false);
  Edit().setFocus();
  Trigger(CommandId::Close);
  expectClipboardItems(false);
  EXPECT_EQ(EditText(), "");
}

TEST_F(MainWindowTest, ListOperationsKeepTheMarkApartFromTheHighlight) {
  OpenStandard();
  RowList rows;
  for (int i = 0; i < 8000; ++i) rows.Append("row " + std::to_string(i));
  window.SetAllRows(std::move(rows));
  ASSERT_EQ(RowCount(), 8000);
  EXPECT_EQ(window.SelectionMark(), -1);

  window.SetSelectionMark(7000);
  EXPECT_EQ(window.SelectionMark(), 7000);
  EXPECT_TRUE(SelectedRows(List()).isEmpty());

  window.EnsureVisible(7999);
  const QRect last = List().visualRect(List().model()->index(7999, 0));
  EXPECT_TRUE(List().viewport()->rect().contains(last));
  window.SetRowSelected(7999);
  window.SetRowSelected(7998);
  EXPECT_EQ(SelectedRows(List()), QList<int>{7998});
  EXPECT_EQ(window.SelectionMark(), 7000);

  // Replacing a row in place keeps order, count and the mark.
  window.SetRowText(10, "ten");
  EXPECT_EQ(Row(10), "ten");
  EXPECT_EQ(Row(11), "row 11");
  EXPECT_EQ(RowCount(), 8000);
  EXPECT_EQ(window.SelectionMark(), 7000);
}

TEST_F(MainWindowTest, SearchWindowWalksThroughMatchesAndOwnsItsMessage) {
  OpenStandard();
  std::vector<int> marks;
  std::vector<SeenMessage> notFound;
  bool ran = false;
  modals.onSearch = [&](ui::SearchDialog& dialog) {
    ran = true;
    EXPECT_EQ(dialog.windowTitle(), "Search");
    EXPECT_EQ(dialog.size(), QSize(312, 74));
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(QApplication::focusWidget(), dialog.QueryEdit());
    EXPECT_EQ(dialog.QueryEdit()->maxLength(), 3999);
    EXPECT_TRUE(dialog.FindButton()->isDefault());
    EXPECT_EQ(dialog.FindButton()->text(), "&Find");

    QTest::keyClicks(dialog.QueryEdit(), "gOOd");
    QTest::keyClick(dialog.QueryEdit(), Qt::Key_Return);  // Enter runs Find
    marks.push_back(window.SelectionMark());
    QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);
    marks.push_back(window.SelectionMark());
    QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);
    marks.push_back(window.SelectionMark());
    QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);  // no more: the box says so
    marks.push_back(window.SelectionMark());
    notFound = modals.TakeMessages();
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
  };
  Trigger(CommandId::Search);

  ASSERT_TRUE(ran);
  EXPECT_EQ(marks, (std::vector<int>{1, 4, 5, 5}));
  ASSERT_EQ(notFound.size(), 1u);
  EXPECT_EQ(notFound[0].text, "String not found.");
  EXPECT_EQ(notFound[0].caption, "String not found");
  EXPECT_EQ(notFound[0].icon, QMessageBox::NoIcon);
  EXPECT_NE(notFound[0].owner, &window);
  EXPECT_TRUE(qobject_cast<ui::SearchDialog*>(notFound[0].owner.data()) ||
              notFound[0].owner.isNull());
  // The found row is highlighted, shown and in view.
  EXPECT_EQ(SelectedRows(List()), QList<int>{5});
  EXPECT_EQ(EditText(), "Good morning[10 1E 02]");
  // Messages after the search belong to the main window again.
  Trigger(CommandId::DumpToTextFile);
  const auto after = modals.TakeMessages();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].owner, &window);
}

TEST_F(MainWindowTest, CommandLineOpenWorksLikeThePickAndTheDumpLandsBesideTheRom) {
  TempDir folder;
  const std::string romPath = folder.File("game.smc");
  {
    const auto bytes = ui_rom::Build().Bytes();
    std::ofstream out(romPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // A path relative to where the program was started.
  const QFileInfo rom(QString::fromStdString(romPath));
  QDir::setCurrent(rom.dir().absolutePath() + "/..");
  window.OpenRomFromCommandLine(rom.dir().dirName() + "/game.smc");

  EXPECT_EQ(window.windowTitle(), "Lettermoor 3.7 - File Loaded");
  EXPECT_EQ(logic.Rom().fileName, "game.smc");
  EXPECT_EQ(Canonical(QString::fromStdString(logic.DumpFolder())), Canonical(rom.absolutePath()));
  // The working directory is the program's own business.
  EXPECT_NE(Canonical(QDir::currentPath()), Canonical(rom.absolutePath()));

  Trigger(CommandId::DumpToTextFile);
  const auto shown = modals.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Text has been dumped to ptrlist.txt!\nHave a nice day!");
  EXPECT_EQ(shown[0].caption, "Text dumped");
  EXPECT_EQ(shown[0].icon, QMessageBox::NoIcon);
  QFile dump(QString::fromStdString(folder.File("ptrlist.txt")));
  ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
  EXPECT_EQ(dump.readAll().count('\n'), kRows);
}

}  // namespace
}  // namespace lettermoor::test

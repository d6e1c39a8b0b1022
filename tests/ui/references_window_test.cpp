#include <QTreeWidget>

#include "main_window_fixture.h"
#include "support/reference_scenario.h"
#include "ui/references_window.h"

namespace lettermoor::test {
namespace {

// Tools > Find References lists the record and the plain pointer that lead to line 2's text; a
// double-click on a row moves the main window to that row's line.
TEST_F(MainWindowTest, FindReferencesListsTheTextsReferencesAndDoubleClickSelectsTheRow) {
  OpenStandard();
  ClickRow(1);
  ASSERT_TRUE(window.Action(CommandId::FindReferences)->isEnabled());
  Trigger(CommandId::FindReferences);
  ui::ReferencesWindow* refs = window.References();
  ASSERT_NE(refs, nullptr);
  ASSERT_TRUE(refs->isVisible());
  EXPECT_FALSE(refs->isModal());
  EXPECT_EQ(refs->Note()->text(), QString::fromLatin1(references_text::kBlindSpots));
  EXPECT_EQ(refs->FreeSpace()->text(), QString::fromLatin1(references_text::kNoFreeSpace));
  EXPECT_TRUE(refs->FreeSpace()->isVisible());
  QTreeWidget* rows = refs->Rows();
  ASSERT_EQ(rows->topLevelItemCount(), 2);
  EXPECT_EQ(rows->topLevelItem(0)->text(0), QStringLiteral("Record"));
  EXPECT_EQ(rows->topLevelItem(0)->text(2), QStringLiteral("2"));
  EXPECT_EQ(rows->topLevelItem(1)->text(0), QStringLiteral("Plain pointer"));
  EXPECT_EQ(rows->topLevelItem(1)->text(2), QStringLiteral("6"));

  const QRect item = rows->visualItemRect(rows->topLevelItem(1));
  QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, item.center());
  QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, item.center());
  EXPECT_EQ(List().currentIndex().row(), 5);
  EXPECT_EQ(Label(LabelId::Line), QStringLiteral("Line: 6/6"));

  // Escape closes the references window, not the program.
  refs->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(refs));
  QTest::keyClick(rows, Qt::Key_Escape);
  EXPECT_FALSE(refs->isVisible());
  EXPECT_TRUE(window.isVisible());
  Trigger(CommandId::FindReferences);

  Trigger(CommandId::Close);
  EXPECT_FALSE(refs->isVisible());
  EXPECT_FALSE(window.Action(CommandId::FindReferences)->isEnabled());
}

// An apply over a string that line 2 reads the end of: the size label's hint names line 2 while
// the text is typed and after the write, without a message box, and line 2's row shows its new text.
TEST_F(MainWindowTest, AnApplyOverSharedBytesNamesTheOtherLineInTheSizeHint) {
  const auto file = SharedBytesScenario::Image().Save();
  Open(file->Path());
  ClickRow(0);
  Retype(QStringLiteral("Hello there, pal[02]"));
  const QString typed = window.Label(LabelId::CurrentSize)->toolTip();
  EXPECT_TRUE(typed.contains(QStringLiteral("line 2"))) << typed.toStdString();
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  EXPECT_TRUE(modals.TakeMessages().empty());
  const QString applied = window.Label(LabelId::CurrentSize)->toolTip();
  EXPECT_TRUE(applied.contains(QStringLiteral("line 2"))) << applied.toStdString();
  EXPECT_NE(applied, typed);
  EXPECT_EQ(Row(1), QStringLiteral("there, pal"));
}

// Tools > Check Consistency beside an original ROM: the lines left as the original, each with its
// line; a double-click goes to that line, and Escape closes the window.
TEST_F(MainWindowTest, CheckConsistencyListsLinesGoesToThemAndClosesOnEscape) {
  OpenStandard();
  const auto original = ui_rom::Build().Save();
  ASSERT_TRUE(logic.Doc().SetOriginal(original->Path()).Accepted());
  ASSERT_TRUE(window.Action(CommandId::CheckConsistency)->isEnabled());
  Trigger(CommandId::CheckConsistency);
  ui::ReferencesWindow* found = window.Consistency();
  ASSERT_NE(found, nullptr);
  ASSERT_TRUE(found->isVisible());
  QTreeWidget* rows = found->Rows();
  ASSERT_GT(rows->topLevelItemCount(), 1);
  QTreeWidgetItem* last = rows->topLevelItem(rows->topLevelItemCount() - 1);
  EXPECT_EQ(last->text(0), QStringLiteral("Left as the original"));
  const int line = last->text(2).toInt();
  ASSERT_GT(line, 1);

  const QRect item = rows->visualItemRect(last);
  QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, item.center());
  QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, item.center());
  EXPECT_EQ(List().currentIndex().row(), line - 1);

  found->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(found));
  QTest::keyClick(rows, Qt::Key_Escape);
  EXPECT_FALSE(found->isVisible());
  EXPECT_TRUE(window.isVisible());  // the main window's own Escape does not take it
}

}  // namespace
}  // namespace lettermoor::test

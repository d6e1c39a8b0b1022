#include <QTreeWidget>

#include "main_window_fixture.h"
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

  Trigger(CommandId::Close);
  EXPECT_FALSE(refs->isVisible());
  EXPECT_FALSE(window.Action(CommandId::FindReferences)->isEnabled());
}

}  // namespace
}  // namespace lettermoor::test

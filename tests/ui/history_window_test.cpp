// File > History... and Edit > Undo Last Change, worked with real keys and clicks: each undo
// writes the old bytes back, the list and the shown entry follow, the mark stays.

#include <QMenu>
#include <QTreeWidget>

#include <algorithm>

#include "main_window_fixture.h"
#include "ui/history_dialog.h"

namespace lettermoor::test {
namespace {

using namespace ui_rom;

class HistoryWindowTest : public MainWindowTest {
 protected:
  void ApplyTo(int row, const QString& text) {
    ClickRow(row);
    Retype(text);
    QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  }
};

TEST_F(HistoryWindowTest, UndoFromTheEditMenuAndFromTheHistoryWindow) {
  TempFile& file = OpenStandard();
  const std::vector<uint8_t> start = file.ReadAll();
  ApplyTo(1, QStringLiteral("Good evening[10 1E 02]"));
  const std::vector<uint8_t> first = file.ReadAll();
  ApplyTo(4, QStringLiteral("Good day[02]"));
  ASSERT_NE(file.ReadAll(), first);
  ASSERT_TRUE(modals.TakeMessages().empty());

  // Edit > Undo Last Change by its keys, the second apply's row marked: the row shows its text
  // again, and the mark stays.
  EXPECT_TRUE(window.Action(CommandId::UndoLastChange)->isEnabled());
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(file.ReadAll(), first);
  EXPECT_EQ(Row(4), "Good night");
  EXPECT_EQ(window.SelectionMark(), 4);
  EXPECT_EQ(EditText(), "Good night[02]");

  // The History window lists undo, second and first apply; the first picked and undone by a
  // click on Undo, then Escape closes it.
  ClickRow(1);
  bool ran = false;
  modals.onDialog = [&](QDialog& d) {
    auto* dialog = qobject_cast<ui::HistoryDialog*>(&d);
    if (!dialog) return false;
    ran = true;
    QTreeWidget* list = dialog->List();
    EXPECT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("undo"));
    QTreeWidgetItem* oldest = list->topLevelItem(2);
    EXPECT_EQ(oldest->text(2), QStringLiteral("apply"));
    EXPECT_EQ(oldest->text(3), QStringLiteral("2"));
    EXPECT_TRUE(oldest->text(4).contains(QStringLiteral("Good evening")));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(oldest).center());
    QTest::mouseClick(dialog->UndoButton(), Qt::LeftButton);
    EXPECT_EQ(list->topLevelItemCount(), 4);  // read again: the undo is the newest entry
    EXPECT_EQ(list->currentItem()->text(0), QStringLiteral("1")) << "the picked entry stays picked";
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    return true;
  };
  Trigger(CommandId::History);
  ASSERT_TRUE(ran);
  EXPECT_EQ(file.ReadAll(), start);
  EXPECT_EQ(Row(1), "Good morning");
  EXPECT_EQ(window.SelectionMark(), 1);
  EXPECT_EQ(EditText(), "Good morning[10 1E 02]");
  EXPECT_TRUE(modals.TakeMessages().empty());

  // Nothing left to take back: said, and nothing written.
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
  const std::vector<SeenMessage> said = modals.TakeMessages();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].caption, QStringLiteral("Undo"));
  EXPECT_EQ(file.ReadAll(), start);
}

// The new items have mnemonics of their own within their menus.
TEST_F(HistoryWindowTest, TheNewItemsHaveMnemonicsUniqueInTheirMenus) {
  for (CommandId id : {CommandId::History, CommandId::UndoLastChange}) {
    QAction* action = window.Action(id);
    const auto menus = action->associatedObjects();
    ASSERT_FALSE(menus.isEmpty());
    for (QObject* object : menus) {
      auto* menu = qobject_cast<QMenu*>(object);
      if (!menu) continue;
      std::vector<QChar> keys;
      for (QAction* a : menu->actions()) {
        const QString text = a->text();
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        if (amp >= 0 && amp + 1 < text.size()) keys.push_back(text.at(amp + 1).toLower());
      }
      const QString mine = action->text();
      const QChar key = mine.at(mine.indexOf(QLatin1Char('&')) + 1).toLower();
      EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 1) << mine.toStdString();
    }
  }
}

}  // namespace
}  // namespace lettermoor::test

// Not checks: pictures of the main window and the search window for the docs, written only when
// LETTERMOOR_SHOTS_DIR names a folder. Run under a real display (Xvfb) at QT_FONT_DPI 96 and 144.
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QToolTip>

#include "ui/insert_code_dialog.h"

#include "sample/sample_rom.h"
#include "ui/main_window_fixture.h"

namespace lettermoor::test {
namespace {

QString ShotPath(const char* name) {
  return QDir(qEnvironmentVariable("LETTERMOOR_SHOTS_DIR")).filePath(QString::fromLatin1(name));
}

// The whole top-level window, frame excluded, as the user sees it.
void Save(QWidget& widget, const char* name) {
  QApplication::processEvents();
  EXPECT_TRUE(widget.grab().save(ShotPath(name)));
}

TEST_F(MainWindowTest, Screenshots) {
  if (qEnvironmentVariableIsEmpty("LETTERMOOR_SHOTS_DIR")) GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  TempDir dir;
  const std::string rom = dir.File("sample.smc");
  ASSERT_TRUE(SaveSampleRom(rom, false));
  Open(rom);
  Save(window, "main-open.png");

  // A row further down, clicked.
  List().scrollTo(List().model()->index(40, 0), QAbstractItemView::PositionAtTop);
  ClickRow(45);
  Save(window, "main-click.png");

  // The first row that shares its string with a later one, edited and applied.
  const auto& entries = logic.Table().entries;
  int shared = -1;
  for (int i = 0; i + 1 < logic.Table().count() && shared < 0; ++i) {
    for (int j = i + 1; j < logic.Table().count(); ++j) {
      if (entries[static_cast<size_t>(i)].textAddress == entries[static_cast<size_t>(j)].textAddress) {
        shared = i;
        break;
      }
    }
  }
  ASSERT_GE(shared, 0);
  List().scrollTo(List().model()->index(shared, 0), QAbstractItemView::PositionAtCenter);
  ClickRow(shared);
  Retype(QStringLiteral("Hi.[13 02]"));
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  Save(window, "main-apply-shared.png");

  ui::SearchDialog search(&window, [](const std::string&) {});
  search.QueryEdit()->setText(QStringLiteral("apple"));
  search.show();
  Save(search, "dialog-search.png");
}

// The edit box that reads the codes: a text with codes of every group and a tooltip over one (the
// screen is grabbed, since a tooltip is a window of its own), Insert Code, and a fault.
TEST_F(MainWindowTest, CodeScreenshots) {
  if (qEnvironmentVariableIsEmpty("LETTERMOOR_SHOTS_DIR")) GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  TempDir dir;
  const std::string rom = dir.File("sample.smc");
  ASSERT_TRUE(SaveSampleRom(rom, false));
  Open(rom);
  window.move(0, 0);
  Retype(QStringLiteral("[1C 02 01], the wind[03 00]turned cold.[1F 02 05][10 1E][02]"));
  QApplication::processEvents();
  QTextCursor cursor(Edit().document());
  cursor.setPosition(3);
  const QPoint at = Edit().cursorRect(cursor).center();
  QTest::mouseMove(Edit().viewport(), at);
  QHelpEvent help(QEvent::ToolTip, at, Edit().viewport()->mapToGlobal(at));
  QApplication::sendEvent(Edit().viewport(), &help);
  QTest::qWait(600);
  const QRect frame = window.frameGeometry();
  EXPECT_TRUE(window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                  .save(ShotPath("edit-box-codes.png")));
  QToolTip::hideText();

  Retype(QStringLiteral("Hello, [1C 02 01]! The wind[03 00 turned cold.[02]"));
  Save(window, "edit-box-fault.png");

  ui::InsertCodeDialog insert(&window, logic.Table().count(), [](int) { return std::optional<uint32_t>(); });
  insert.SearchField()->setText(QStringLiteral("name"));
  insert.show();
  Save(insert, "dialog-insert-code.png");
}

}  // namespace
}  // namespace lettermoor::test

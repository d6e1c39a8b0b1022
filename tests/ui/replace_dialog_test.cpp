// Edit > Replace in All Texts with real events: a name renamed through the sample's script.

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <map>
#include <set>
#include <unordered_map>

#include "entries/text_plan.h"
#include "sample/sample_rom.h"
#include "ui/main_window_fixture.h"
#include "ui/replace_dialog.h"
#include "ui/script_report_window.h"

namespace lettermoor::test {
namespace {

class ReplaceWindowTest : public MainWindowTest {
 protected:
  // Each row's text and the bytes of its string, as the file holds them now.
  struct Seen {
    std::string text;
    std::vector<uint8_t> bytes;
  };
  std::vector<Seen> SeenRows(const std::string& path) {
    const std::vector<uint8_t> file = ReadBytesOf(path);
    std::vector<Seen> rows;
    for (int row = 0; row < logic.Table().count(); ++row) {
      int32_t size = 0;
      Seen& s = rows.emplace_back();
      s.text = logic.Doc().EntryText(row, &size);
      const int64_t at = logic.Doc().EntryOffset(row);
      s.bytes.assign(file.begin() + at, file.begin() + at + size);
    }
    return rows;
  }
};

TEST_F(ReplaceWindowTest, RenamesANameOnEveryLineButTheUntickedOne) {
  TempDir dir;
  const std::string rom = dir.File("sample.smc");
  ASSERT_TRUE(SaveSampleRom(rom, true));
  Open(rom);
  const std::vector<Seen> before = SeenRows(rom);
  const std::vector<TextEntry> entries = logic.Table().entries;  // where each row led before
  std::set<SnesAddress> named;  // the texts that hold the name
  std::map<SnesAddress, int> rowsOf;
  for (size_t row = 0; row < before.size(); ++row) {
    ++rowsOf[entries[row].textAddress];
    if (before[row].text.find("Tobias") != std::string::npos) named.insert(entries[row].textAddress);
  }
  ASSERT_GT(named.size(), 20u);
  ASSERT_TRUE(std::any_of(named.begin(), named.end(), [&](SnesAddress a) { return rowsOf[a] > 1; }))
      << "no shared text holds the name";

  std::optional<SnesAddress> unticked;
  bool ran = false;
  modals.onDialog = [&](QDialog& dialog) {
    auto* replace = qobject_cast<ui::ReplaceDialog*>(&dialog);
    if (!replace) return false;
    ran = true;
    EXPECT_EQ(dialog.windowTitle(), "Replace in All Texts");
    QTest::keyClicks(replace->FindEdit(), "tobias");
    QTest::keyClicks(replace->ReplaceEdit(), "Tobiah");
    QTest::keyClick(replace->ReplaceEdit(), Qt::Key_Return);  // Enter runs Find
    QListWidget& texts = *replace->Texts();
    EXPECT_EQ(texts.count(), static_cast<int>(named.size()));
    EXPECT_TRUE(replace->ReplaceButton()->isEnabled());
    // Every text is listed ticked, with the change: "Line N: ...Tobias... -> ...Tobiah...".
    for (int i = 0; i < texts.count(); ++i) {
      const QString item = texts.item(i)->text();
      EXPECT_TRUE(item.startsWith("Line")) << item.toStdString();
      EXPECT_TRUE(item.contains(QRegularExpression("Tobias.* -> .*Tobiah"))) << item.toStdString();
      EXPECT_EQ(texts.item(i)->checkState(), Qt::Checked);
    }
    // The first one unticked with the keyboard: it stays as it is.
    texts.setFocus();
    QTest::mouseClick(texts.viewport(), Qt::LeftButton, {}, texts.visualItemRect(texts.item(1)).center());
    QTest::keyClick(texts.viewport(), Qt::Key_Up);
    QTest::keyClick(texts.viewport(), Qt::Key_Space);
    EXPECT_EQ(texts.item(0)->checkState(), Qt::Unchecked);
    const int line = texts.item(0)->text().section(' ', 1, 1).remove(':').remove(',').toInt();
    unticked = entries[static_cast<size_t>(line - 1)].textAddress;
    QTest::mouseClick(replace->ReplaceButton(), Qt::LeftButton);
    return true;
  };
  QTest::keyClick(&window, Qt::Key_H, Qt::ControlModifier);
  ASSERT_TRUE(ran);
  ASSERT_TRUE(unticked);
  EXPECT_TRUE(modals.TakeMessages().empty());
  ASSERT_TRUE(window.ScriptReport());
  EXPECT_TRUE(window.ScriptReport()->isVisible());
  EXPECT_EQ(window.ScriptReport()->windowTitle(), "Replace in All Texts: \"tobias\" by \"Tobiah\"");
  EXPECT_TRUE(window.ScriptReport()->Text()->toPlainText().contains(", 0 too large, 0 stale), 0 unchanged."));

  // Every row of a renamed text, shared ones too, shows the new name (a renamed text that no
  // longer fits moved to free space). Every other row's string holds the bytes it held, but for
  // the jumps to a renamed text that moved: they lead to its new place.
  const std::vector<Seen> after = SeenRows(rom);
  ASSERT_EQ(after.size(), before.size());
  std::unordered_map<SnesAddress, SnesAddress> movedTo;
  for (size_t row = 0; row < before.size(); ++row) {
    const SnesAddress was = entries[row].textAddress, now = logic.Table().entries[row].textAddress;
    if (was != now) movedTo[was] = now;
  }
  int renamed = 0;
  for (size_t row = 0; row < before.size(); ++row) {
    SCOPED_TRACE(row);
    const SnesAddress was = entries[row].textAddress;
    if (named.count(was) && was != *unticked) {
      EXPECT_EQ(after[row].text.find("Tobias"), std::string::npos);
      EXPECT_NE(after[row].text.find("Tobiah"), std::string::npos);
      EXPECT_EQ(Row(static_cast<int>(row)).toStdString(), logic.RowPreview(static_cast<int>(row)));
      ++renamed;
    } else {
      EXPECT_EQ(movedTo.count(was), 0u);
      std::vector<uint8_t> followed = before[row].bytes;
      FollowMoves(followed, movedTo);
      EXPECT_EQ(after[row].bytes, followed);
      if (followed == before[row].bytes) {
        EXPECT_EQ(after[row].text, before[row].text);
      }
    }
  }
  EXPECT_GT(renamed, static_cast<int>(named.size()));  // more rows than texts: shared ones
}

TEST_F(ReplaceWindowTest, EscapeClosesTheWindowAndAReadOnlyRomGraysIt) {
  const TempFile& rom = OpenStandard();
  const std::vector<uint8_t> bytes = rom.ReadAll();
  QAction* item = window.Action(CommandId::ReplaceInAllTexts);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->text(), "&Replace in All Texts...");
  EXPECT_TRUE(item->isEnabled());
  // Its mnemonic is its own in the Edit menu.
  std::map<QChar, int> mnemonics;
  for (QAction* a : window.menuBar()->actions()[1]->menu()->actions()) {
    const qsizetype amp = a->text().indexOf('&');
    if (amp >= 0) ++mnemonics[a->text().at(amp + 1).toLower()];
  }
  for (const auto& [key, count] : mnemonics) EXPECT_EQ(count, 1) << QString(key).toStdString();

  bool closed = false;
  modals.onDialog = [&](QDialog& dialog) {
    auto* replace = qobject_cast<ui::ReplaceDialog*>(&dialog);
    if (!replace) return false;
    QTest::keyClicks(replace->FindEdit(), "o");
    QTest::keyClicks(replace->ReplaceEdit(), "0");
    QTest::mouseClick(replace->FindButton(), Qt::LeftButton);
    EXPECT_EQ(replace->Texts()->count(), 3);
    // A changed query empties the list: Replace writes only what a Find showed.
    QTest::keyClicks(replace->ReplaceEdit(), "0");
    EXPECT_EQ(replace->Texts()->count(), 0);
    EXPECT_FALSE(replace->ReplaceButton()->isEnabled());
    QTest::keyClick(replace, Qt::Key_Escape);
    closed = !replace->isVisible();
    return true;
  };
  item->trigger();
  EXPECT_TRUE(closed);
  EXPECT_EQ(rom.ReadAll(), bytes);
  EXPECT_FALSE(window.ScriptReport() && window.ScriptReport()->isVisible());

  logic.OpenRomPath(rom.Path(), RomOpenMode::View);
  EXPECT_FALSE(item->isEnabled());
}

// Not a check: the picture of the window for the docs, written only when LETTERMOOR_SHOTS_DIR
// names a folder (run under Xvfb, as the other screenshots).
TEST_F(ReplaceWindowTest, ReplaceScreenshot) {
  if (qEnvironmentVariableIsEmpty("LETTERMOOR_SHOTS_DIR")) GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  TempDir dir;
  const std::string rom = dir.File("sample.smc");
  ASSERT_TRUE(SaveSampleRom(rom, true));
  Open(rom);
  ui::ReplaceDialog dialog(&window, [this](const ReplaceQuery& q) { return logic.FindReplacements(q); });
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTest::keyClicks(dialog.FindEdit(), "Tobias");
  QTest::keyClicks(dialog.ReplaceEdit(), "Tobiah");
  QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);
  ASSERT_GT(dialog.Texts()->count(), 2);
  dialog.Texts()->item(1)->setCheckState(Qt::Unchecked);
  dialog.Texts()->setCurrentRow(2);
  QApplication::processEvents();
  const QString path = QDir(qEnvironmentVariable("LETTERMOOR_SHOTS_DIR")).filePath(QStringLiteral("dialog-replace.png"));
  EXPECT_TRUE(dialog.grab().save(path));
}

}  // namespace
}  // namespace lettermoor::test

// A character table in the real window: found beside the ROM, named in the status bar, its
// letters typed, shown and marked, and chosen or dropped with Options > Character Table...

#include <QInputMethodEvent>
#include <QLabel>

#include <fstream>

#include "main_window_fixture.h"
#include "sample/sample_font.h"
#include "sample/sample_rom.h"
#include "ui/settings_store.h"
#include "ui/text_preview_window.h"

namespace lettermoor::test {
namespace {

class MainWindowTable : public MainWindowTest {
 protected:
  MainWindowTable() : store_(QString::fromStdString(dir_.File("lettermoor.conf"))) {
    window.UseSettings(&store_);
    window.SetTablePrompt([this] { return std::exchange(nextTable_, std::nullopt); });
  }
  ~MainWindowTable() override { window.UseSettings(nullptr); }

  // Types letters beyond ASCII as an input method does (key clicks carry ASCII only).
  void TypeOver(const QString& text) {
    Edit().setFocus();
    QTest::keyClick(&Edit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&Edit(), Qt::Key_Delete);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(&Edit(), &commit);
  }
  QString TableLabel() const { return window.TableLabel()->isHidden() ? QString() : window.TableLabel()->text(); }

  TempDir dir_;
  ui::SettingsStore store_;
  std::optional<QString> nextTable_;
};

TEST_F(MainWindowTable, TheTableBesideTheRomSpellsItsLettersUntilDropped) {
  const std::string rom = dir_.File("sample.smc");
  ASSERT_TRUE(SaveSampleRom(rom, false));
  std::ofstream(dir_.File("sample.tbl"), std::ios::binary) << kSampleCharacterTable;
  Open(rom);
  EXPECT_EQ(TableLabel(), QStringLiteral("Table: sample.tbl"));
  const QString cafe = QStringLiteral("Caf\u00E9 d\u00E9j\u00E0 vu.[13 02]");

  ClickRow(3);
  TypeOver(cafe);
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  ASSERT_TRUE(modals.TakeMessages().empty());
  EXPECT_EQ(QString::fromStdString(EditText()), cafe);
  EXPECT_EQ(Row(3), QStringLiteral("Caf\u00E9 d\u00E9j\u00E0 vu."));  // the list leaves codes out
  EXPECT_EQ(Label(LabelId::CurrentSize), QStringLiteral("Current Size: 15 (uncompressed)"));
  // The preview draws the table's bytes, with the glyphs drawn for them.
  window.PreviewAction()->trigger();
  const TextLayoutResult& laid = window.Preview()->Layout();
  ASSERT_GE(laid.items.size(), 4u);
  EXPECT_EQ(laid.items[3].kind, LayoutItem::Character);
  EXPECT_EQ(laid.items[3].value, 0x8C);
  window.Preview()->close();

  // A letter the table has not is refused by name; nothing is written.
  TypeOver(QStringLiteral("Stra\u00DFe[02]"));
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  std::vector<SeenMessage> seen = modals.TakeMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].text.contains(QStringLiteral("sample.tbl")));
  TypeOver(cafe);

  // Dropped: the same bytes are the game's own characters again, and that is remembered.
  nextTable_ = QString();
  Trigger(CommandId::CharacterTable);
  EXPECT_EQ(TableLabel(), QString());
  ClickRow(3);
  EXPECT_EQ(EditText(), "Caf\\ d\\j_ vu.[13 02]");
  EXPECT_EQ(store_.CharacterTable(QString::fromStdString(rom)), QStringLiteral("-"));
  Open(rom);
  EXPECT_EQ(TableLabel(), QString());

  // A bad table is refused with its line; the one in use (none) stays.
  std::ofstream(dir_.File("bad.tbl"), std::ios::binary) << "8C=\u00E9\n8E=\u00E9\n";
  nextTable_ = QString::fromStdString(dir_.File("bad.tbl"));
  Trigger(CommandId::CharacterTable);
  seen = modals.TakeMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].text.contains(QStringLiteral("line 2")));
  EXPECT_EQ(TableLabel(), QString());

  nextTable_ = QString::fromStdString(dir_.File("sample.tbl"));
  Trigger(CommandId::CharacterTable);
  EXPECT_EQ(TableLabel(), QStringLiteral("Table: sample.tbl"));
  ClickRow(3);
  EXPECT_EQ(QString::fromStdString(EditText()), cafe);
}

// The picture in the README: "Café" on the sample, through its table, in the preview, when
// LETTERMOOR_SHOTS_DIR names a folder.
TEST_F(MainWindowTable, PreviewScreenshot) {
  const QString shots = qEnvironmentVariable("LETTERMOOR_SHOTS_DIR");
  if (shots.isEmpty()) GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  const std::string rom = dir_.File("sample.smc");
  ASSERT_TRUE(SaveSampleRom(rom, false));
  std::ofstream(dir_.File("sample.tbl"), std::ios::binary) << kSampleCharacterTable;
  Open(rom);
  ClickRow(3);
  TypeOver(QStringLiteral("@Caf\u00E9 cr\u00E8me, gar\u00E7on: voil\u00E0 la f\u00EAte \u00F4 d\u00E9j\u00E0 vu.[13 02]"));
  window.PreviewAction()->trigger();
  ui::TextPreviewWindow* preview = window.Preview();
  preview->resize(560, 360);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
  QApplication::processEvents();
  EXPECT_TRUE(preview->grab().save(QDir(shots).filePath(QStringLiteral("preview-table.png"))));
}

}  // namespace
}  // namespace lettermoor::test

// A character table in the real window: found beside the ROM, named in the status bar, its
// letters typed, shown and marked, and chosen or dropped with Options > Character Table...

#include <QLabel>

#include <fstream>

#include "main_window_fixture.h"
#include "sample/sample_font.h"
#include "sample/sample_rom.h"
#include "ui/settings_store.h"

namespace lettermoor::test {
namespace {

class MainWindowTable : public MainWindowTest {
 protected:
  MainWindowTable() : store_(QString::fromStdString(dir_.File("lettermoor.conf"))) {
    window.UseSettings(&store_);
    window.SetTablePrompt([this] { return std::exchange(nextTable_, std::nullopt); });
  }
  ~MainWindowTable() override { window.UseSettings(nullptr); }

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
  Retype(cafe);
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  ASSERT_TRUE(modals.TakeMessages().empty());
  EXPECT_EQ(QString::fromStdString(EditText()), cafe);
  EXPECT_EQ(Row(3), cafe);
  EXPECT_EQ(Label(LabelId::CurrentSize), QStringLiteral("Current Size: 15 (uncompressed)"));

  // A letter the table has not is refused by name; nothing is written.
  Retype(QStringLiteral("Stra\u00DFe[02]"));
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  std::vector<SeenMessage> seen = modals.TakeMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].text.contains(QStringLiteral("sample.tbl")));
  Retype(cafe);

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

}  // namespace
}  // namespace lettermoor::test

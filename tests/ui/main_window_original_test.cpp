// The original ROM in the real window, worked with real events: the original text above the edit
// box, the translated marks in the list, the progress line in the status bar, and Find Next
// Untranslated by its shortcut.

#include <QStatusBar>

#include "main_window_fixture.h"
#include "sample/sample_rom.h"
#include "ui/entry_row_model.h"
#include "ui/settings_store.h"

namespace lettermoor::test {
namespace {

class MainWindowOriginal : public MainWindowTest {
 protected:
  MainWindowOriginal() : store_(QString::fromStdString(dir_.File("lettermoor.conf"))) {
    window.UseSettings(&store_);
    window.SetOriginalPathPrompt([this] { return std::exchange(nextOriginal_, QString()); });
  }
  ~MainWindowOriginal() override { window.UseSettings(nullptr); }  // the store goes first

  void ChooseOriginal(const std::string& path) {
    nextOriginal_ = QString::fromStdString(path);
    Trigger(CommandId::OriginalRom);
  }
  bool Marked(int row) { return List().model()->index(row, 0).data(ui::EntryRowModel::kTranslatedRole).toBool(); }
  QString Progress() const { return window.ProgressLabel()->isHidden() ? QString() : window.ProgressLabel()->text(); }
  QString Shown(const std::string& text) const { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

  TempDir dir_;
  ui::SettingsStore store_;
  QString nextOriginal_;
};

TEST_F(MainWindowOriginal, TheOriginalBesideTheTextMarksAndFindsWhatIsLeft) {
  const std::string rom = dir_.File("sample.smc"), original = dir_.File("original.smc");
  ASSERT_TRUE(SaveSampleRom(rom, false));
  ASSERT_TRUE(SaveSampleRom(original, false));
  Open(rom);
  const int rows = RowCount();
  ASSERT_GT(rows, 10);
  EXPECT_TRUE(window.OriginalBox()->isHidden());
  EXPECT_EQ(Progress(), "");
  EXPECT_FALSE(window.Action(CommandId::FindNextUntranslated)->isEnabled());

  ChooseOriginal(original);
  EXPECT_TRUE(modals.TakeMessages().empty());
  EXPECT_TRUE(window.OriginalBox()->isVisible());
  EXPECT_TRUE(window.OriginalBox()->isReadOnly());
  EXPECT_EQ(window.OriginalBox()->toPlainText(), Shown(EditText()));  // row 0, as it was
  EXPECT_LT(window.OriginalBox()->geometry().bottom(), Edit().geometry().top());
  EXPECT_EQ(Progress(), QStringLiteral("Translated: 0 of %1 lines (0%)").arg(rows));
  EXPECT_FALSE(Marked(0));
  EXPECT_EQ(store_.OriginalRom(QString::fromStdString(rom)), QString::fromStdString(original));

  // A row clicked and retyped: the original text stays above the new one, the row is marked.
  ClickRow(3);
  const QString before = Shown(EditText());
  EXPECT_EQ(window.OriginalBox()->toPlainText(), before);
  Retype(QStringLiteral("Hi.[13 02]"));
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  ASSERT_TRUE(modals.TakeMessages().empty());
  EXPECT_EQ(EditText(), "Hi.[13 02]");
  EXPECT_EQ(window.OriginalBox()->toPlainText(), before);
  EXPECT_TRUE(Marked(3));
  EXPECT_FALSE(List().model()->index(3, 0).data(Qt::DecorationRole).value<QPixmap>().isNull());
  int translated = 0;
  for (int row = 0; row < rows; ++row) translated += Marked(row);
  EXPECT_GE(translated, 1);  // row 3, and any row that shares its text
  EXPECT_EQ(Progress(), QStringLiteral("Translated: %1 of %2 lines (%3%)")
                            .arg(translated)
                            .arg(rows)
                            .arg(translated * 100 / rows));

  // Find Next Untranslated by its keys, from the list: the first unmarked row after row 3.
  int expected = 4;
  while (Marked(expected)) ++expected;
  List().setFocus();
  QTest::keyClick(&List(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(window.SelectionMark(), expected);
  EXPECT_TRUE(List().selectionModel()->isRowSelected(expected, {}));
  EXPECT_EQ(window.OriginalBox()->toPlainText(), Shown(EditText()));

  // The original is remembered for this ROM: opened again, it is there at once.
  Trigger(CommandId::Close);
  EXPECT_TRUE(window.OriginalBox()->isHidden());
  EXPECT_EQ(Progress(), "");
  Open(rom);
  EXPECT_TRUE(window.OriginalBox()->isVisible());
  EXPECT_TRUE(Marked(3));
  EXPECT_TRUE(Progress().startsWith(QStringLiteral("Translated: %1 of").arg(translated))) << Progress().toStdString();

  // Forgotten: the box, the marks and the line go, and the next open has none.
  Trigger(CommandId::ForgetOriginal);
  EXPECT_TRUE(window.OriginalBox()->isHidden());
  EXPECT_FALSE(List().model()->index(3, 0).data(ui::EntryRowModel::kTranslatedRole).isValid());
  EXPECT_EQ(Progress(), "");
  EXPECT_EQ(store_.OriginalRom(QString::fromStdString(rom)), "");
}

// A remembered original that went away is forgotten with a note in the status bar, never a box.
TEST_F(MainWindowOriginal, AnOriginalThatWentAwayIsForgottenInPassing) {
  const TempFile& rom = OpenStandard();
  const std::unique_ptr<TempFile> original = ui_rom::Build().Save();
  ChooseOriginal(original->Path());
  ASSERT_TRUE(window.OriginalBox()->isVisible());
  Trigger(CommandId::Close);
  std::remove(original->Path().c_str());
  Open(rom.Path());
  EXPECT_TRUE(modals.TakeMessages().empty());
  EXPECT_TRUE(window.OriginalBox()->isHidden());
  EXPECT_TRUE(window.statusBar()->currentMessage().contains(QString::fromStdString(original->Name())))
      << window.statusBar()->currentMessage().toStdString();
  EXPECT_EQ(store_.OriginalRom(QString::fromStdString(rom.Path())), "");

  // A refused pick is a message box with its reason; the window has no original still.
  ChooseOriginal(rom.Path());
  const std::vector<SeenMessage> seen = modals.TakeMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, editor_text::kOriginalCaption);
  EXPECT_TRUE(window.OriginalBox()->isHidden());
}

// Not a check: the picture of the window with an original for the docs, written only when
// LETTERMOOR_SHOTS_DIR names a folder (run under Xvfb).
TEST_F(MainWindowOriginal, Screenshot) {
  const QString shots = qEnvironmentVariable("LETTERMOOR_SHOTS_DIR");
  if (shots.isEmpty()) GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  const std::string rom = dir_.File("sample.smc"), original = dir_.File("original.smc");
  ASSERT_TRUE(SaveSampleRom(rom, false));
  ASSERT_TRUE(SaveSampleRom(original, false));
  Open(rom);
  ChooseOriginal(original);
  // A few lines translated where they fit in place.
  const char* texts[] = {"Guten Tag.[13 02]", "Wohin gehst du?[13 02]", "Danke sehr.[13 02]"};
  int last = 0;
  for (int row = 0, done = 0; row < 20 && done < 3; ++row) {
    if (logic.Doc().PresentSize(row) < 20) continue;
    ClickRow(row);
    Retype(QString::fromLatin1(texts[done++]));
    QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
    last = row;
  }
  window.resize(720, 560);
  ClickRow(last);
  QApplication::processEvents();
  EXPECT_TRUE(window.grab().save(QDir(shots).filePath(QStringLiteral("main-original.png"))));
}

}  // namespace
}  // namespace lettermoor::test

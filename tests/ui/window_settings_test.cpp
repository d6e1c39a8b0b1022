// What the window remembers between runs (size and place, options, recent ROMs), its growing
// with the window, and ROMs opened from Open Recent or dropped on it.

#include <QDragEnterEvent>

#include <filesystem>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include "main_window_fixture.h"
#include "sample/sample_rom.h"
#include "ui/settings_store.h"

namespace lettermoor::test {
namespace {

using ui::SettingsStore;

TEST(SettingsStoreTest, EverythingRoundTripsThroughTheSettingsFile) {
  TempDir dir;
  const QString file = QString::fromStdString(dir.File("lettermoor.conf"));
  {
    SettingsStore store(file);
    EXPECT_TRUE(store.WindowGeometry().isEmpty());
    EXPECT_TRUE(store.RecentRoms().isEmpty());
    EXPECT_TRUE(store.Option(QStringLiteral("keepBackup"), true));  // the fallback until set
    store.SetWindowGeometry(QByteArray("\x01\x02\x00\xff", 4));
    store.SetOption(QStringLiteral("keepBackup"), false);
    store.SetOption(QStringLiteral("compress"), true);
    // Ten openings of nine ROMs, one opened twice: the latest first, each once, eight kept.
    for (const char* name : {"a", "b", "c", "d", "e", "f", "b", "g", "h", "i"}) {
      store.AddRecentRom(QString::fromStdString(dir.File(std::string(name) + ".smc")));
    }
    store.RemoveRecentRom(QString::fromStdString(dir.File("h.smc")));
    store.SetText(QStringLiteral("emulator"), QStringLiteral("emu --full \"{rom}\""));
    // Two ROMs of one name in different folders keep different originals.
    store.SetOriginalRom(QString::fromStdString(dir.File("a/x.smc")), QString::fromStdString(dir.File("o1.smc")));
    store.SetOriginalRom(QString::fromStdString(dir.File("b/x.smc")), QString::fromStdString(dir.File("o2.smc")));
    store.SetOriginalRom(QString::fromStdString(dir.File("c.smc")), QString::fromStdString(dir.File("o3.smc")));
    store.SetOriginalRom(QString::fromStdString(dir.File("c.smc")), QString());
  }
  SettingsStore again(file);
  EXPECT_EQ(again.WindowGeometry(), QByteArray("\x01\x02\x00\xff", 4));
  EXPECT_FALSE(again.Option(QStringLiteral("keepBackup"), true));
  EXPECT_TRUE(again.Option(QStringLiteral("compress"), false));
  QStringList expected;
  for (const char* name : {"i", "g", "b", "f", "e", "d", "c"}) {
    expected << QString::fromStdString(dir.File(std::string(name) + ".smc"));
  }
  EXPECT_EQ(again.RecentRoms(), expected);
  EXPECT_EQ(again.Text(QStringLiteral("emulator")), QStringLiteral("emu --full \"{rom}\""));
  EXPECT_EQ(again.Text(QStringLiteral("unset"), QStringLiteral("x")), QStringLiteral("x"));
  EXPECT_EQ(again.OriginalRom(QString::fromStdString(dir.File("a/x.smc"))), QString::fromStdString(dir.File("o1.smc")));
  EXPECT_EQ(again.OriginalRom(QString::fromStdString(dir.File("b/x.smc"))), QString::fromStdString(dir.File("o2.smc")));
  EXPECT_TRUE(again.OriginalRom(QString::fromStdString(dir.File("c.smc"))).isEmpty());
}

TEST(SettingsStoreTest, AHandEditedFileCannotBreakTheLists) {
  TempDir dir;
  const std::string path = dir.File("lettermoor.conf");
  const std::string body =
      "[options]\nkeepBackup=perhaps\ncompress=1\n"
      "[recent]\nroms=/a.smc, /a.smc, , /b.smc, /c, /d, /e, /f, /g, /h, /i\n";
  {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(body.c_str(), f);
    std::fclose(f);
  }
  SettingsStore store(QString::fromStdString(path));
  EXPECT_TRUE(store.Option(QStringLiteral("keepBackup"), true));
  EXPECT_FALSE(store.Option(QStringLiteral("keepBackup"), false));
  EXPECT_TRUE(store.Option(QStringLiteral("compress"), false));
  const QStringList roms = store.RecentRoms();
  EXPECT_EQ(roms.size(), SettingsStore::kRecentLimit);
  EXPECT_EQ(roms.first(), "/a.smc");
  EXPECT_EQ(roms.count("/a.smc"), 1);
  EXPECT_FALSE(roms.contains(QString()));
}

class WindowSettingsTest : public MainWindowTest {
 protected:
  WindowSettingsTest() : file_(QString::fromStdString(dir_.File("lettermoor.conf"))), store_(file_) {
    window.UseSettings(&store_);
  }
  ~WindowSettingsTest() override { window.UseSettings(nullptr); }  // the store goes first

  // The QMimeData a file manager gives for one dragged file.
  static std::unique_ptr<QMimeData> FileDrag(const std::string& path) {
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    return data;
  }

  // Drags `data` over `target` and drops it there; gives whether the drop was taken.
  static bool Drop(QWidget* target, const QMimeData& data) {
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }

  QStringList RecentMenuTexts() {
    window.FillRecentMenu();
    QStringList texts;
    for (QAction* a : window.RecentMenu()->actions()) texts << a->text();
    return texts;
  }

  TempDir dir_;
  QString file_;
  SettingsStore store_;
};

TEST_F(WindowSettingsTest, TheListAndEditBoxGrowWithTheWindowWhichKeepsItsDesignedMinimum) {
  const QSize designed = window.size();
  const QRect list = List().geometry(), edit = Edit().geometry(), apply = window.ApplyButton()->geometry();
  window.resize(designed + QSize(200, 100));
  QApplication::processEvents();
  EXPECT_EQ(List().geometry(), list.adjusted(0, 0, 200, 50));
  EXPECT_EQ(Edit().geometry(), edit.adjusted(0, 50, 200, 100));
  EXPECT_EQ(window.ApplyButton()->geometry(), apply.translated(200, 100));
  EXPECT_LT(window.Label(LabelId::CurrentSize)->geometry().right(), window.ApplyButton()->x());

  window.resize(100, 100);  // below the designed size: held there
  QApplication::processEvents();
  EXPECT_EQ(window.size(), designed);
  EXPECT_EQ(List().geometry(), list);
}

TEST_F(WindowSettingsTest, SizeAndRecentRomsComeBackInTheNextRun) {
  EXPECT_FALSE(window.RecentMenu()->isEnabled());  // nothing opened yet
  TempFile& rom = OpenStandard();
  ASSERT_TRUE(logic.IsRomOpen());
  // A file refused as unrecognised is not an opening: the list keeps only the one taken.
  auto other = SyntheticRom(0x20000, "SOME OTHER GAME").Save();
  Open(other->Path());
  EXPECT_EQ(store_.RecentRoms(), QStringList{QString::fromStdString(rom.Path())});
  EXPECT_TRUE(window.RecentMenu()->isEnabled());
  EXPECT_EQ(RecentMenuTexts(), QStringList{"&1 " + QString::fromStdString(rom.Name()) + "  (" +
                                           QDir::toNativeSeparators(QFileInfo(QString::fromStdString(rom.Path())).absolutePath()) + ")"});

  window.resize(window.size() + QSize(120, 80));
  QApplication::processEvents();
  const QSize grown = window.size();
  {
    // The next run: a new window over the same settings file.
    auto run = std::make_unique<ui::MainWindow>();
    EditorWindow next(*run);
    run->Attach(next);
    next.Initialise();
    window.close();
    store_.SetWindowGeometry(window.saveGeometry());
    store_.Sync();
    SettingsStore reread(file_);
    run->UseSettings(&reread);
    EXPECT_EQ(run->size(), grown);
    run->FillRecentMenu();
    ASSERT_EQ(run->RecentMenu()->actions().size(), 1);
    run->RecentMenu()->actions().first()->trigger();
    EXPECT_TRUE(next.IsRomOpen());
    EXPECT_EQ(next.Rom().path, rom.Path());
    run.reset();  // the window writes its geometry as it goes
    EXPECT_FALSE(reread.WindowGeometry().isEmpty());
  }
}

TEST_F(WindowSettingsTest, ARecentRomThatIsGoneIsSaidAndTakenOffTheList) {
  const std::string gone = dir_.File("gone.smc");
  store_.AddRecentRom(QString::fromStdString(gone));
  window.FillRecentMenu();
  window.RecentMenu()->actions().first()->trigger();
  const std::vector<SeenMessage> seen = modals.TakeMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].text.contains("gone.smc"));
  EXPECT_FALSE(logic.IsRomOpen());
  EXPECT_TRUE(store_.RecentRoms().isEmpty());
}

TEST_F(WindowSettingsTest, AFileDroppedOnTheWindowOrTheEditBoxOpensAsFileOpenWould) {
  auto first = ui_rom::Build().Save();
  ASSERT_TRUE(Drop(&window, *FileDrag(first->Path())));
  EXPECT_TRUE(logic.IsRomOpen());
  EXPECT_EQ(logic.Rom().path, first->Path());
  EXPECT_EQ(RowCount(), ui_rom::kRows);
  EXPECT_EQ(store_.RecentRoms().first(), QString::fromStdString(first->Path()));

  // Onto the edit box: the ROM opens, no path is typed into the text.
  auto second = ui_rom::Build().Save(".sfc");
  ClickRow(0);
  ASSERT_TRUE(Drop(Edit().viewport(), *FileDrag(second->Path())));
  EXPECT_EQ(logic.Rom().path, second->Path());
  EXPECT_EQ(EditText().find(second->Path()), std::string::npos);

  // Two files at once, or something that is not a local file, are not taken.
  auto two = std::make_unique<QMimeData>();
  two->setUrls({QUrl::fromLocalFile(QString::fromStdString(first->Path())),
                QUrl::fromLocalFile(QString::fromStdString(second->Path()))});
  EXPECT_FALSE(Drop(&window, *two));
  auto remote = std::make_unique<QMimeData>();
  remote->setUrls({QUrl(QStringLiteral("https://example.org/x.smc"))});
  EXPECT_FALSE(Drop(&window, *remote));
  EXPECT_EQ(logic.Rom().path, second->Path());
}

// Not a check: the pictures of the grown window and of Open Recent for the docs, when
// LETTERMOOR_SHOTS_DIR names a folder.
TEST_F(WindowSettingsTest, CompressAndKeepABackupComeBackInTheNextRun) {
  window.RestoreOptions();  // nothing stored yet: the defaults
  OpenStandard();           // Compress with Dictionary works on an open ROM
  QAction* compress = window.Action(CommandId::CompressWithDictionary);
  QAction* backup = window.Action(CommandId::KeepBackup);
  ASSERT_TRUE(compress && backup);
  EXPECT_EQ(backup->text(), "Keep a &Backup");
  EXPECT_TRUE(backup->isEnabled());
  EXPECT_FALSE(compress->isChecked());
  EXPECT_TRUE(backup->isChecked());
  // Each state of the two items, set from the menu, is what the next run starts with.
  const struct {
    bool compress;
    bool backup;
  } states[] = {{true, false}, {false, true}, {true, true}};
  for (const auto& want : states) {
    if (compress->isChecked() != want.compress) compress->trigger();
    if (backup->isChecked() != want.backup) backup->trigger();
    EXPECT_EQ(logic.CompressWithDictionary(), want.compress);
    EXPECT_EQ(logic.KeepBackup(), want.backup);
    store_.Sync();
    SettingsStore reread(file_);
    ui::MainWindow run;
    EditorWindow next(run);
    run.UseSettings(&reread);
    run.Attach(next);
    next.Initialise();
    run.RestoreOptions();
    EXPECT_EQ(next.CompressWithDictionary(), want.compress);
    EXPECT_EQ(next.KeepBackup(), want.backup);
    EXPECT_EQ(run.Action(CommandId::CompressWithDictionary)->isChecked(), want.compress);
    EXPECT_EQ(run.Action(CommandId::KeepBackup)->isChecked(), want.backup);
    run.UseSettings(nullptr);
  }
}

TEST_F(WindowSettingsTest, RevertToBackupPutsTheRomBackFromTheFileMenu) {
  QMenu* file = window.menuBar()->actions().first()->menu();
  QAction* revert = window.Action(CommandId::RevertToBackup);
  ASSERT_TRUE(file && revert);
  EXPECT_TRUE(file->actions().contains(revert));
  EXPECT_EQ(revert->text(), "Re&vert to Backup");
  EXPECT_FALSE(revert->isEnabled());  // no ROM
  TempFile& rom = OpenStandard();
  const std::vector<uint8_t> opened = rom.ReadAll();
  const QString firstRow = Row(1);
  EXPECT_FALSE(revert->isEnabled());  // no backup yet

  ClickRow(1);
  Retype(QStringLiteral("Howdy[02]"));
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  ASSERT_NE(rom.ReadAll(), opened);
  EXPECT_EQ(ReadBytesOf(rom.Path() + ".bak"), opened);
  EXPECT_TRUE(revert->isEnabled());

  // Answered No: nothing changes.
  modals.onQuestion = [](QMessageBox& box) { box.button(QMessageBox::No)->click(); };
  revert->trigger();
  EXPECT_NE(rom.ReadAll(), opened);
  // Yes: the ROM is as it was opened, the list shows it, and the marked row is kept.
  modals.onQuestion = [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); };
  revert->trigger();
  modals.onQuestion = nullptr;
  EXPECT_EQ(rom.ReadAll(), opened);
  EXPECT_EQ(Row(1), firstRow);
  EXPECT_EQ(window.SelectionMark(), 1);
  EXPECT_EQ(modals.TakeMessages().size(), 2u);  // the two questions, nothing else

  // The menu looks again as it opens: a backup removed meanwhile grays the item.
  std::filesystem::remove(rom.Path() + ".bak");
  file->popup(window.geometry().center());
  QApplication::processEvents();
  file->hide();
  EXPECT_FALSE(revert->isEnabled());
}

TEST_F(WindowSettingsTest, Screenshots) {
  const QString dir = qEnvironmentVariable("LETTERMOOR_SHOTS_DIR");
  if (dir.isEmpty()) GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  for (const char* name : {"translation-draft.sfc", "backup-before-expand.smc", "old-ending.smc"}) {
    store_.AddRecentRom(QStringLiteral("/home/user/roms/") + QLatin1String(name));
  }
  TempDir roms;
  const std::string path = roms.File("sample.smc");
  TempFile file;
  file.WriteAll(MakeSampleRom(false));
  std::filesystem::copy_file(file.Path(), path);
  Open(path);
  ClickRow(3);
  window.resize(900, 620);
  QApplication::processEvents();
  EXPECT_TRUE(window.grab().save(QDir(dir).filePath(QStringLiteral("window-resized.png"))));

  // File > Open Recent, open: the two menus drawn where they stand over the window.
  window.resize(window.minimumSizeHint());
  QApplication::processEvents();
  QMenu* fileMenu = window.menuBar()->actions().first()->menu();
  fileMenu->popup(window.menuBar()->mapToGlobal(window.menuBar()->actionGeometry(window.menuBar()->actions().first()).bottomLeft()));
  QApplication::processEvents();
  QAction* recentItem = window.RecentMenu()->menuAction();
  fileMenu->setActiveAction(recentItem);
  window.FillRecentMenu();
  window.RecentMenu()->popup(fileMenu->mapToGlobal(fileMenu->actionGeometry(recentItem).topRight()));
  QApplication::processEvents();
  QPixmap base = window.grab();
  const QPoint origin = window.mapToGlobal(QPoint(0, 0));
  QRect all(QPoint(0, 0), base.size());
  for (QMenu* menu : {fileMenu, window.RecentMenu()}) all |= QRect(menu->pos() - origin, menu->size());
  QPixmap shot(all.size());
  shot.fill(Qt::white);
  QPainter paint(&shot);
  paint.drawPixmap(-all.topLeft(), base);
  for (QMenu* menu : {fileMenu, window.RecentMenu()}) paint.drawPixmap(menu->pos() - origin - all.topLeft(), menu->grab());
  paint.end();
  window.RecentMenu()->hide();
  fileMenu->hide();
  EXPECT_TRUE(shot.save(QDir(dir).filePath(QStringLiteral("open-recent.png"))));
}

}  // namespace
}  // namespace lettermoor::test

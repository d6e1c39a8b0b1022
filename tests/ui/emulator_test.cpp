// Tools > Run in Emulator and Options > Emulator... on the real window: the command line split
// and filled in, the emulators found on a system, a stand-in emulator started from the menu
// with the ROM's path, and Options > Keep the Checksum Right remembered.

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>

#include "codec/text_encoder.h"
#include "rom/header_checksum.h"
#include "ui/emulator_command.h"
#include "ui/emulator_dialog.h"
#include "ui/main_window_fixture.h"
#include "ui/settings_store.h"

namespace lettermoor::test {
namespace {

using ui::EmulatorPreset;

TEST(EmulatorArguments, SplitLikeAShellAndTheRomIsOneArgument) {
  const QString rom = QStringLiteral("/tmp/my roms/it's \"ours\"; $(true).smc");
  struct Case {
    QString command;
    QStringList expected;
  };
  const Case cases[] = {
      {"mednafen {rom}", {"mednafen", rom}},
      {"retroarch -L \"/usr/lib/x/a core.so\" {rom}", {"retroarch", "-L", "/usr/lib/x/a core.so", rom}},
      {"emu --file={rom} --fullscreen", {"emu", "--file=" + rom, "--fullscreen"}},
      {"emu", {"emu", rom}},  // no placeholder: the path goes last
      {"  emu   -x  ", {"emu", "-x", rom}},
      {"   ", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::EmulatorArguments(c.command, rom), c.expected) << c.command.toStdString();
}

TEST(EmulatorPresets, OnlyWhatIsInstalledIsOffered) {
  QTemporaryDir debian, local;
  ASSERT_TRUE(debian.isValid() && local.isValid());
  auto touch = [](const QString& path) { QFile f(path); return f.open(QIODevice::WriteOnly); };
  ASSERT_TRUE(touch(local.filePath("bsnes_mercury_accuracy_libretro.so")));
  struct Case {
    const char* name;
    QStringList programs;   // found on the PATH
    bool balancedInDebian;  // a balanced core in the first folder too
    QStringList commands;
  };
  const QString accuracy = "retroarch -L " + local.filePath("bsnes_mercury_accuracy_libretro.so") + " {rom}";
  const QString balanced = "retroarch -L " + debian.filePath("bsnes_mercury_balanced_libretro.so") + " {rom}";
  const Case cases[] = {
      {"nothing", {}, false, {}},
      {"mednafen", {"mednafen"}, false, {"mednafen {rom}"}},
      {"retroarch without its core", {"retroarch"}, false, {}},
      {"retroarch with a core elsewhere", {"retroarch"}, false, {accuracy}},
      {"both, balanced first", {"mednafen", "retroarch"}, true, {"mednafen {rom}", balanced, accuracy}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.balancedInDebian) { ASSERT_TRUE(touch(debian.filePath("bsnes_mercury_balanced_libretro.so"))); }
    const QStringList folders = std::string(c.name) == "retroarch without its core"
                                    ? QStringList{debian.path()}
                                    : QStringList{debian.path(), local.path()};
    const QList<EmulatorPreset> found = ui::FindEmulatorPresets(
        [&](const QString& p) { return c.programs.contains(p) ? "/usr/bin/" + p : QString(); }, folders);
    QStringList commands;
    for (const EmulatorPreset& p : found) commands << p.command;
    EXPECT_EQ(commands, c.commands);
  }
}

class EmulatorWindowTest : public MainWindowTest {
 protected:
  EmulatorWindowTest() : store_(QString::fromStdString(dir_.File("lettermoor.conf"))) {
    window.UseSettings(&store_);
    window.SetEmulatorFinder([this] { return found_; });
  }
  ~EmulatorWindowTest() override { window.UseSettings(nullptr); }

  // A stand-in emulator: a script that writes its arguments, one a line, to `args`, and the
  // files it holds open to `fds`, then renames them into place so a reader sees all or nothing.
  QString StandIn() {
    const std::string script = dir_.File("emulator.sh");
    std::FILE* f = std::fopen(script.c_str(), "w");
    std::fputs("printf '%s\\n' \"$@\" > \"$ARGS.part\"\n"
               "ls -l /proc/$$/fd > \"$ARGS.fds\"\n"
               "mv \"$ARGS.part\" \"$ARGS\"\n",
               f);
    std::fclose(f);
    return QStringLiteral("env ARGS=%1 /bin/sh %2 --load {rom}")
        .arg(QString::fromStdString(args_), QString::fromStdString(script));
  }

  // The ROM in a folder whose name has a space, so the path must stay one argument.
  std::string RomWithSpace() {
    const std::string folder = dir_.File("my roms");
    EXPECT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    const std::string path = folder + "/game.smc";
    EXPECT_TRUE(WriteBytesTo(path, ui_rom::Build().Bytes()));
    return path;
  }

  TempDir dir_;
  ui::SettingsStore store_;
  QList<EmulatorPreset> found_;
  std::string args_ = dir_.File("args.txt");
};

TEST_F(EmulatorWindowTest, CtrlRStartsTheEmulatorOnTheRomAfterAskingAboutTyping) {
  window.SetEmulatorCommand(StandIn());
  EXPECT_EQ(store_.Text(QString::fromLatin1(ui::kEmulatorCommandSetting)), StandIn());
  const std::string rom = RomWithSpace();
  Open(rom);
  ASSERT_TRUE(logic.IsRomOpen());
  QAction* run = window.Action(CommandId::RunInEmulator);
  ASSERT_TRUE(run && run->isEnabled());
  EXPECT_EQ(run->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));

  // Typed work is asked about first; Apply puts it in the file the emulator reads.
  ClickRow(4);
  Retype(QStringLiteral("Good day[02]"));
  QString asked;
  modals.onQuestion = [&](QMessageBox& box) {
    asked = box.windowTitle();
    box.button(QMessageBox::Apply)->click();
  };
  QTest::keyClick(&Edit(), Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(asked, "Unapplied Changes");
  EXPECT_FALSE(logic.HasUnappliedEdit());

  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QString::fromStdString(args_)), 20000);
  EXPECT_EQ(ReadText(args_), "--load\n" + rom + "\n");
  // The emulator holds no descriptor of the ROM, so neither its lock.
  const std::string fds = ReadText(args_ + ".fds");
  EXPECT_FALSE(fds.empty());
  EXPECT_EQ(fds.find("game.smc"), std::string::npos) << fds;
  const std::vector<uint8_t> bytes = ReadBytesOf(rom);
  const std::vector<uint8_t> typed = TextEncoder("Good day[02]");
  EXPECT_TRUE(std::equal(typed.begin(), typed.end(), bytes.begin() + ui_rom::kS3));
}

TEST_F(EmulatorWindowTest, WithoutAnEmulatorItSaysHowToSetOne) {
  OpenStandard();
  Trigger(CommandId::RunInEmulator);
  const std::vector<SeenMessage> seen = modals.TakeMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, "Run in Emulator");
  EXPECT_TRUE(seen[0].text.contains("Options > Emulator..."));

  // A found emulator is used when none was chosen; one that cannot start is said so.
  found_ = {{"Missing", "/nonexistent/emulator {rom}"}};
  Trigger(CommandId::RunInEmulator);
  const std::vector<SeenMessage> failed = modals.TakeMessages();
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_TRUE(failed[0].text.contains("/nonexistent/emulator"));
}

TEST_F(EmulatorWindowTest, TheEmulatorDialogFillsFromPresetsAndEscapeKeepsNothing) {
  found_ = {{"Mednafen", "mednafen {rom}"}, {"RetroArch", "retroarch -L /x/core.so {rom}"}};
  window.SetEmulatorCommand("old {rom}");
  ASSERT_EQ(window.EmulatorAction()->text(), "E&mulator...");
  struct Step {
    int preset;     // the preset picked
    bool escape;    // closed with Escape, else OK
    QString after;  // the stored command afterwards
  };
  for (const Step& step : {Step{2, true, "old {rom}"}, Step{1, false, "mednafen {rom}"}}) {
    bool shown = false;
    modals.onDialog = [&](QDialog& d) {
      auto* dialog = qobject_cast<ui::EmulatorDialog*>(&d);
      if (!dialog) return false;
      shown = true;
      EXPECT_EQ(dialog->Presets()->count(), 3);
      dialog->Presets()->setCurrentIndex(step.preset);
      emit dialog->Presets()->activated(step.preset);
      EXPECT_EQ(dialog->CommandEdit()->text(), found_[step.preset - 1].command);
      if (step.escape) {
        QTest::keyClick(dialog, Qt::Key_Escape);
      } else {
        dialog->accept();
      }
      return true;
    };
    window.EmulatorAction()->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ(window.EmulatorCommand(), step.after);
  }
}

// The new items' mnemonics are unique in their menus.
TEST_F(EmulatorWindowTest, NewItemsHaveMnemonicsOfTheirOwn) {
  auto mnemonic = [](const QString& text) {
    const qsizetype at = text.indexOf('&');
    return at < 0 || at + 1 >= text.size() ? QChar() : text[at + 1].toLower();
  };
  for (QAction* item : {window.Action(CommandId::RunInEmulator), window.Action(CommandId::KeepChecksumRight),
                        window.EmulatorAction()}) {
    ASSERT_TRUE(item);
    const QChar own = mnemonic(item->text());
    ASSERT_FALSE(own.isNull()) << item->text().toStdString();
    for (QObject* menu : item->associatedObjects()) {
      for (QAction* other : qobject_cast<QMenu*>(menu)->actions()) {
        if (other != item) {
          EXPECT_NE(mnemonic(other->text()), own) << other->text().toStdString();
        }
      }
    }
  }
}

TEST_F(EmulatorWindowTest, KeepTheChecksumRightIsRememberedAndKeepsItRight) {
  window.RestoreOptions();
  QAction* keep = window.Action(CommandId::KeepChecksumRight);
  ASSERT_TRUE(keep);
  EXPECT_EQ(keep->text(), "Keep the Chec&ksum Right");
  EXPECT_FALSE(keep->isChecked());  // off at first
  keep->trigger();
  EXPECT_TRUE(logic.KeepChecksumRight());
  EXPECT_TRUE(store_.Option(QString::fromLatin1(ui::MainWindow::kKeepChecksumOption), false));
  {
    ui::MainWindow run;
    EditorWindow next(run);
    run.UseSettings(&store_);
    run.Attach(next);
    next.Initialise();
    run.RestoreOptions();
    EXPECT_TRUE(next.KeepChecksumRight());
    EXPECT_TRUE(run.Action(CommandId::KeepChecksumRight)->isChecked());
    run.UseSettings(nullptr);
  }
  // An apply from the window leaves the pair right (a 3 MiB ROM is summed).
  TempFile& file = OpenStandard();
  ClickRow(4);
  Retype(QStringLiteral("Good day[02]"));
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  const std::vector<uint8_t> bytes = file.ReadAll();
  EXPECT_EQ(ReadHeaderChecksum(std::span(bytes).subspan(RomFile::kCopierHeaderSize)).state, ChecksumState::Right);
}

}  // namespace
}  // namespace lettermoor::test

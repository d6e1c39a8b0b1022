// File > Create Patch and Apply Patch to a Copy, and Options > Original ROM, in the real window
// with a settings file: the original is remembered per ROM, and the patched copy opens.

#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>

#include <map>

#include "main_window_fixture.h"
#include "rom/patch.h"
#include "ui/settings_store.h"

namespace lettermoor::test {
namespace {

// The mnemonic letter of a menu text ("Create &Patch..." -> 'p'), or 0.
QChar Mnemonic(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return text[i + 1].toLower();
  }
  return QChar();
}

class MainWindowPatch : public MainWindowTest {
 protected:
  MainWindowPatch() : store_(QString::fromStdString(dir_.File("lettermoor.ini"))) { window.UseSettings(&store_); }
  ~MainWindowPatch() override { window.UseSettings(nullptr); }

  TempDir dir_;
  ui::SettingsStore store_;
};

TEST_F(MainWindowPatch, NewItemsHaveMnemonicsOfTheirOwnInTheirMenus) {
  const std::map<CommandId, QString> items = {{CommandId::CreatePatch, "File"},
                                              {CommandId::ApplyPatchToCopy, "File"},
                                              {CommandId::OriginalRom, "Options"}};
  for (const auto& [id, menuName] : items) {
    QAction* item = window.Action(id);
    ASSERT_NE(item, nullptr);
    const QChar mine = Mnemonic(item->text());
    ASSERT_FALSE(mine.isNull()) << item->text().toStdString();
    for (QAction* top : window.menuBar()->actions()) {
      if (top->text().remove('&') != menuName) continue;
      for (QAction* other : top->menu()->actions()) {
        if (other != item && !other->isSeparator()) {
          EXPECT_NE(Mnemonic(other->text()), mine) << item->text().toStdString() << " and " << other->text().toStdString();
        }
      }
    }
  }
}

TEST_F(MainWindowPatch, CreateRemembersTheOriginalAndApplyOpensTheCopy) {
  const std::unique_ptr<TempFile> original = ui_rom::Build().Save();
  TempFile& rom = OpenStandard();
  ClickRow(0);
  Retype(QStringLiteral("Howdy[03 00 02]"));
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  modals.TakeMessages();

  std::vector<PatchFileQuestion> asked;
  window.SetOriginalPathPrompt([&] { return QString::fromStdString(original->Path()); });
  std::map<PatchFileQuestion, std::string> answers = {{PatchFileQuestion::PatchToWrite, dir_.File("work.bps")},
                                                       {PatchFileQuestion::PatchToRead, dir_.File("work.bps")},
                                                       {PatchFileQuestion::PatchedCopy, dir_.File("copy.smc")}};
  window.SetPatchPathPrompt([&](PatchFileQuestion q) {
    asked.push_back(q);
    return QString::fromStdString(answers[q]);
  });
  Trigger(CommandId::CreatePatch);
  EXPECT_EQ(asked, (std::vector<PatchFileQuestion>{PatchFileQuestion::PatchToWrite}));
  EXPECT_EQ(store_.OriginalRom(QString::fromStdString(rom.Path())).toStdString(), original->Path());
  std::vector<SeenMessage> seen = modals.TakeMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].icon, QMessageBox::NoIcon);
  EXPECT_EQ(ApplyPatch(original->ReadAll(), ReadBytesOf(dir_.File("work.bps"))).result, rom.ReadAll());

  // From the original, the copy is made and opened when the user says Yes.
  Open(original->Path());
  asked.clear();
  modals.onQuestion = [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); };
  Trigger(CommandId::ApplyPatchToCopy);
  EXPECT_EQ(asked, (std::vector<PatchFileQuestion>{PatchFileQuestion::PatchToRead, PatchFileQuestion::PatchedCopy}));
  EXPECT_EQ(ReadBytesOf(dir_.File("copy.smc")), rom.ReadAll());
  EXPECT_EQ(logic.Rom().path, dir_.File("copy.smc"));
}

}  // namespace
}  // namespace lettermoor::test

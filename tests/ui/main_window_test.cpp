// The window itself: its frame, layout, menus and the keys that end it.

#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextBrowser>

#include "main_window_fixture.h"
#include "ui/help_window.h"

namespace lettermoor::test {
namespace {

struct MenuItem {
  const char* text;  // nullptr for a separator
  CommandId id;
};

constexpr CommandId kSeparator{};
// Items of the window's own, which the logic never sees.
constexpr CommandId kPreviewItem{-1};
constexpr CommandId kRecentItem{-2};
constexpr CommandId kInsertCodeItem{-3};
constexpr CommandId kEmulatorItem{-4};
constexpr CommandId kFontItem{-5};

const std::vector<std::pair<QString, std::vector<MenuItem>>>& ExpectedMenus() {
  static const std::vector<std::pair<QString, std::vector<MenuItem>>> menus = {
      {"&File",
       {{"&Open", CommandId::Open},
        {"Open &Recent", kRecentItem},
        {"&Close", CommandId::Close},
        {"Re&vert to Backup", CommandId::RevertToBackup},
        {"&History...", CommandId::History},
        {nullptr, kSeparator},
        {"&Export Script...", CommandId::ExportScript},
        {"&Import Script...", CommandId::ImportScript},
        {nullptr, kSeparator},
        {"Create &Patch...", CommandId::CreatePatch},
        {"&Apply Patch to a Copy...", CommandId::ApplyPatchToCopy},
        {nullptr, kSeparator},
        {"E&xit", CommandId::Exit}}},
      {"&Edit",
       {{"&Undo", CommandId::Undo},
        {"Undo &Last Change", CommandId::UndoLastChange},
        {nullptr, kSeparator},
        {"Cu&t", CommandId::Cut},
        {"&Copy", CommandId::Copy},
        {"&Paste", CommandId::Paste},
        {"Insert C&ode...", kInsertCodeItem},
        {nullptr, kSeparator},
        {"&Search", CommandId::Search},
        {"&Replace in All Texts...", CommandId::ReplaceInAllTexts},
        {"Find &Next Untranslated", CommandId::FindNextUntranslated}}},
      {"&Tools",
       {{"&Expand ROM", CommandId::ExpandRom},
        {"Edit &TPT entry", CommandId::EditTptEntry},
        {"&View current details", CommandId::ViewDetails},
        {"Find &References", CommandId::FindReferences},
        {"&Move to Free Space", CommandId::MoveToFreeSpace},
        {"Check &Consistency", CommandId::CheckConsistency},
        {nullptr, kSeparator},
        {"&Dump to text file", CommandId::DumpToTextFile},
        {nullptr, kSeparator},
        {"&Preview Text Window", kPreviewItem},
        {"&Font...", kFontItem},
        {nullptr, kSeparator},
        {"R&un in Emulator", CommandId::RunInEmulator}}},
      {"&Options",
       {{"&Pointer table listing", CommandId::PointerTableListing},
        {"&Raw text listing", CommandId::RawTextListing},
        {"&Expanded ROM listing", CommandId::ExpandedRomListing},
        {nullptr, kSeparator},
        {"Display &text and codes", CommandId::DisplayTextAndCodes},
        {"Display &codes only", CommandId::DisplayCodesOnly},
        {nullptr, kSeparator},
        {"Use &Compression", CommandId::UseCompression},
        {"Prevent &Overwrites", CommandId::PreventOverwrites},
        {"Compress with &Dictionary", CommandId::CompressWithDictionary},
        {"Keep a &Backup", CommandId::KeepBackup},
        {"Keep the Chec&ksum Right", CommandId::KeepChecksumRight},
        {"E&mulator...", kEmulatorItem},
        {nullptr, kSeparator},
        {"Ori&ginal ROM...", CommandId::OriginalRom},
        {"&Forget Original ROM", CommandId::ForgetOriginal},
        {"Character T&able...", CommandId::CharacterTable}}},
      {"&Help", {{"&Help", CommandId::Help}, {"&About", CommandId::About}}},
  };
  return menus;
}

TEST_F(MainWindowTest, MenuBarHasEveryItemTextIdAndSeparatorInOrder) {
  const QList<QAction*> titles = window.menuBar()->actions();
  ASSERT_EQ(titles.size(), static_cast<qsizetype>(ExpectedMenus().size()));
  for (size_t m = 0; m < ExpectedMenus().size(); ++m) {
    const auto& [title, items] = ExpectedMenus()[m];
    EXPECT_EQ(titles[static_cast<qsizetype>(m)]->text(), title);
    const QList<QAction*> actions = titles[static_cast<qsizetype>(m)]->menu()->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size())) << title.toStdString();
    for (size_t i = 0; i < items.size(); ++i) {
      QAction* action = actions[static_cast<qsizetype>(i)];
      if (!items[i].text) {
        EXPECT_TRUE(action->isSeparator()) << title.toStdString() << " item " << i;
        continue;
      }
      EXPECT_EQ(action->text(), QString::fromLatin1(items[i].text));
      if (items[i].id == kPreviewItem) {
        EXPECT_EQ(action, window.PreviewAction());
        continue;
      }
      if (items[i].id == kFontItem) {
        EXPECT_EQ(action, window.FontAction());
        continue;
      }
      if (items[i].id == kInsertCodeItem) {
        EXPECT_EQ(action, window.InsertCodeAction());
        continue;
      }
      if (items[i].id == kRecentItem) {
        EXPECT_EQ(action->menu(), window.RecentMenu());
        continue;
      }
      if (items[i].id == kEmulatorItem) {
        EXPECT_EQ(action, window.EmulatorAction());
        continue;
      }
      EXPECT_EQ(action->data().toInt(), static_cast<int>(items[i].id)) << items[i].text;
      EXPECT_EQ(window.Action(items[i].id), action) << items[i].text;
    }
  }

  // Standard keys stand beside the texts without changing them.
  EXPECT_EQ(window.Action(CommandId::Open)->shortcut(), QKeySequence(QKeySequence::Open));
  EXPECT_EQ(window.Action(CommandId::Close)->shortcut(), QKeySequence(QKeySequence::Close));
  EXPECT_EQ(window.Action(CommandId::Search)->shortcut(), QKeySequence(QKeySequence::Find));
  EXPECT_EQ(window.Action(CommandId::ReplaceInAllTexts)->shortcut(), QKeySequence(QKeySequence::Replace));
  EXPECT_EQ(window.Action(CommandId::Exit)->shortcut(), QKeySequence(QKeySequence::Quit));
  EXPECT_EQ(window.Action(CommandId::Help)->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(window.InsertCodeAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));

  // Each Edit item's mnemonic is its own.
  {
    QAction* title = window.menuBar()->actions()[1];
    QSet<QChar> seen;
    for (QAction* action : title->menu()->actions()) {
      const qsizetype at = action->text().indexOf(QLatin1Char('&'));
      if (at < 0) continue;
      const QChar key = action->text()[at + 1].toLower();
      EXPECT_FALSE(seen.contains(key)) << title->text().toStdString() << ": " << action->text().toStdString();
      seen.insert(key);
    }
  }
  EXPECT_EQ(window.Action(CommandId::FindNextUntranslated)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+N")));
  EXPECT_EQ(window.Action(CommandId::RunInEmulator)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
}

TEST_F(MainWindowTest, StartsWithoutRomAsTheLogicSetIt) {
  EXPECT_EQ(window.windowTitle(), "Lettermoor 3.7 - No File Loaded");
  EXPECT_FALSE(List().isEnabled());
  EXPECT_FALSE(Edit().isEnabled());
  EXPECT_EQ(RowCount(), 0);
  EXPECT_EQ(window.SelectionMark(), -1);
  for (LabelId id : {LabelId::Line, LabelId::Size, LabelId::CurrentSize}) EXPECT_EQ(Label(id), "");
  EXPECT_TRUE(window.ApplyButton()->isEnabled());
  EXPECT_EQ(window.ApplyButton()->text(), "&Apply Changes");

  EXPECT_TRUE(window.PreviewAction()->isEnabled());  // it says itself when no ROM is open
  for (const auto& [title, items] : ExpectedMenus()) {
    for (const MenuItem& item : items) {
      if (!item.text || item.id == kPreviewItem || item.id == kFontItem || item.id == kRecentItem ||
          item.id == kEmulatorItem) {
        continue;
      }
      if (item.id == kInsertCodeItem) {
        EXPECT_FALSE(window.InsertCodeAction()->isEnabled());  // no edit box to insert into
        continue;
      }
      const bool always = item.id == CommandId::Open || item.id == CommandId::Exit ||
                          item.id == CommandId::Help || item.id == CommandId::About ||
                          item.id == CommandId::KeepBackup || item.id == CommandId::KeepChecksumRight;
      EXPECT_EQ(window.Action(item.id)->isEnabled(), always) << item.text;
      const bool checked = item.id == CommandId::PointerTableListing ||
                           item.id == CommandId::DisplayTextAndCodes ||
                           item.id == CommandId::PreventOverwrites || item.id == CommandId::KeepBackup;
      EXPECT_EQ(window.Action(item.id)->isChecked(), checked) << item.text;
    }
  }
}

TEST_F(MainWindowTest, DesignedFrameLaidOutInDialogUnitsIsTheFirstAndLeastSize) {
  // 320 by 230 dialog units of client area between the menu bar and the status bar.
  EXPECT_EQ(window.centralWidget()->size(), QSize(480, 373));
  EXPECT_EQ(window.centralWidget()->y(), window.menuBar()->height());
  EXPECT_EQ(window.size(), QSize(480, 373 + window.menuBar()->height() + window.statusBar()->height()));
  EXPECT_EQ(window.minimumSizeHint(), window.size());

  EXPECT_EQ(List().geometry(), QRect(10, 16, 459, 186));
  EXPECT_EQ(window.Label(LabelId::Line)->geometry(), QRect(10, 208, 102, 16));
  EXPECT_EQ(window.Label(LabelId::Size)->geometry(), QRect(124, 208, 90, 16));
  EXPECT_EQ(Edit().geometry(), QRect(10, 234, 459, 97));
  // The live size line is widened to the button so that its longest text shows whole.
  EXPECT_EQ(window.Label(LabelId::CurrentSize)->geometry(), QRect(10, 338, 345, 16));
  window.SetLabel(LabelId::CurrentSize, "Current Size: 4000 (uncompressed)");
  QLabel* currentSize = window.Label(LabelId::CurrentSize);
  EXPECT_LE(currentSize->sizeHint().width(), currentSize->width());
  EXPECT_LT(currentSize->geometry().right(), window.ApplyButton()->x());
  EXPECT_EQ(window.ApplyButton()->geometry(), QRect(361, 338, 108, 26));
}

TEST_F(MainWindowTest, TabRunsFromListToEditBoxToApplyWhichEnterPresses) {
  TempFile& file = OpenStandard();
  List().setFocus();
  ASSERT_TRUE(List().hasFocus());
  QTest::keyClick(&List(), Qt::Key_Tab);
  EXPECT_TRUE(Edit().hasFocus());
  Retype("Howdy[03 00 02]");
  QTest::keyClick(&Edit(), Qt::Key_Tab);  // no tab character: the focus moves on
  EXPECT_TRUE(window.ApplyButton()->hasFocus());
  EXPECT_EQ(EditText(), "Howdy[03 00 02]");

  QTest::keyClick(window.ApplyButton(), Qt::Key_Return);
  EXPECT_EQ(Row(0), "Howdy");
  const auto bytes = file.ReadAll();
  EXPECT_EQ(bytes[ui_rom::kS0], ScriptText("H")[0]);
  EXPECT_EQ(bytes[ui_rom::kS0 + 5], 0x03);
}

TEST_F(MainWindowTest, EscapeEndsTheWindow) {
  OpenStandard();
  Edit().setFocus();
  QTest::keyClick(&Edit(), Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, ExitClosesTheRomAndTheWindow) {
  OpenStandard();
  Trigger(CommandId::Exit);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(logic.IsRomOpen());
}

TEST_F(MainWindowTest, CheckMarksChangeOnlyThroughTheLogic) {
  OpenStandard();
  QAction* pointer = window.Action(CommandId::PointerTableListing);
  QAction* raw = window.Action(CommandId::RawTextListing);

  // Choosing the listing in force: Qt would uncheck the item, the logic keeps it checked.
  Trigger(CommandId::PointerTableListing);
  EXPECT_TRUE(pointer->isChecked());
  EXPECT_EQ(RowCount(), ui_rom::kRows);

  Trigger(CommandId::RawTextListing);
  EXPECT_TRUE(raw->isChecked());
  EXPECT_FALSE(pointer->isChecked());
  EXPECT_EQ(Row(0), "Hello there");
  EXPECT_EQ(Row(1), "Good morning");
  EXPECT_EQ(Row(2), "Find a clue");
  EXPECT_EQ(Row(3), "Good night");
  EXPECT_EQ(logic.Listing(), ListingMode::RawTextListing);

  Trigger(CommandId::DisplayCodesOnly);
  EXPECT_TRUE(window.Action(CommandId::DisplayCodesOnly)->isChecked());
  EXPECT_FALSE(window.Action(CommandId::DisplayTextAndCodes)->isChecked());
  EXPECT_EQ(EditText(), "[78 95 9C 9C 9F 50 A4 98 95 A2 95 03 00 02]");
  Trigger(CommandId::DisplayCodesOnly);  // already in force
  EXPECT_TRUE(window.Action(CommandId::DisplayCodesOnly)->isChecked());
  Trigger(CommandId::DisplayTextAndCodes);
  EXPECT_EQ(EditText(), "Hello there[03 00 02]");

  QAction* guard = window.Action(CommandId::PreventOverwrites);
  Trigger(CommandId::PreventOverwrites);
  EXPECT_FALSE(guard->isChecked());
  EXPECT_FALSE(logic.PreventOverwrites());
  Trigger(CommandId::PreventOverwrites);
  EXPECT_TRUE(guard->isChecked());

  // "Use Compression" only runs its dialog: it never gets a check.
  Trigger(CommandId::UseCompression);
  EXPECT_FALSE(window.Action(CommandId::UseCompression)->isChecked());
  EXPECT_TRUE(modals.TakeMessages().empty());
}

TEST_F(MainWindowTest, HelpOpensTheGuideBesideTheWindow) {
  Trigger(CommandId::Help);
  ASSERT_NE(window.Help(), nullptr);
  EXPECT_TRUE(window.Help()->isVisible());
  EXPECT_FALSE(window.Help()->isModal());
  const QString guide = window.Help()->Browser()->toPlainText();
  for (const char* topic : {"bracket", "Pointer table listing", "Raw text listing",
                            "Expanded ROM listing", "Prevent Overwrites", "Expand ROM",
                            "Edit TPT entry", "Be careful", "Search", "Dump to text file"}) {
    EXPECT_TRUE(guide.contains(QString::fromLatin1(topic))) << topic;
  }
  // A second Help raises the same window.
  ui::HelpWindow* first = window.Help();
  Trigger(CommandId::Help);
  EXPECT_EQ(window.Help(), first);
}

}  // namespace
}  // namespace lettermoor::test

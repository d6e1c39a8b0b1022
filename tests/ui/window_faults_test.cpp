// Scenarios over the faults one pass through the window found: windows that block or ignore keys,
// commands that would write to a read-only ROM, typing dropped without the question, the
// references window's lines, and the preview's frames.
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QProgressDialog>
#include <QTextCursor>
#include <QTreeWidget>

#include "codec/text_window_picture.h"
#include "main_window_fixture.h"
#include "sample/sample_rom.h"
#include "support/reference_scenario.h"
#include "ui/help_window.h"
#include "ui/pointer_entry_dialog.h"
#include "ui/references_window.h"
#include "ui/script_report_window.h"
#include "ui/text_preview_window.h"

namespace lettermoor::test {
namespace {

bool AnyProgressShown() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<QProgressDialog*>(w) && w->isVisible()) return true;
  }
  return false;
}

class WindowFaults : public MainWindowTest {
 protected:
  // Runs `command`; its first message box is left open a while (longer than a progress dialog's
  // delay), then the user presses Enter where the keyboard is. Gives whether that closed the box
  // and no progress dialog was in the way.
  bool EnterDismissesTheBoxAfterAWhile(const std::function<void()>& command) {
    bool dismissed = false, progressSeen = false, seen = false;
    modals.onMessage = [&](QMessageBox& box) {
      if (seen) return false;
      seen = true;
      QTimer::singleShot(700, &box, [&, boxPointer = QPointer<QMessageBox>(&box)] {
        QWidget* modal = QApplication::activeModalWidget();
        progressSeen = AnyProgressShown();
        QTest::keyClick(modal ? modal : boxPointer.data(), Qt::Key_Return);
        dismissed = !boxPointer || !boxPointer->isVisible();
        if (boxPointer && boxPointer->isVisible()) boxPointer->done(0);  // the test goes on
      });
      return true;
    };
    // From the event loop, as a menu command runs in the program.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
      command();
      loop.quit();
    });
    loop.exec();
    modals.onMessage = nullptr;
    return seen && dismissed && !progressSeen;
  }
};

// The result of an export and an import's refusal come after a progress dialog has ended: Enter
// closes them, and nothing shows up over them. Escape closes every window of its own; Enter on a
// references row goes to its line; the references window's Kind column is not cut.
TEST_F(WindowFaults, DialogsTakeTheirKeys) {
  TempFile& rom = OpenStandard();
  TempDir dir;
  const QString script = QString::fromStdString(dir.File("script.txt"));
  window.SetScriptPathPrompt([&](bool) { return script; });

  EXPECT_TRUE(EnterDismissesTheBoxAfterAWhile([&] { Trigger(CommandId::ExportScript); }));
  ASSERT_EQ(modals.TakeMessages().at(0).caption, QString::fromLatin1(editor_text::kExportCaption));

  // The script with the text under `original` replaced; gives the replaced line's number.
  QFile file(script);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray exported = file.readAll();
  file.close();
  auto edit = [&](const char* original, const QByteArray& text) {
    QByteArray content = exported;
    const qsizetype at = content.indexOf(original);
    const qsizetype start = content.indexOf('\n', at) + 1;
    content.replace(start, content.indexOf('\n', start) - start, text);
    EXPECT_TRUE(at >= 0 && file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    return content.left(start).count('\n') + 1;
  };
  // A text too long to import: refused after the import's progress has run.
  edit("#< Hello there", QByteArray(4100, 'a'));
  const std::vector<uint8_t> before = rom.ReadAll();
  EXPECT_TRUE(EnterDismissesTheBoxAfterAWhile([&] { Trigger(CommandId::ImportScript); }));
  ASSERT_EQ(modals.TakeMessages().at(0).caption, QString::fromLatin1(editor_text::kImportCaption));
  EXPECT_EQ(rom.ReadAll(), before);
  // A text that imports: the report gives the list's line and the script's.
  const qsizetype scriptLine = edit("#< Good night", "Good day[02]");
  Trigger(CommandId::ImportScript);
  ASSERT_NE(window.ScriptReport(), nullptr);
  const QString report = window.ScriptReport()->findChild<QPlainTextEdit*>()->toPlainText();
  EXPECT_TRUE(report.contains(QStringLiteral("(list line 5, script line %1)").arg(scriptLine))) << report.toStdString();

  // Escape closes each window of its own. Line 5's text has one reference.
  ClickRow(4);
  Trigger(CommandId::FindReferences);
  EXPECT_EQ(window.References()->Heading()->text(),
            QString::asprintf("Line 5 ($%06X) is reached from 1 place:", unsigned(FileOffsetToSnes(ui_rom::kS3))));
  window.PreviewAction()->trigger();
  Trigger(CommandId::Help);
  const std::vector<QWidget*> windows = {window.References(), window.Preview(), window.Help(), window.ScriptReport()};
  for (QWidget* w : windows) {
    ASSERT_NE(w, nullptr);
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w)) << w->windowTitle().toStdString();
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == w ? focus : w, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible()) << w->windowTitle().toStdString();
  }
  EXPECT_TRUE(window.isVisible());

  // Enter on a references row: the main list goes to its line.
  ClickRow(1);
  Trigger(CommandId::FindReferences);
  ui::ReferencesWindow* refs = window.References();
  ASSERT_TRUE(QTest::qWaitForWindowActive(refs));
  QTreeWidget* rows = refs->Rows();
  ASSERT_EQ(rows->topLevelItemCount(), 2);
  rows->setFocus();
  rows->setCurrentItem(rows->topLevelItem(1));
  QTest::keyClick(rows, Qt::Key_Return);
  EXPECT_EQ(List().currentIndex().row(), 5);
  for (int column : {0, 2}) {
    const QTreeWidgetItem* item = rows->topLevelItem(1);
    EXPECT_GE(rows->header()->sectionSize(column), rows->fontMetrics().horizontalAdvance(item->text(column)))
        << column;
  }

  // The pointer editor's field labels are whole, in the dialog's own font.
  ui::PointerEntryDialog editor(&window, PointerEntryForm{"C50010", 5, 1, true});
  for (QLabel* label : editor.findChildren<QLabel*>()) {
    if (label->wordWrap()) continue;
    EXPECT_EQ(label->font().pixelSize(), editor.font().pixelSize()) << label->text().toStdString();
    EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
  }
}

// A ROM opened read-only grays every command that writes; one that runs anyway (a double-click,
// a command sent by id) says why, and nothing is written.
TEST_F(WindowFaults, ReadOnlyRomRefusesWritesAndSaysWhy) {
  TempFile& file = OpenStandard();
  logic.OpenRomPath(file.Path(), RomOpenMode::View);
  ASSERT_TRUE(logic.IsReadOnly());
  const std::vector<uint8_t> before = file.ReadAll();
  ClickRow(0);
  for (CommandId id : {CommandId::MoveToFreeSpace, CommandId::ImportScript, CommandId::EditTptEntry,
                       CommandId::ExpandRom, CommandId::RevertToBackup}) {
    EXPECT_FALSE(window.Action(id)->isEnabled()) << static_cast<int>(id);
  }
  EXPECT_TRUE(window.Action(CommandId::ExportScript)->isEnabled());

  // The double-click shows the record's details; the pointer editor does not open.
  QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, RowCentre(0));
  EXPECT_EQ(modals.cancelledDialogs.size(), 1u);
  EXPECT_TRUE(modals.TakeMessages().empty());

  // Commands that still arrive say why they wrote nothing.
  struct Case {
    CommandId id;
    const char* caption;
  };
  for (const Case& c : {Case{CommandId::EditTptEntry, WriteFailureCaption(WriteStatus::ReadOnly)},
                        Case{CommandId::MoveToFreeSpace, WriteFailureCaption(WriteStatus::ReadOnly)},
                        Case{CommandId::ImportScript, editor_text::kImportCaption}}) {
    const size_t dialogs = modals.cancelledDialogs.size();
    logic.OnCommand(c.id);
    const std::vector<SeenMessage> seen = modals.TakeMessages();
    ASSERT_EQ(seen.size(), 1u) << static_cast<int>(c.id);
    EXPECT_EQ(seen[0].caption, QString::fromLatin1(c.caption));
    EXPECT_TRUE(seen[0].text.contains(QStringLiteral("read-only"))) << seen[0].text.toStdString();
    EXPECT_EQ(modals.cancelledDialogs.size(), dialogs) << static_cast<int>(c.id);
  }
  EXPECT_EQ(file.ReadAll(), before);
}

// Revert to Backup, another listing and a line picked in the references window each ask about
// typed text first; Cancel keeps the text and what the window showed.
TEST_F(WindowFaults, TypedTextIsAskedAboutBeforeItIsDropped) {
  struct Gesture {
    const char* what;
    std::function<void()> run;
  };
  const Gesture gestures[] = {
      {"revert to backup", [this] { Trigger(CommandId::RevertToBackup); }},
      {"another listing", [this] { Trigger(CommandId::RawTextListing); }},
      {"a line in the references window",
       [this] {
         QTreeWidget* rows = window.References()->Rows();
         const QRect item = rows->visualItemRect(rows->topLevelItem(1));
         QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, item.center());
         QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, item.center());
       }},
  };
  TempFile& file = OpenStandard();
  // A write first, so that there is a backup to revert to.
  ClickRow(2);
  Retype(QStringLiteral("Find a cat[00 02]"));
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  ASSERT_TRUE(window.Action(CommandId::RevertToBackup)->isEnabled());
  modals.TakeMessages();
  for (const Gesture& g : gestures) {
    ClickRow(1);
    Trigger(CommandId::FindReferences);
    ClickRow(2);
    Retype(QStringLiteral("Typed[00 02]"));
    const std::vector<uint8_t> before = file.ReadAll();
    g.run();
    const std::vector<SeenMessage> seen = modals.TakeMessages();
    ASSERT_EQ(seen.size(), 1u) << g.what;
    EXPECT_EQ(seen[0].caption, QString::fromLatin1(editor_text::kApplyQuestionCaption)) << g.what;
    EXPECT_EQ(EditText(), "Typed[00 02]") << g.what;
    EXPECT_EQ(List().currentIndex().row(), 2) << g.what;
    EXPECT_EQ(logic.Listing(), ListingMode::PointerTableListing) << g.what;
    EXPECT_TRUE(window.Action(CommandId::PointerTableListing)->isChecked()) << g.what;
    EXPECT_EQ(file.ReadAll(), before) << g.what;
  }
  // Discard lets the gesture go on.
  modals.onQuestion = [](QMessageBox& box) { box.button(QMessageBox::Discard)->click(); };
  Trigger(CommandId::RawTextListing);
  EXPECT_EQ(logic.Listing(), ListingMode::RawTextListing);
}

// After an Apply that changes where the raw listing's strings begin, the references window still
// gives the lines of the list shown, and Enter on a row opens the string that holds the reference.
TEST_F(WindowFaults, ReferencesGiveTheLinesOfTheListShown) {
  const std::unique_ptr<TempFile> file = ReferenceScenario::Image().Save();
  Open(file->Path());
  ClickRow(0);  // the text the jump code leads to
  Trigger(CommandId::FindReferences);
  Trigger(CommandId::RawTextListing);
  // The rows whose strings hold the text and the jump code.
  int text = -1, go = -1;
  for (int i = 0; i < logic.Table().count(); ++i) {
    const int64_t at = SnesToFileOffset(logic.Table().entries[static_cast<size_t>(i)].textAddress);
    if (at <= ReferenceScenario::kText) text = i;
    if (at <= ReferenceScenario::kGoto + 2) go = i;
  }
  ASSERT_GE(text, 0);
  ASSERT_GT(go, text);
  List().scrollTo(List().model()->index(text, 0));
  ClickRow(text);
  // Shorter: the bytes after its new end code read as one more string in a fresh scan.
  const QString old = QStringLiteral("Short one[02]");
  const qsizetype at = QString::fromStdString(EditText()).indexOf(old);
  ASSERT_GE(at, 0) << EditText();
  QTextCursor cursor = Edit().textCursor();
  cursor.setPosition(static_cast<int>(at));
  cursor.setPosition(static_cast<int>(at + old.size()), QTextCursor::KeepAnchor);
  Edit().setFocus();
  Edit().setTextCursor(cursor);
  QTest::keyClicks(&Edit(), QStringLiteral("Sh[02]"));
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  for (const SeenMessage& m : modals.TakeMessages()) ADD_FAILURE() << m.text.toStdString();
  QTreeWidget* rows = window.References()->Rows();
  QTreeWidgetItem* jump = nullptr;
  for (int i = 0; i < rows->topLevelItemCount(); ++i) {
    if (rows->topLevelItem(i)->text(0) == QStringLiteral("GOTO")) jump = rows->topLevelItem(i);
  }
  ASSERT_NE(jump, nullptr);
  EXPECT_EQ(jump->text(2), QString::number(go + 1));
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.References()));
  rows->setFocus();
  rows->setCurrentItem(jump);
  QTest::keyClick(rows, Qt::Key_Return);
  EXPECT_EQ(List().currentIndex().row(), go);
  EXPECT_NE(EditText().find("]Go[0A"), std::string::npos) << EditText();
}

// A line that does not fit and scrolls away before the next button press has a frame of its own,
// in the window and in the picture of every frame.
TEST_F(WindowFaults, ThePreviewDrawsTheLineThatDoesNotFit) {
  TempFile sample;
  sample.WriteAll(MakeSampleRom(false));
  Open(sample.Path());
  ClickRow(0);
  window.PreviewAction()->trigger();
  ui::TextPreviewWindow* preview = window.Preview();
  ASSERT_NE(preview, nullptr);
  Edit().setFocus();
  QTest::keyClick(&Edit(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(&Edit(), QString(40, QLatin1Char('W')) + QStringLiteral("[00]a[00]b[00]c[00]d[03]"));
  const TextLayoutResult& layout = preview->Layout();
  EXPECT_TRUE(preview->Heading().contains(QStringLiteral("not fitting"))) << preview->Heading().toStdString();
  ASSERT_TRUE(layout.lines.at(0).cut);
  // The first line's cut mark is drawn in some frame; the last frame is still the wait's.
  const TextPreviewer previewer(*logic.Rom().handle);
  TextWindowPicture picture;
  bool drawn = false;
  for (int f = 0; f < static_cast<int>(layout.frames.size()); ++f) {
    if (layout.frames[static_cast<size_t>(f)].firstLine > 0) continue;
    DrawTextWindowFrame(layout, f, previewer.Fonts(), picture);
    drawn |= std::count(picture.pixels.begin(), picture.pixels.end(), WindowPixel::CutMark) > 0;
  }
  EXPECT_TRUE(drawn);
  EXPECT_EQ(layout.frames.back().waitCode, 0x03);
}

// Not a check: the windows these faults were in, for a look, when LETTERMOOR_SHOTS_DIR names a
// folder (run under Xvfb).
TEST_F(WindowFaults, Screenshots) {
  const QDir dir(qEnvironmentVariable("LETTERMOOR_SHOTS_DIR"));
  if (qEnvironmentVariableIsEmpty("LETTERMOOR_SHOTS_DIR")) GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  auto save = [&](QWidget& w, const char* name) {
    QApplication::processEvents();
    EXPECT_TRUE(w.grab().save(dir.filePath(QString::fromLatin1(name))));
  };
  const std::unique_ptr<TempFile> file = ReferenceScenario::Image().Save();
  Open(file->Path());
  ClickRow(0);
  Trigger(CommandId::FindReferences);
  save(*window.References(), "faults-references.png");

  TempFile sample;
  sample.WriteAll(MakeSampleRom(false));
  Open(sample.Path());
  window.PreviewAction()->trigger();
  Retype(QString(40, QLatin1Char('W')) + QStringLiteral("[00]a[00]b[00]c[00]d[03]"));
  window.Preview()->resize(560, 640);
  save(*window.Preview(), "faults-preview.png");

  ui::PointerEntryDialog editor(&window, PointerEntryForm{"C50010", 5, 1, true});
  editor.show();
  save(editor, "faults-pointer-editor.png");
}

}  // namespace
}  // namespace lettermoor::test

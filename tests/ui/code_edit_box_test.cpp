// The edit box that reads the codes: colours by group, a hover that describes a code, a fault
// underlined from its column, Edit > Insert Code, and the status bar's line as the user types.

#include <QHelpEvent>
#include <QListWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

#include "main_window_fixture.h"
#include "sample/sample_font.h"
#include "ui/code_highlighter.h"
#include "ui/entry_edit_box.h"
#include "ui/insert_code_dialog.h"

namespace lettermoor::test {
namespace {

class CodeEditBoxTest : public MainWindowTest {
 protected:
  void OpenWithFonts() {
    SyntheticRom rom = ui_rom::Build();
    PutSampleFonts(rom.Bytes());
    file_ = rom.Save();
    Open(file_->Path());
  }

  ui::EntryEditBox& Box() { return static_cast<ui::EntryEditBox&>(Edit()); }

  // The point of the viewport over the middle of the character at `position`.
  QPoint CharacterCentre(int position) {
    QTextCursor cursor(Edit().document());
    cursor.setPosition(position);
    const QRect left = Edit().cursorRect(cursor);
    cursor.setPosition(position + 1);
    const QRect right = Edit().cursorRect(cursor);
    return QPoint((left.left() + right.left()) / 2, left.center().y());
  }

  // Hovers the mouse over the character and asks for its tooltip, as the platform does.
  QString HoverTip(int position) {
    const QPoint at = CharacterCentre(position);
    QTest::mouseMove(Edit().viewport(), at);
    QHelpEvent help(QEvent::ToolTip, at, Edit().viewport()->mapToGlobal(at));
    QApplication::sendEvent(Edit().viewport(), &help);
    // A tip that was shown fades out a moment after an ignored hover.
    return help.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
  }

  // The formats the highlighter gave the first block: where each stretch starts, and its format.
  QList<QTextLayout::FormatRange> Formats() { return Edit().document()->firstBlock().layout()->formats(); }

  QTextCharFormat FormatAt(int position) {
    QTextCharFormat f;
    for (const QTextLayout::FormatRange& r : Formats()) {
      if (position >= r.start && position < r.start + r.length) f = r.format;
    }
    return f;
  }

  std::unique_ptr<TempFile> file_;
};

TEST_F(CodeEditBoxTest, CodesAreColouredByGroupAndHoverShowsTheirDescription) {
  OpenWithFonts();
  Retype(QStringLiteral("Hi[1C 02 01]you[03][1F 02 05][07]"));
  ASSERT_EQ(EditText(), "Hi[1C 02 01]you[03][1F 02 05][07]");
  ui::CodeHighlighter& h = *Box().Highlighter();
  struct Case {
    int position;
    CodeGroup group;
    QString tip;
  };
  const Case cases[] = {
      {4, CodeGroup::Names, QStringLiteral("PLAYER NAME 01")},
      {17, CodeGroup::Waiting, QStringLiteral("WAIT FOR USER - PROMPT")},
      {23, CodeGroup::Sound, QStringLiteral("PLAY SOUND 05")},
      {31, CodeGroup::Other, QStringLiteral("Code 07: not described")},
  };
  for (const Case& c : cases) {
    const QTextCharFormat f = FormatAt(c.position);
    EXPECT_EQ(f.foreground(), h.GroupFormat(c.group).foreground()) << c.position;
    EXPECT_EQ(f.fontWeight(), h.GroupFormat(c.group).fontWeight()) << c.position;
    EXPECT_EQ(HoverTip(c.position), c.tip) << c.position;
  }
  // Plain text has no format of its own and no tip; the groups differ by more than colour.
  EXPECT_FALSE(FormatAt(0).hasProperty(QTextFormat::ForegroundBrush));
  EXPECT_EQ(HoverTip(0), QString());
  EXPECT_NE(h.GroupFormat(CodeGroup::Waiting).fontWeight(), h.GroupFormat(CodeGroup::Names).fontWeight());
  EXPECT_NE(h.GroupFormat(CodeGroup::Names).fontItalic(), h.GroupFormat(CodeGroup::Sound).fontItalic());
}

TEST_F(CodeEditBoxTest, ColoursStandOutOnALightAndOnADarkPalette) {
  OpenWithFonts();
  Retype(QStringLiteral("Hi[1C 02 01][03][0A 00 00 00 00][1F 02 05][07]"));
  for (const QColor base : {QColor(Qt::white), QColor(0x20, 0x20, 0x20)}) {
    QPalette palette = Edit().palette();
    palette.setColor(QPalette::Base, base);
    Edit().setPalette(palette);
    ui::CodeHighlighter& h = *Box().Highlighter();
    for (int g = 0; g < kCodeGroupCount; ++g) {
      const QColor colour = h.GroupFormat(static_cast<CodeGroup>(g)).foreground().color();
      // Well apart from the base in lightness, whichever way the palette goes.
      EXPECT_GT(std::abs(colour.lightness() - base.lightness()), 90) << g << " on " << base.name().toStdString();
    }
    // The text drawn takes the palette's colours at once.
    EXPECT_EQ(FormatAt(4).foreground(), h.GroupFormat(CodeGroup::Names).foreground());
  }
}

TEST_F(CodeEditBoxTest, AFaultIsUnderlinedFromItsColumnAndTheSizeHintSaysWhere) {
  OpenWithFonts();
  struct Case {
    QString text;
    int from;     // first underlined character; -1 for none
    QString hint;  // the size label's
  };
  const Case cases[] = {
      {QStringLiteral("Hello[03 02"), 5, QString::fromStdString(FormatText(editor_text::kUnclosedOpenBracket, 6))},
      {QStringLiteral("He]llo"), 2, QString::fromStdString(FormatText(editor_text::kStrayCloseBracket, 3))},
      {QStringLiteral("Hi[02]"), -1, QString()},
  };
  for (const Case& c : cases) {
    Retype(c.text);
    for (int i = 0; i < c.text.size(); ++i) {
      const bool under = c.from >= 0 && i >= c.from;
      EXPECT_EQ(FormatAt(i).underlineStyle() == QTextCharFormat::WaveUnderline, under) << c.text.toStdString() << " " << i;
    }
    if (c.from >= 0) {
      EXPECT_EQ(HoverTip(c.from), c.hint) << c.text.toStdString();
    }
    EXPECT_EQ(window.Label(LabelId::CurrentSize)->toolTip(), c.hint) << c.text.toStdString();
  }
}

TEST_F(CodeEditBoxTest, ACharacterThatIsNotAGameCharacterIsUnderlinedAndNamed) {
  OpenWithFonts();
  Retype(QStringLiteral("caf"));
  QTest::sendKeyEvent(QTest::Click, &Edit(), Qt::Key_Eacute, QStringLiteral("\u00E9"), Qt::NoModifier);
  QTest::keyClicks(&Edit(), QStringLiteral("[02]"));
  ASSERT_EQ(EditText(), "caf\xC3\xA9[02]");
  const QString named = QString::fromStdString(FormatText(editor_text::kNotAGameCharacter, 4, "\"\xC3\xA9\" (U+00E9)"));
  EXPECT_EQ(FormatAt(3).underlineStyle(), QTextCharFormat::WaveUnderline);
  EXPECT_NE(FormatAt(2).underlineStyle(), QTextCharFormat::WaveUnderline);
  EXPECT_EQ(HoverTip(3), named);
  // Before, the size label said "Unknown" with no hint at all.
  EXPECT_EQ(window.Label(LabelId::CurrentSize)->toolTip(), named);
}

TEST_F(CodeEditBoxTest, InsertCodeByCtrlKPutsTheGroupInWithItsArgumentsSelected) {
  OpenWithFonts();
  Retype(QStringLiteral("Hi !"));
  QTextCursor cursor = Edit().textCursor();
  cursor.setPosition(3);
  Edit().setTextCursor(cursor);
  bool ran = false;
  modals.onDialog = [&](QDialog& d) {
    auto* dialog = qobject_cast<ui::InsertCodeDialog*>(&d);
    if (!dialog) return false;
    ran = true;
    QTest::keyClicks(dialog->SearchField(), QStringLiteral("player name"));
    EXPECT_EQ(dialog->List()->currentItem()->text().left(10), QStringLiteral("[1C 02 00]"));
    QTest::keyClick(dialog->SearchField(), Qt::Key_Return);
    return true;
  };
  QTest::keyClick(&Edit(), Qt::Key_K, Qt::ControlModifier);
  ASSERT_TRUE(ran);
  EXPECT_EQ(EditText(), "Hi [1C 02 00]!");
  EXPECT_EQ(Edit().textCursor().selectedText(), QStringLiteral("00"));
  EXPECT_EQ(Edit().textCursor().selectionStart(), 10);
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 7 (uncompressed)");  // the logic saw it

  // A jump code to a line of the listing writes that text's address, lowest byte first.
  Retype(QString());
  modals.onDialog = [&](QDialog& d) {
    auto* dialog = qobject_cast<ui::InsertCodeDialog*>(&d);
    if (!dialog) return false;
    QTest::keyClicks(dialog->SearchField(), QStringLiteral("goto"));
    QTest::keyClick(dialog->SearchField(), Qt::Key_Down);  // "IF FLAG .. IS SET GOTO" is first
    EXPECT_TRUE(dialog->ToLineButton()->isEnabled());
    dialog->SetLinePrompt([] { return 5; });
    dialog->ToLineButton()->click();
    return true;
  };
  window.InsertCodeAction()->trigger();
  const uint32_t s3 = FileOffsetToSnes(ui_rom::kS3);
  char expected[32];
  std::snprintf(expected, sizeof expected, "[0A %02X %02X %02X 00]", s3 & 0xFF, (s3 >> 8) & 0xFF, (s3 >> 16) & 0xFF);
  EXPECT_EQ(EditText(), expected);

  // Escape closes it and inserts nothing.
  modals.onDialog = [&](QDialog& d) {
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    return true;
  };
  window.InsertCodeAction()->trigger();
  EXPECT_EQ(EditText(), expected);
}

TEST_F(CodeEditBoxTest, TheStatusBarCountsAndTellsWhetherTheTextFitsAsYouType) {
  EXPECT_EQ(window.TextStatus()->text(), QString());
  OpenWithFonts();
  auto status = [&] { return window.TextStatus()->text().toStdString(); };
  EXPECT_EQ(status().substr(0, 14), "21 characters,") << status();  // "Hello there[03 00 02]"
  EXPECT_TRUE(status().ends_with(": fits the text window")) << status();
  Edit().setFocus();
  QTest::keyClick(&Edit(), Qt::Key_End);
  QTest::keyClicks(&Edit(), QStringLiteral("!"));
  QApplication::processEvents();
  EXPECT_EQ(status().substr(0, 14), "22 characters,") << status();
  // One word far wider than the window.
  Retype(QString(60, QLatin1Char('W')));
  QApplication::processEvents();
  EXPECT_TRUE(window.TextStatus()->text().endsWith(QStringLiteral("not fit the text window")))
      << window.TextStatus()->text().toStdString();
  EXPECT_TRUE(window.TextStatus()->text().startsWith(QStringLiteral("60 characters")));
}

}  // namespace
}  // namespace lettermoor::test

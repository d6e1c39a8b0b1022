// The selection mark, the highlighted row and the entry shown stay one row, whatever the user
// does in the list; Apply and the pointer editor write only there and leave the list in place.
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QWheelEvent>

#include "codec/text_encoder.h"
#include "ui/main_window_fixture.h"
#include "ui/pointer_entry_dialog.h"

namespace lettermoor::test {
namespace {

// Sixty strings back to back, each led to by one pointer table record; record 60 shares row
// 20's string. Row i's text starts with the letter 'A' + i % 26, for the type-ahead.
namespace long_rom {
inline constexpr int64_t kFirst = 0x51D12;
inline constexpr int kStrings = 60;
inline constexpr int kRows = kStrings + 1;
inline constexpr int kShared = 20;  // rows 20 and 60 show one string

inline std::string Text(int i) {
  std::string text(1, static_cast<char>('A' + i % 26));
  text += " is the text of line number " + std::to_string(i + 1);
  return text;
}

inline SyntheticRom Build(std::vector<int64_t>* starts) {
  SyntheticRom rom;
  int64_t at = kFirst;
  for (int i = 0; i < kStrings; ++i) {
    std::vector<uint8_t> bytes = ScriptText(Text(i));
    bytes.push_back(0x02);
    rom.Put(at, bytes);
    rom.PointerRecord(i, FileOffsetToSnes(at), 1, 1);
    starts->push_back(at);
    at += static_cast<int64_t>(bytes.size());
  }
  rom.PointerRecord(kStrings, FileOffsetToSnes((*starts)[kShared]), 1, 1);
  return rom;
}
}  // namespace long_rom

constexpr int kStart = 5;
constexpr int kAnyOtherRow = -1;
const QString kTyped = QStringLiteral("Hi.[13 02]");

class MarkTest : public MainWindowTest {
 public:
  using MainWindowTest::List;
  using MainWindowTest::Edit;
  using MainWindowTest::RowCentre;
  using MainWindowTest::Trigger;
  using MainWindowTest::window;

  TempFile& OpenLong() {
    starts_.clear();
    file_ = long_rom::Build(&starts_).Save();
    Open(file_->Path());
    EXPECT_EQ(RowCount(), long_rom::kRows);
    return *file_;
  }

  void Press(int row, Qt::MouseButton button = Qt::LeftButton,
             Qt::KeyboardModifiers modifiers = {}) {
    QTest::mousePress(List().viewport(), button, modifiers, RowCentre(row));
  }
  void MoveTo(QPoint at) {
    // QTest::mouseMove carries no buttons; the drag needs the pressed one in the event.
    QMouseEvent move(QEvent::MouseMove, at, List().viewport()->mapToGlobal(at), Qt::NoButton,
                     heldButton_, {});
    QApplication::sendEvent(List().viewport(), &move);
  }
  void DragThrough(std::initializer_list<int> rows, Qt::MouseButton button) {
    heldButton_ = button;
    for (int row : rows) MoveTo(RowCentre(row));
  }
  void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseRelease(List().viewport(), button, {}, at);
    heldButton_ = Qt::NoButton;
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    List().setFocus();
    QTest::keyClick(&List(), key, modifiers);
  }
  void Wheel(int notches) {
    const QPoint at = List().viewport()->rect().center();
    QWheelEvent wheel(at, List().viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120 * notches),
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(List().viewport(), &wheel);
  }
  std::vector<uint8_t> ReadFile() const { return file_->ReadAll(); }
  int FirstVisibleRow() { return List().indexAt(QPoint(2, 2)).row(); }

  // The row "Line: N/M" names.
  int LabelRow() {
    const QString line = Label(LabelId::Line);
    const QString prefix = QStringLiteral("Line: ");
    if (!line.startsWith(prefix)) return -1;
    return line.mid(prefix.size()).section(QLatin1Char('/'), 0, 0).toInt() - 1;
  }
  QList<int> Highlighted() {
    QList<int> rows;
    for (const QModelIndex& index : List().selectionModel()->selectedIndexes()) rows << index.row();
    return rows;
  }
  // Mark, highlight and entry view name one row: gives it, or -2 where they disagree.
  int AgreedRow() {
    const int row = LabelRow();
    EXPECT_EQ(window.SelectionMark(), row);
    EXPECT_EQ(Highlighted(), QList<int>{row});
    EXPECT_EQ(EditText(), logic.DecodeEntry(row));
    return window.SelectionMark() == row && Highlighted() == QList<int>{row} ? row : -2;
  }

  // The file as it must be once `text` was applied to row `row`.
  std::vector<uint8_t> WrittenAt(std::vector<uint8_t> bytes, int row, const QString& text) {
    const int string = row == long_rom::kStrings ? long_rom::kShared : row;
    const std::vector<uint8_t> encoded = TextEncoder(text.toStdString());
    std::copy(encoded.begin(), encoded.end(),
              bytes.begin() + starts_[static_cast<size_t>(string)]);
    return bytes;
  }

  void ApplyTyped() {
    Retype(kTyped);
    QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  }

  std::vector<int64_t> starts_;
  Qt::MouseButton heldButton_ = Qt::NoButton;

 private:
  std::unique_ptr<TempFile> file_;
};

struct Gesture {
  const char* name;
  std::function<void(MarkTest&)> run;
  int row;  // where the mark must end, or kAnyOtherRow
};

const Gesture kGestures[] = {
    {"type-ahead", [](MarkTest& t) { QTest::keyClicks(&t.List(), QStringLiteral("q")); }, 16},
    {"left press, drag up, release on a row",
     [](MarkTest& t) {
       t.Press(kStart);
       t.DragThrough({4, 3, 2, 1}, Qt::LeftButton);
       t.Release(t.RowCentre(1));
     },
     1},
    {"left press, drag, release beside the list",
     [](MarkTest& t) {
       t.Press(kStart);
       t.DragThrough({6, 7, 8}, Qt::LeftButton);
       t.Release(QPoint(t.List().viewport()->width() + 30, t.RowCentre(8).y()));
     },
     8},
    {"middle click", [](MarkTest& t) { QTest::mouseClick(t.List().viewport(), Qt::MiddleButton, {}, t.RowCentre(2)); }, 2},
    {"middle press, drag, release",
     [](MarkTest& t) {
       t.Press(9, Qt::MiddleButton);
       t.DragThrough({8, 7}, Qt::MiddleButton);
       t.Release(t.RowCentre(7), Qt::MiddleButton);
     },
     kAnyOtherRow},
    {"right press, drag, release (the details window opens)",
     [](MarkTest& t) {
       t.Press(8, Qt::RightButton);
       t.DragThrough({6, 4, 3}, Qt::RightButton);
       t.Release(t.RowCentre(3), Qt::RightButton);
     },
     3},
    {"control click on the marked row", [](MarkTest& t) { QTest::mouseClick(t.List().viewport(), Qt::LeftButton, Qt::ControlModifier, t.RowCentre(kStart)); }, kStart},
    {"shift click", [](MarkTest& t) { QTest::mouseClick(t.List().viewport(), Qt::LeftButton, Qt::ShiftModifier, t.RowCentre(9)); }, 9},
    {"down, down", [](MarkTest& t) { t.Key(Qt::Key_Down); t.Key(Qt::Key_Down); }, 7},
    {"control down", [](MarkTest& t) { t.Key(Qt::Key_Down, Qt::ControlModifier); }, 6},
    {"control space on the marked row", [](MarkTest& t) { t.Key(Qt::Key_Space, Qt::ControlModifier); }, kStart},
    {"home", [](MarkTest& t) { t.Key(Qt::Key_Home); }, 0},
    {"end", [](MarkTest& t) { t.Key(Qt::Key_End); }, long_rom::kRows - 1},
    {"page down", [](MarkTest& t) { t.Key(Qt::Key_PageDown); }, kAnyOtherRow},
    {"end, page up", [](MarkTest& t) { t.Key(Qt::Key_End); t.Key(Qt::Key_PageUp); }, kAnyOtherRow},
    {"wheel, then click the top row in view",
     [](MarkTest& t) {
       t.Wheel(3);
       QTest::mouseClick(t.List().viewport(), Qt::LeftButton, {}, QPoint(20, 4));
     },
     kAnyOtherRow},
};

TEST_F(MarkTest, EveryGestureLeavesOneRowThatApplyWrites) {
  OpenLong();
  for (const Gesture& gesture : kGestures) {
    SCOPED_TRACE(gesture.name);
    modals.cancelledDialogs.clear();
    List().scrollToTop();
    ClickRow(kStart);
    Retype(QStringLiteral("Typed before the gesture[02]"));
    const std::vector<uint8_t> before = ReadFile();

    gesture.run(*this);
    QTest::qWait(0);  // the right-click's details window is cancelled from the event loop

    const int row = AgreedRow();
    if (row < 0) continue;  // the disagreement is reported; Apply would prove nothing more
    if (gesture.row == kAnyOtherRow) {
      EXPECT_NE(row, kStart);
    } else {
      EXPECT_EQ(row, gesture.row);
    }
    const int top = FirstVisibleRow();
    ApplyTyped();
    EXPECT_TRUE(modals.TakeMessages().empty());
    EXPECT_EQ(ReadFile(), WrittenAt(before, row, kTyped));
    EXPECT_EQ(AgreedRow(), row);
    EXPECT_EQ(FirstVisibleRow(), top);
  }
}

TEST_F(MarkTest, ApplyAndPointerEditOnASharedRowKeepTheRowAndTheScroll) {
  OpenLong();
  List().scrollTo(List().model()->index(14, 0), QAbstractItemView::PositionAtTop);
  const int top = FirstVisibleRow();
  ASSERT_EQ(top, 14);
  ClickRow(long_rom::kShared);

  // Apply: both rows of the string change, the applied row stays the one in hand.
  const std::vector<uint8_t> before = ReadFile();
  ApplyTyped();
  EXPECT_EQ(ReadFile(), WrittenAt(before, long_rom::kShared, kTyped));
  EXPECT_EQ(AgreedRow(), long_rom::kShared);
  EXPECT_EQ(Row(long_rom::kShared), QStringLiteral("Hi."));
  EXPECT_EQ(Row(long_rom::kStrings), QStringLiteral("Hi."));
  EXPECT_EQ(FirstVisibleRow(), top);

  // Pointer edit: the row is sent to row 30's string, and stays the row in hand.
  bool edited = false;
  modals.onDialog = [&](QDialog& dialog) {
    auto* editor = qobject_cast<ui::PointerEntryDialog*>(&dialog);
    if (!editor) return false;
    editor->AddressEdit()->setText(QString::number(FileOffsetToSnes(starts_[30]), 16));
    QTest::mouseClick(editor->ApplyButton(), Qt::LeftButton);
    edited = true;
    return true;
  };
  QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, RowCentre(long_rom::kShared));
  QTest::qWait(0);
  ASSERT_TRUE(edited);
  EXPECT_EQ(AgreedRow(), long_rom::kShared);
  EXPECT_EQ(Row(long_rom::kShared), QString::fromStdString(long_rom::Text(30)));
  EXPECT_EQ(FirstVisibleRow(), top);
}

TEST_F(MarkTest, ListingChangeStartsAtTheTop) {
  OpenLong();
  Key(Qt::Key_End);
  ASSERT_GT(FirstVisibleRow(), 0);
  Trigger(CommandId::RawTextListing);
  EXPECT_EQ(FirstVisibleRow(), 0);
  EXPECT_TRUE(Label(LabelId::Line).startsWith(QStringLiteral("Line: 1/")));
}

struct Ending {
  const char* name;
  std::function<void(MarkTest&)> run;
};

const Ending kEndings[] = {
    {"escape", [](MarkTest& t) { QTest::keyClick(&t.Edit(), Qt::Key_Escape); }},
    {"close box", [](MarkTest& t) { t.window.close(); }},
    {"file exit", [](MarkTest& t) { t.Trigger(CommandId::Exit); }},
};

TEST_F(MarkTest, EndingTheProgramAsksAboutTypedWork) {
  struct Answer {
    QMessageBox::StandardButton button;
    bool ends;
    bool written;
  };
  const Answer answers[] = {{QMessageBox::Cancel, false, false},
                            {QMessageBox::Discard, true, false},
                            {QMessageBox::Apply, true, true}};
  OpenLong();
  int round = 0;
  for (const Ending& ending : kEndings) {
    for (const Answer& answer : answers) {
      SCOPED_TRACE(std::string(ending.name) + ", button " + std::to_string(answer.button));
      window.show();
      window.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
      if (!logic.IsRomOpen()) OpenLong();
      ClickRow(kStart);
      const std::vector<uint8_t> before = ReadFile();
      // A new text each round: an applied one would be what the row already holds.
      const QString typed = QStringLiteral("Hi %1.[13 02]").arg(++round);
      Retype(typed);
      QString asked;
      modals.onQuestion = [&](QMessageBox& box) {
        asked = box.text();
        box.button(answer.button)->click();
      };
      ending.run(*this);
      QTest::qWait(0);
      EXPECT_EQ(asked, QStringLiteral("Apply the changes to line 6?"));
      EXPECT_EQ(window.isVisible(), !answer.ends);
      EXPECT_EQ(ReadFile(), answer.written ? WrittenAt(before, kStart, typed) : before);
      if (!answer.ends) { EXPECT_EQ(Edit().toPlainText(), typed); }
      modals.onQuestion = nullptr;
      modals.TakeMessages();
    }
  }
}

}  // namespace
}  // namespace lettermoor::test

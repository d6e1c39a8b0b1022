#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor_window.h"
#include "rom/snes_address.h"
#include "support/synthetic_rom.h"
#include "ui/main_window.h"
#include "ui/search_dialog.h"

namespace lettermoor::test {

// A small script: four strings back to back at the start of the first raw text range, led to by
// five pointer table records and one plain pointer.
//   S0 "Hello there" 03 00 02    14 bytes     row 0 (sprite 5, movement 1), row 3 (shares S0)
//   S1 "Good morning" 10 1E 02   15 bytes     row 1, row 5 (the plain pointer)
//   S2 "Find a clue" 00 02       13 bytes     row 2 (sprite 0: no TPT editing)
//   S3 "Good night" 02           11 bytes     row 4
namespace ui_rom {
inline constexpr int64_t kS0 = 0x51D12;
inline constexpr int64_t kS1 = kS0 + 14;
inline constexpr int64_t kS2 = kS1 + 15;
inline constexpr int64_t kS3 = kS2 + 13;
inline constexpr int kRows = 6;

inline std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline SyntheticRom Build() {
  SyntheticRom rom;
  rom.Put(kS0, Join(ScriptText("Hello there"), {0x03, 0x00, 0x02}));
  rom.Put(kS1, Join(ScriptText("Good morning"), {0x10, 0x1E, 0x02}));
  rom.Put(kS2, Join(ScriptText("Find a clue"), {0x00, 0x02}));
  rom.Put(kS3, Join(ScriptText("Good night"), {0x02}));
  rom.PointerRecord(0, FileOffsetToSnes(kS0), 5, 1);
  rom.PointerRecord(1, FileOffsetToSnes(kS1), 7, 2);
  rom.PointerRecord(2, FileOffsetToSnes(kS2), 0, 3);
  rom.PointerRecord(3, FileOffsetToSnes(kS0), 2, 2);
  rom.PointerRecord(4, FileOffsetToSnes(kS3), 1, 1);
  rom.PlainPointer(0, FileOffsetToSnes(kS1));
  return rom;
}
}  // namespace ui_rom

// A message box as the user saw it.
struct SeenMessage {
  QString text;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  QPointer<QWidget> owner;
};

// Plays the user in front of modal windows. Every message box is recorded and closed with OK;
// a search window is handed to `onSearch`, which works it and should close it; any other modal
// dialog is recorded by title and cancelled.
class ModalDriver : public QObject {
 public:
  ModalDriver() {
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start(1);
  }

  std::vector<SeenMessage> TakeMessages() { return std::exchange(messages_, {}); }

  std::function<void(ui::SearchDialog&)> onSearch;
  // Answers a message box without an OK button (a question) by clicking one of its buttons;
  // when unset such a box is cancelled.
  std::function<void(QMessageBox&)> onQuestion;
  // Sees every message box first (after it is recorded); gives true when it answers the box
  // itself, later, as a user would.
  std::function<bool(QMessageBox&)> onMessage;
  // Works any other modal dialog; gives false to leave it to be cancelled.
  std::function<bool(QDialog&)> onDialog;
  std::vector<QString> cancelledDialogs;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == busy_) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages_.push_back({box->text(), box->windowTitle(), box->icon(),
                           static_cast<int>(box->buttons().size()), box->parentWidget()});
      if (onMessage && onMessage(*box)) {
        busy_ = box;
      } else if (box->button(QMessageBox::Ok)) {
        box->button(QMessageBox::Ok)->click();
      } else if (onQuestion) {
        onQuestion(*box);
      } else {
        box->reject();
      }
      return;
    }
    // Handlers run outside this timer's slot: a message box they open must find Poll free.
    busy_ = modal;
    QMetaObject::invokeMethod(
        this,
        [this, dialog = QPointer<QWidget>(modal)] {
          if (!dialog) return;
          if (auto* search = qobject_cast<ui::SearchDialog*>(dialog.data()); search && onSearch) {
            onSearch(*search);
          } else if (auto* other = qobject_cast<QDialog*>(dialog.data());
                     other && onDialog && onDialog(*other)) {
            return;
          } else if (auto* other = qobject_cast<QDialog*>(dialog.data())) {
            cancelledDialogs.push_back(other->windowTitle());
            other->reject();
          }
        },
        Qt::QueuedConnection);
  }

  QTimer timer_;
  QPointer<QWidget> busy_;
  std::vector<SeenMessage> messages_;
};

// The real window and its logic, shown, with the open-file dialog answered by the test.
class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : savedDirectory_(QDir::currentPath()) {
    window.Attach(logic);
    logic.Initialise();
    window.SetRomPathPrompt([this] { return std::exchange(nextPick_, QString()); });
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  ~MainWindowTest() override {
    window.close();
    QDir::setCurrent(savedDirectory_);
  }

  // Picks the file in File > Open.
  void Open(const std::string& path) {
    nextPick_ = QString::fromStdString(path);
    Trigger(CommandId::Open);
  }

  TempFile& OpenStandard() {
    file_ = ui_rom::Build().Save();
    Open(file_->Path());
    return *file_;
  }

  void Trigger(CommandId id) { window.Action(id)->trigger(); }

  QListView& List() { return *window.List(); }
  QPlainTextEdit& Edit() { return *window.EditBox(); }
  std::string EditText() const { return window.EditText(); }
  QString Label(LabelId id) const { return window.Label(id)->text(); }
  QString Row(int row) { return List().model()->index(row, 0).data().toString(); }
  int RowCount() { return List().model()->rowCount(); }

  QPoint RowCentre(int row) {
    return List().visualRect(List().model()->index(row, 0)).center();
  }
  void ClickRow(int row, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(List().viewport(), button, {}, RowCentre(row));
  }

  // Replaces the edit box's text the way a user does: select all, then type.
  void Retype(const QString& text) {
    Edit().setFocus();
    QTest::keyClick(&Edit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&Edit(), Qt::Key_Delete);
    QTest::keyClicks(&Edit(), text);
  }

  ui::MainWindow window;
  EditorWindow logic{window};
  ModalDriver modals;

 private:
  QString savedDirectory_;
  QString nextPick_;
  std::unique_ptr<TempFile> file_;
};

}  // namespace lettermoor::test

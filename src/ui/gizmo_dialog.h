#pragma once

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;

namespace lettermoor::ui {

// A bare pair of up and down arrows attached to nothing, as a spin control without a buddy.
// It counts its own position (0-100) so the arrows have something to do; nobody reads it.
class SpinArrows : public QWidget {
  Q_OBJECT

 public:
  explicit SpinArrows(QWidget* parent);

  int Value() const { return value_; }
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Step(int delta);

  int value_ = 0;
  QToolButton* up_ = nullptr;
  QToolButton* down_ = nullptr;
};

// "Happy-Land is joy full place!": a note that there is no compression, and toys to play with.
// Nothing in it is read; every opening starts from the controls' defaults.
class GizmoDialog : public QDialog {
  Q_OBJECT

 public:
  explicit GizmoDialog(QWidget* parent);

  QLabel* Message() const { return message_; }
  QSlider* Slider() const { return slider_; }
  SpinArrows* Arrows() const { return arrows_; }
  QCheckBox* BooBox() const { return boo_; }
  QLineEdit* AddressField() const { return address_; }
  QDateEdit* DatePicker() const { return date_; }
  QPushButton* MonkeyBait() const { return monkeyBait_; }
  QLineEdit* EditBox() const { return edit_; }
  QPushButton* OkButton() const { return ok_; }

 private:
  QLabel* message_ = nullptr;
  QSlider* slider_ = nullptr;
  SpinArrows* arrows_ = nullptr;
  QCheckBox* boo_ = nullptr;
  QLineEdit* address_ = nullptr;
  QDateEdit* date_ = nullptr;
  QPushButton* monkeyBait_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace lettermoor::ui

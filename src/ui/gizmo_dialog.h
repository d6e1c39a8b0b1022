#pragma once

#include <QDialog>

#include "ui/spin_arrows.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace lettermoor::ui {

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

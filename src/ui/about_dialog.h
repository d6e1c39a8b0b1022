#pragma once

#include <QDialog>

#include "dialogs/about_box.h"
#include "ui/clickable_picture.h"

class QLabel;
class QPushButton;

namespace lettermoor::ui {

// "About": the program text, the possessed picture and the close button.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  // Without a generator the box draws from one seeded from the clock.
  explicit AboutDialog(QWidget* parent, AboutBox::Generator generator = {});

  QLabel* ProgramText() const { return text_; }
  ClickablePicture* Picture() const { return picture_; }
  QPushButton* CloseButton() const { return closeButton_; }

 private:
  void Possess();

  AboutBox box_;
  QLabel* text_ = nullptr;
  ClickablePicture* picture_ = nullptr;
  QPushButton* closeButton_ = nullptr;
};

}  // namespace lettermoor::ui

#pragma once

#include <QDialog>
#include <QLabel>

#include "dialogs/about_box.h"

class QPushButton;

namespace lettermoor::ui {

// A picture that reports a click (a press and release over it).
class ClickablePicture : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

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

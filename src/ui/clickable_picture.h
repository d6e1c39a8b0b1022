#pragma once

#include <QLabel>

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

}  // namespace lettermoor::ui

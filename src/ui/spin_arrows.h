#pragma once

#include <QWidget>

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

}  // namespace lettermoor::ui

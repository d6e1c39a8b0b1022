#include "ui/spin_arrows.h"

#include <QKeyEvent>
#include <QToolButton>

#include <algorithm>

namespace lettermoor::ui {

SpinArrows::SpinArrows(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::ClickFocus);
  up_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_ = new QToolButton(this);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
  }
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void SpinArrows::Step(int delta) { value_ = std::clamp(value_ + delta, 0, 100); }

void SpinArrows::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up) {
    up_->click();
  } else if (event->key() == Qt::Key_Down) {
    down_->click();
  } else {
    QWidget::keyPressEvent(event);
  }
}

void SpinArrows::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}

}  // namespace lettermoor::ui

#pragma once

#include <QListView>

#include <functional>

namespace lettermoor::ui {

// The entry list. Reports clicks, keys, double-clicks and right-clicks on rows once the view
// has moved its current index (the selection mark).
class EntryListView : public QListView {
 public:
  std::function<void()> onClick;
  std::function<void()> onKey;
  std::function<void()> onDoubleClick;
  std::function<void()> onRightClick;

  explicit EntryListView(QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace lettermoor::ui

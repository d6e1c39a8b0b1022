#pragma once

#include <QListView>

#include <functional>

namespace lettermoor::ui {

// The entry list. Reports clicks, keys, double-clicks and right-clicks on rows once the view
// has moved its current index (the selection mark).
//
// The mark, the highlighted row and the entry shown must always be the same row, whatever the
// user does. Qt moves the current index from many places (a press of any button, a drag and its
// auto-scroll, keys, type-ahead, focus), but every one of them ends in the selection model's
// setCurrentIndex, which calls currentChanged below: each change the program did not make
// itself is reported as onMarkMoved, and the row is highlighted with it. selectionCommand never
// toggles, deselects or clears, so no gesture can take the highlight off the mark either.
class EntryListView : public QListView {
 public:
  std::function<void()> onMarkMoved;
  std::function<void()> onClick;
  std::function<void()> onKey;
  std::function<void()> onDoubleClick;
  std::function<void()> onRightClick;

  explicit EntryListView(QWidget* parent);

  // While one lives, changes of the current index are the program's own and are not reported.
  class ProgramChange {
   public:
    explicit ProgramChange(EntryListView& view) : view_(view) { ++view_.programChanges_; }
    ~ProgramChange() { --view_.programChanges_; }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

   private:
    EntryListView& view_;
  };

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;

 private:
  int programChanges_ = 0;
};

}  // namespace lettermoor::ui

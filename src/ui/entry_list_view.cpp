#include "ui/entry_list_view.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace lettermoor::ui {

EntryListView::EntryListView(QWidget* parent) : QListView(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::NoContextMenu);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setTextElideMode(Qt::ElideRight);
  connect(this, &QAbstractItemView::clicked, this, [this] { if (onClick) onClick(); });
  connect(this, &QAbstractItemView::doubleClicked, this,
          [this] { if (onDoubleClick) onDoubleClick(); });
}

void EntryListView::keyPressEvent(QKeyEvent* event) {
  QListView::keyPressEvent(event);
  switch (event->key()) {
    // These end the dialog on the platform and never reach the list there.
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      return;
    default:
      if (onKey) onKey();
  }
}

void EntryListView::mouseReleaseEvent(QMouseEvent* event) {
  QListView::mouseReleaseEvent(event);
  if (event->button() != Qt::RightButton) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) return;
  // The platform list moves its selection mark to the row before it reports the right-click.
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  if (onRightClick) onRightClick();
}

void EntryListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QListView::currentChanged(current, previous);
  if (programChanges_ > 0 || !current.isValid()) return;
  selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
  if (onMarkMoved) onMarkMoved();
}

QItemSelectionModel::SelectionFlags EntryListView::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* event) const {
  // Qt's single selection deselects on a Ctrl+click and clears on a drag past the last row;
  // here a row is only ever highlighted in place of another, and a release changes nothing.
  if (!index.isValid() || (event && event->type() == QEvent::MouseButtonRelease)) {
    return QItemSelectionModel::NoUpdate;
  }
  return QItemSelectionModel::ClearAndSelect;
}

}  // namespace lettermoor::ui

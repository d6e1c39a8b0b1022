#pragma once

#include <QStyledItemDelegate>

namespace lettermoor::ui {

// Gives every row the width of the report view's single column, so that long previews end in
// an ellipsis at the column's edge and the list scrolls sideways when the column is wider.
class ColumnDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void SetColumnWidth(int width) { width_ = width; }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  int width_ = 0;
};

}  // namespace lettermoor::ui

#include "ui/column_delegate.h"

namespace lettermoor::ui {

QSize ColumnDelegate::sizeHint(const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  if (width_ > 0) size.setWidth(width_);
  return size;
}

}  // namespace lettermoor::ui

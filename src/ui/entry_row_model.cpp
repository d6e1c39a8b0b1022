#include "ui/entry_row_model.h"

#include "ui/dialog_frame.h"

namespace lettermoor::ui {

int EntryRowModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant EntryRowModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
  return FromBytes(rows_[static_cast<size_t>(index.row())]);
}

void EntryRowModel::SetRows(RowList rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void EntryRowModel::SetRowText(int row, std::string_view text) {
  if (row < 0 || row >= rowCount()) return;
  rows_.Set(static_cast<size_t>(row), text);
  const QModelIndex changed = index(row, 0);
  emit dataChanged(changed, changed, {Qt::DisplayRole});
}

}  // namespace lettermoor::ui

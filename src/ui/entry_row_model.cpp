#include "ui/entry_row_model.h"

#include <algorithm>

#include "ui/dialog_frame.h"

namespace lettermoor::ui {

int EntryRowModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant EntryRowModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
  return FromBytes(rows_[static_cast<size_t>(index.row())]);
}

void EntryRowModel::SetRows(std::vector<std::string> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void EntryRowModel::RemoveRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void EntryRowModel::InsertRow(int row, std::string text) {
  row = std::clamp(row, 0, rowCount());  // past the end appends, as the platform list does
  beginInsertRows(QModelIndex(), row, row);
  rows_.insert(rows_.begin() + row, std::move(text));
  endInsertRows();
}

}  // namespace lettermoor::ui

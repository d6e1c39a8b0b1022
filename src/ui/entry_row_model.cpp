#include "ui/entry_row_model.h"

#include <QPainter>
#include <QPixmap>

#include "ui/dialog_frame.h"

namespace lettermoor::ui {

namespace {

// A check mark in the text's colour, or the same room left blank so that every row's text
// starts at one place.
QPixmap MarkPicture(bool checked) {
  constexpr int kSide = 11;
  QPixmap picture(kSide, kSide);
  picture.fill(Qt::transparent);
  if (checked) {
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QPalette().color(QPalette::Text), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(1.5, 6), QPointF(4.5, 9), QPointF(9.5, 2)}));
  }
  return picture;
}

}  // namespace

int EntryRowModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant EntryRowModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const size_t row = static_cast<size_t>(index.row());
  if (role == Qt::DisplayRole) return FromText(rows_[row], utf8_);
  if (translated_.empty()) return {};
  const bool translated = row < translated_.size() && translated_[row];
  switch (role) {
    case kTranslatedRole: return translated;
    case Qt::DecorationRole: {
      QPixmap& picture = translated ? marked_ : blank_;
      if (picture.isNull()) picture = MarkPicture(translated);
      return picture;
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: return translated ? QStringLiteral("Translated") : QStringLiteral("Untranslated");
    default: return {};
  }
}

void EntryRowModel::SetTranslated(std::vector<bool> translated) {
  if (translated.empty() && translated_.empty()) return;
  translated_ = std::move(translated);
  if (rowCount() > 0) {
    emit dataChanged(index(0, 0), index(rowCount() - 1, 0),
                     {Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole, kTranslatedRole});
  }
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

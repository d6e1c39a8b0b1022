#pragma once

#include <QAbstractListModel>

#include <string>

#include "document/row_list.h"

namespace lettermoor::ui {

// The list rows: plain texts, replaced all at once by a fill. They are kept as the logic hands
// them over and made into QStrings only when the view asks for a row, so that a fill of 8000
// rows costs no conversion of rows nobody looks at.
class EntryRowModel : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void SetRows(RowList rows);
  // Changes a row's text where it stands; views keep their current index, selection and scroll.
  void SetRowText(int row, std::string_view text);

 private:
  RowList rows_;
};

}  // namespace lettermoor::ui

#pragma once

#include <QAbstractListModel>
#include <QPixmap>

#include <string>
#include <vector>

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

  // A translated row's mark: a check drawn before its text (no colour needed to read it), with
  // "Translated" as its hint and for screen readers. Empty: no marks and no room kept for them.
  void SetTranslated(std::vector<bool> translated);
  // Rows are UTF-8 (through a character table) rather than a character per byte.
  void SetUtf8(bool utf8) { utf8_ = utf8; }
  // True for a row marked translated (the data of that role, for tests and tools).
  static constexpr int kTranslatedRole = Qt::UserRole + 1;

 private:
  RowList rows_;
  std::vector<bool> translated_;
  bool utf8_ = false;
  mutable QPixmap marked_, blank_;  // drawn when first shown
};

}  // namespace lettermoor::ui

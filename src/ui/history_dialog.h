#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <vector>

#include "document/document.h"

class QPushButton;
class QTreeWidget;

namespace lettermoor::ui {

// File > History...: the changes written to the ROM, newest first (number, time, kind, lines, old
// and new text), and an Undo button for the one picked. The list is read again after each undo.
class HistoryDialog : public QDialog {
  Q_OBJECT

 public:
  HistoryDialog(QWidget* parent, std::function<std::vector<HistoryEntry>()> entries,
                std::function<void(uint64_t)> undo);

  QTreeWidget* List() const { return list_; }
  QPushButton* UndoButton() const { return undo_; }
  // Reads the entries again, keeping the picked one picked when it is still there.
  void Reload();

 private:
  std::function<std::vector<HistoryEntry>()> entries_;
  std::function<void(uint64_t)> undoEntry_;
  QTreeWidget* list_ = nullptr;
  QPushButton* undo_ = nullptr;
};

}  // namespace lettermoor::ui

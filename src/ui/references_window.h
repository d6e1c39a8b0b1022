#pragma once

#include <QWidget>
#include <functional>

#include "document/references_page.h"

class QLabel;
class QTreeWidget;

namespace lettermoor::ui {

// The modeless window of Tools > Find References: one row per reference to a text (kind, what
// and where, the main list's line), what the index cannot see, and the free space left. A
// double-click on a row with a line hands that line's row to `onSelect`.
class ReferencesWindow : public QWidget {
  Q_OBJECT

 public:
  ReferencesWindow(std::function<void(int row)> onSelect, std::function<void()> onClosed,
                   std::function<void()> onActivated, QWidget* parent = nullptr);

  void ShowPage(const ReferencesPage& page);
  QTreeWidget* Rows() const { return rows_; }
  QLabel* Heading() const { return heading_; }
  QLabel* Note() const { return note_; }
  QLabel* FreeSpace() const { return freeSpace_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;  // Escape closes it
  bool event(QEvent* event) override;

 private:
  std::function<void(int)> onSelect_;
  std::function<void()> onClosed_;
  std::function<void()> onActivated_;
  QLabel* heading_ = nullptr;
  QTreeWidget* rows_ = nullptr;
  QLabel* note_ = nullptr;
  QLabel* freeSpace_ = nullptr;
};

}  // namespace lettermoor::ui

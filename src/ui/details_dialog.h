#pragma once

#include <QDialog>
#include <array>

#include "dialogs/details_page.h"
#include "dialogs/details_page.h"

class QTabBar;
class QWidget;

namespace lettermoor::ui {

// "Details": a tab control with four pages over the entry the editor works on. The eight
// children sit on the tab control at fixed pixel places; each tab change composes its page
// afresh and shows only that page's children. It always opens on "Misc. Info".
class DetailsDialog : public QDialog {
  Q_OBJECT

 public:
  DetailsDialog(QWidget* parent, const DetailsRequest& request);

  QTabBar* Tabs() const { return tabs_; }
  QWidget* TabControl() const { return tabControl_; }
  // Child `id` (0-7) of the tab control.
  QWidget* Child(int id) const { return children_[static_cast<size_t>(id)]; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ShowPage(int index);

  DetailsRequest request_;
  QWidget* tabControl_ = nullptr;
  QTabBar* tabs_ = nullptr;
  std::array<QWidget*, kDetailsChildCount> children_{};
};

}  // namespace lettermoor::ui

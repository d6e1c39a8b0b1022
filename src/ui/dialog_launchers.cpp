#include "ui/dialog_launchers.h"

#include "ui/about_dialog.h"
#include "ui/details_dialog.h"
#include "ui/gizmo_dialog.h"
#include "ui/pointer_entry_dialog.h"

namespace lettermoor::ui {

// Each window is made for one opening and gone when it closes; a fixed-size dialog with a parent
// opens centred over it.

bool RunPointerEntryDialog(QWidget* parent, PointerEntryForm& form) {
  PointerEntryDialog dialog(parent, form);
  if (dialog.exec() != QDialog::Accepted) return false;
  form = dialog.Form();
  return true;
}

void RunDetailsDialog(QWidget* parent, const DetailsRequest& request) {
  DetailsDialog dialog(parent, request);
  dialog.exec();
}

void RunAboutDialog(QWidget* parent) {
  AboutDialog dialog(parent);
  dialog.exec();
}

void RunGizmoDialog(QWidget* parent) {
  GizmoDialog dialog(parent);
  dialog.exec();
}

}  // namespace lettermoor::ui

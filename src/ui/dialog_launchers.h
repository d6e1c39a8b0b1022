#pragma once

#include "dialogs/details_page.h"
#include "dialogs/pointer_entry_editor.h"

class QWidget;

namespace lettermoor::ui {

// The modal auxiliary windows, each made afresh and run over `parent`.
// Gives true when the user applied valid fields (written back into `form`).
bool RunPointerEntryDialog(QWidget* parent, PointerEntryForm& form);
void RunDetailsDialog(QWidget* parent, const DetailsRequest& request);
void RunAboutDialog(QWidget* parent);
void RunGizmoDialog(QWidget* parent);

}  // namespace lettermoor::ui

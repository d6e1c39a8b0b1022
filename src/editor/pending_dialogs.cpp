// Placeholders until the dialogs' logic lands; their definitions replace these.
#include "editor/editor_window.h"

namespace lettermoor {
__attribute__((weak)) void EditorWindow::EditTextPointerEntry() {}
__attribute__((weak)) void EditorWindow::OpenDetails() {}
}  // namespace lettermoor

// Stand-ins until the pictures and the auxiliary dialogs land; weak, so the real ones win.
#include <QIcon>
#include <QPixmap>

#include "ui/dialog_launchers.h"
#include "ui/pixel_art.h"

namespace lettermoor::ui {
__attribute__((weak)) QPixmap ResourceBitmap(int) { return {}; }
__attribute__((weak)) QIcon AppIcon() { return {}; }
__attribute__((weak)) bool RunPointerEntryDialog(QWidget*, PointerEntryForm&) { return false; }
__attribute__((weak)) void RunDetailsDialog(QWidget*, const DetailsRequest&) {}
__attribute__((weak)) void RunAboutDialog(QWidget*) {}
__attribute__((weak)) void RunGizmoDialog(QWidget*) {}
}  // namespace lettermoor::ui

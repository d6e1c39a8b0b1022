#pragma once

#include <QIcon>
#include <QPixmap>

namespace lettermoor::ui {

// The program's pictures, drawn by our own code at their stated pixel sizes:
// 133 (150x154, a grinning cartoon face), 145 (32x66, a figure), 147 (480x2, the rule along the
// main window's top), 148 (64x64, a tool box), 149 (32x32, a screen), 150 (250x2, a rule),
// 164 (48x48, a cartoon face with an open mouth).
QPixmap ResourceBitmap(int id);

// Icon 128: the window and desktop icon.
QIcon AppIcon();

}  // namespace lettermoor::ui

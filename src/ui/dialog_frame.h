#pragma once

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QRect>
#include <QShortcut>
#include <QString>
#include <string>
#include <string_view>

#include "ui/geometry.h"

namespace lettermoor::ui {

// A rectangle given in dialog units, in pixels.
inline QRect DluRect(int x, int y, int width, int height) {
  return QRect(DluX(x), DluY(y), DluX(width), DluY(height));
}

// The layouts were measured in an 8-point MS Sans Serif: prefer a face of its width, at the
// pixel size it had, so the fixed texts fit their fixed places.
inline QFont DialogFont(QFont font) {
  font.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                    QStringLiteral("Helvetica"), font.family()});
  font.setPixelSize(11);
  return font;
}

// The frame every auxiliary window shares: a caption with a close box and no other buttons, a
// fixed size in dialog units, and the small font the layouts were measured with.
inline void SetUpFixedDialog(QDialog& dialog, const char* caption, int widthDlu, int heightDlu) {
  dialog.setWindowTitle(QString::fromLatin1(caption));
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog.setFixedSize(DluX(widthDlu), DluY(heightDlu));
  dialog.setFont(DialogFont(dialog.font()));
}

// Fixed texts sit in fixed rectangles; where the font at hand runs wider than the one the layout
// was measured with, the label's font steps down a pixel at a time until its text fits. With
// `wholeLines`, a wrapping label's own lines (an address, say) must also fit unbroken.
inline void FitLabel(QLabel& label, bool wholeLines = false) {
  QFont font = label.font();
  auto linesFit = [&] {
    const QFontMetrics metrics(label.font());
    const int room = label.contentsRect().width() - 2 * label.margin();
    for (const QString& line : label.text().split(QLatin1Char('\n'))) {
      if (metrics.horizontalAdvance(line) > room) return false;
    }
    return true;
  };
  auto fits = [&] {
    if (label.wordWrap()) {
      return label.heightForWidth(label.width()) <= label.height() && (!wholeLines || linesFit());
    }
    return label.sizeHint().width() <= label.width();
  };
  while (!fits() && font.pixelSize() > 8) {
    font.setPixelSize(font.pixelSize() - 1);
    label.setFont(font);
  }
}

// Escape closes a window of its own (not a dialog, which closes on it already).
inline void CloseOnEscape(QWidget& window) {
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
  QObject::connect(escape, &QShortcut::activated, &window, &QWidget::close);
}

// The editor's texts are byte strings, one Latin-1 character per byte.
inline QString FromBytes(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A text of the ROM's: UTF-8 through a character table, else one character per byte as above.
inline QString FromText(std::string_view text, bool utf8) {
  return utf8 ? QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())) : FromBytes(text);
}

}  // namespace lettermoor::ui

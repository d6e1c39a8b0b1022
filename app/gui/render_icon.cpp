// lettermoor-render-icon ROOT SIZE...: writes the program's icon as ROOT/NxN/apps/lettermoor.png
// for each size, the layout of a freedesktop icon theme. Run at build time for the install.
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <cstdio>

#include "ui/pixel_art.h"

namespace {

// The icon at `size` pixels: a drawn size when there is one, otherwise the largest drawn image
// scaled pixel for pixel (it is pixel art) or smoothly down.
QImage IconAt(const QIcon& icon, int size) {
  QList<QSize> drawn = icon.availableSizes();
  if (drawn.contains(QSize(size, size))) return icon.pixmap(QSize(size, size)).toImage();
  QSize largest;
  for (const QSize& s : drawn) {
    if (s.width() > largest.width()) largest = s;
  }
  if (largest.isEmpty()) return {};
  const QImage source = icon.pixmap(largest).toImage();
  const bool whole = size > largest.width() && size % largest.width() == 0;
  return source.scaled(size, size, Qt::KeepAspectRatio,
                       whole ? Qt::FastTransformation : Qt::SmoothTransformation);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s ROOT SIZE...\n", argv[0]);
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  const QIcon icon = lettermoor::ui::AppIcon();
  for (int i = 2; i < argc; ++i) {
    const int size = QString::fromLatin1(argv[i]).toInt();
    const QImage image = size > 0 ? IconAt(icon, size) : QImage();
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
    if (image.isNull() || !QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/lettermoor.png"))) {
      std::fprintf(stderr, "%s: cannot write the %s-pixel icon under %s\n", argv[0], argv[i], argv[1]);
      return 1;
    }
  }
  return 0;
}

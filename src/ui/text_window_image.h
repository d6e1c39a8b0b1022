#pragma once

// The drawn text window as a QImage, in the colours the command-line tool's pictures use.

#include <QColor>
#include <QImage>
#include <QVector>

#include "codec/text_window_picture.h"
#include "codec/window_png.h"

namespace lettermoor::ui {

// The picture scaled up by a whole factor, every pixel a square of scale x scale.
inline QImage TextWindowImage(const TextWindowPicture& picture, int scale) {
  QImage image(picture.width, picture.height, QImage::Format_Indexed8);
  QVector<QRgb> table;
  for (uint32_t rgb : kWindowColours) table.push_back(0xFF000000u | rgb);
  image.setColorTable(table);
  for (int y = 0; y < picture.height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < picture.width; ++x) row[x] = static_cast<uchar>(picture.At(x, y));
  }
  if (scale <= 1) return image;
  return image.scaled(picture.width * scale, picture.height * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace lettermoor::ui

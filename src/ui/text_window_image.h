#pragma once

// The drawn text window as a QImage. Header-only, on QtGui alone, so that the command-line tool
// can write the same picture the preview window shows.

#include <QColor>
#include <QImage>
#include <QVector>

#include <array>

#include "codec/text_window_picture.h"

namespace lettermoor::ui {

// The colours of the pixel kinds, in WindowPixel order: the game's dark window with white text;
// what goes wrong in red, the game's own wraps in blue, estimates in amber.
inline const std::array<QRgb, kWindowPixelKinds>& TextWindowColours() {
  static const std::array<QRgb, kWindowPixelKinds> colours = {
      qRgb(0x18, 0x18, 0x30),  // Background
      qRgb(0x34, 0x24, 0x2C),  // Outside
      qRgb(0xF8, 0xF8, 0xF8),  // Ink
      qRgb(0xFF, 0x50, 0x50),  // OverflowInk
      qRgb(0xB0, 0x80, 0x20),  // Estimate
      qRgb(0x50, 0xA8, 0xFF),  // WrapMark
      qRgb(0xFF, 0x50, 0xFF),  // CutMark
  };
  return colours;
}

// The picture scaled up by a whole factor, every pixel a square of scale x scale.
inline QImage TextWindowImage(const TextWindowPicture& picture, int scale) {
  QImage image(picture.width, picture.height, QImage::Format_Indexed8);
  QVector<QRgb> table;
  for (QRgb c : TextWindowColours()) table.push_back(c);
  image.setColorTable(table);
  for (int y = 0; y < picture.height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < picture.width; ++x) row[x] = static_cast<uchar>(picture.At(x, y));
  }
  if (scale <= 1) return image;
  return image.scaled(picture.width * scale, picture.height * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace lettermoor::ui

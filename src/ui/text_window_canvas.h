#pragma once

#include <QWidget>

#include "codec/rom_fonts.h"
#include "codec/text_layout.h"
#include "codec/text_window_picture.h"

namespace lettermoor::ui {

// The frames one under the other, each in the game window's frame at 2x or 3x, with the pixels
// left beside every line. Paints only the frames that the paint event exposes.
class TextWindowCanvas : public QWidget {
 public:
  explicit TextWindowCanvas(QWidget* parent);

  void Show(const TextLayoutResult* layout, const RomFonts* fonts);
  void SetScale(int scale);
  int Scale() const { return scale_; }
  // Frames drawn by the last paint (for tests: a keystroke must not draw every frame).
  int FramesPainted() const { return framesPainted_; }
  // The area of frame `index` in the canvas.
  QRect FrameRect(int index) const;
  // The last frame painted (for tests: what the game's pixels came out as).
  const TextWindowPicture& LastPicture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int FrameStep() const;
  QSize Needed() const;

  const TextLayoutResult* layout_ = nullptr;
  const RomFonts* fonts_ = nullptr;
  int scale_ = 2;
  int framesPainted_ = 0;
  TextWindowPicture picture_;
};

}  // namespace lettermoor::ui

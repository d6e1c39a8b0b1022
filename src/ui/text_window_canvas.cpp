#include "ui/text_window_canvas.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "ui/text_window_image.h"

namespace lettermoor::ui {

namespace {

// Canvas geometry, in screen pixels.
constexpr int kMargin = 12;
constexpr int kBorder = 3;      // the window frame's line
constexpr int kPadding = 6;     // between the frame and the text
constexpr int kCaption = 18;    // the line above each frame
constexpr int kGap = 14;        // between frames
constexpr int kLeftColumn = 96;  // the "pixels left" column after the frame

QString WaitName(uint8_t code) {
  switch (code) {
    case text_window::kWaitPromptCode: return QStringLiteral("waits for a button (03, with the triangle)");
    case text_window::kWaitNoPromptCode: return QStringLiteral("waits for a button (13, no triangle)");
    case text_window::kWaitBattleCode: return QStringLiteral("waits for a button (14, battle)");
    default: return QStringLiteral("end of the text");
  }
}

}  // namespace

TextWindowCanvas::TextWindowCanvas(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor(0x2A, 0x2A, 0x2E));
  p.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
  setPalette(p);
}

void TextWindowCanvas::Show(const TextLayoutResult* layout, const RomFonts* fonts) {
  layout_ = layout;
  fonts_ = fonts;
  const QSize needed = Needed();
  if (size() != needed) setFixedSize(needed);
  update();
}

void TextWindowCanvas::SetScale(int scale) {
  scale_ = scale;
  Show(layout_, fonts_);
}

int TextWindowCanvas::FrameStep() const {
  const text_window::WindowShape shape = ShapeOf(layout_ ? layout_->kind : TextWindowKind::Dialogue);
  return kCaption + 2 * (kBorder + kPadding) + shape.lines * text_window::kLineHeight * scale_ + kGap;
}

QSize TextWindowCanvas::Needed() const {
  const text_window::WindowShape shape = ShapeOf(layout_ ? layout_->kind : TextWindowKind::Dialogue);
  const int frames = layout_ ? static_cast<int>(layout_->frames.size()) : 0;
  const int width = 2 * kMargin + (shape.lineWidth + TextWindowPicture::kOverflowRoom) * scale_ +
                    2 * (kBorder + kPadding) + kLeftColumn;
  return QSize(width, 2 * kMargin + std::max(frames, 1) * FrameStep());
}

QRect TextWindowCanvas::FrameRect(int index) const { return QRect(0, kMargin + index * FrameStep(), width(), FrameStep()); }

void TextWindowCanvas::paintEvent(QPaintEvent* event) {
  framesPainted_ = 0;
  if (!layout_ || !fonts_) return;
  QPainter painter(this);
  const text_window::WindowShape shape = ShapeOf(layout_->kind);
  const int frames = static_cast<int>(layout_->frames.size());
  const int step = FrameStep();
  // Only the frames the exposed area touches.
  const int first = std::max(0, (event->rect().top() - kMargin) / step);
  const int last = std::min(frames - 1, (event->rect().bottom() - kMargin) / step);
  for (int f = first; f <= last; ++f) {
    ++framesPainted_;
    const LayoutFrame& frame = layout_->frames[static_cast<size_t>(f)];
    const int top = kMargin + f * step;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(kMargin, top, width() - 2 * kMargin, kCaption), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Frame %1 of %2: %3")
                         .arg(f + 1)
                         .arg(frames)
                         .arg(frame.passing ? QStringLiteral("line %1 does not fit (scrolls on, no stop)").arg(frame.lastLine + 1)
                                            : WaitName(frame.waitCode)));

    // The game's window: a light frame around its lines.
    const QRect inner(kMargin + kBorder + kPadding, top + kCaption + kBorder + kPadding, shape.lineWidth * scale_,
                      shape.lines * text_window::kLineHeight * scale_);
    const QRect outer = inner.adjusted(-kPadding - kBorder, -kPadding - kBorder, kPadding + kBorder, kPadding + kBorder);
    painter.fillRect(outer, QColor(0xF0, 0xF0, 0xF0));
    painter.fillRect(outer.adjusted(kBorder, kBorder, -kBorder, -kBorder), QColor(QRgb(kWindowColours[0])));

    DrawTextWindowFrame(*layout_, f, *fonts_, picture_);
    painter.drawImage(inner.topLeft(), TextWindowImage(picture_, scale_));
    // The window's right edge stays visible across the room where overflowing text shows.
    painter.fillRect(QRect(inner.right() + 1 + kPadding, outer.top(), kBorder, outer.height()), QColor(0xF0, 0xF0, 0xF0));

    // The pixels left on each line the frame shows.
    const int column = inner.left() + (shape.lineWidth + TextWindowPicture::kOverflowRoom) * scale_ + kBorder + kPadding;
    for (int32_t n = frame.firstLine; n <= frame.lastLine; ++n) {
      const LayoutLine& line = layout_->lines[static_cast<size_t>(n)];
      const int left = shape.lineWidth - line.width;
      QString text = left >= 0 ? QStringLiteral("%1 px left").arg(left) : QStringLiteral("%1 px over").arg(-left);
      if (line.cut) text += QStringLiteral(", cut");
      if (line.estimated) text += QStringLiteral(" (est.)");
      painter.setPen(line.overflow || line.cut ? QColor(QRgb(kWindowColours[3]))
                     : line.wrapped           ? QColor(QRgb(kWindowColours[5]))
                                              : palette().color(QPalette::WindowText));
      const int y = inner.top() + (n - frame.firstLine) * text_window::kLineHeight * scale_;
      painter.drawText(QRect(column, y, kLeftColumn, text_window::kLineHeight * scale_), Qt::AlignLeft | Qt::AlignVCenter,
                       text);
    }
  }
}

}  // namespace lettermoor::ui

#include "ui/text_preview_window.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "codec/text_encoder.h"
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
                     QStringLiteral("Frame %1 of %2: %3").arg(f + 1).arg(frames).arg(WaitName(frame.waitCode)));

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

TextPreviewWindow::TextPreviewWindow(std::function<PreviewSource()> source, QWidget* parent)
    : QWidget(parent, Qt::Window), source_(std::move(source)) {
  setWindowTitle(QStringLiteral("Preview Text Window"));
  auto* layout = new QVBoxLayout(this);

  auto* controls = new QHBoxLayout;
  heading_ = new QLabel(this);
  heading_->setTextFormat(Qt::PlainText);
  controls->addWidget(heading_, 1);
  auto addChoice = [&](const QString& text, QButtonGroup* group, int id, bool checked) {
    auto* button = new QRadioButton(text, this);
    button->setChecked(checked);
    group->addButton(button, id);
    controls->addWidget(button);
  };
  auto* kinds = new QButtonGroup(this);
  addChoice(QStringLiteral("&Dialogue"), kinds, 0, true);
  addChoice(QStringLiteral("&Battle"), kinds, 1, false);
  controls->addSpacing(16);
  auto* scales = new QButtonGroup(this);
  addChoice(QStringLiteral("&2x"), scales, 2, true);
  addChoice(QStringLiteral("&3x"), scales, 3, false);
  connect(kinds, &QButtonGroup::idClicked, this,
          [this](int id) { SetKind(id == 1 ? TextWindowKind::Battle : TextWindowKind::Dialogue); });
  connect(scales, &QButtonGroup::idClicked, this, [this](int id) { SetScale(id); });
  layout->addLayout(controls);

  canvas_ = new TextWindowCanvas(this);
  scroll_ = new QScrollArea(this);
  scroll_->setWidget(canvas_);
  scroll_->setWidgetResizable(false);
  layout->addWidget(scroll_, 1);

  auto* legend = new QLabel(
      QStringLiteral("White: fits.  Red: runs over or cuts a word (magenta bar).  Blue mark: the game "
                     "wrapped the line itself.  Amber: a name or number at its longest (an estimate)."),
      this);
  legend->setWordWrap(true);
  layout->addWidget(legend);
  resize(640, 520);
}

void TextPreviewWindow::Follow() {
  const PreviewSource s = source_();
  // Read again for every entry: it is cheap, and the file may have changed under us.
  fonts_ = s.rom ? ReadRomFonts(*s.rom) : RomFonts{};
  widths_ = LayoutWidthsOf(fonts_);
  Relayout();
}

void TextPreviewWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Follow();
}

void TextPreviewWindow::TextChanged() { Relayout(); }

void TextPreviewWindow::SetKind(TextWindowKind kind) {
  kind_ = kind;
  Relayout();
}

void TextPreviewWindow::SetScale(int scale) { canvas_->SetScale(scale); }

QString TextPreviewWindow::Heading() const { return heading_->text(); }

void TextPreviewWindow::Relayout() {
  const PreviewSource s = source_();
  const text_window::FontId font = kind_ == TextWindowKind::Battle ? text_window::FontId::Battle : text_window::FontId::Main;
  if (!s.rom || !s.dictionary) {
    heading_->setText(QStringLiteral("No ROM is open."));
    layout_ = TextLayoutResult{};
    canvas_->Show(nullptr, nullptr);
    return;
  }
  if (!fonts_.Of(font).readable) {
    heading_->setText(QStringLiteral("The ROM's font table does not lead to a readable font."));
    layout_ = TextLayoutResult{};
    canvas_->Show(nullptr, nullptr);
    return;
  }
  TextLayout(*s.dictionary, widths_).Lay(TextEncoder(s.text), kind_, layout_);
  int over = 0;
  for (const LayoutLine& line : layout_.lines) over += line.overflow || line.cut;
  QString heading = s.row >= 0 ? QStringLiteral("Line %1: ").arg(s.row + 1) : QString();
  heading += QStringLiteral("%1 line%2, %3 frame%4")
                 .arg(layout_.lines.size())
                 .arg(layout_.lines.size() == 1 ? "" : "s")
                 .arg(layout_.frames.size())
                 .arg(layout_.frames.size() == 1 ? "" : "s");
  if (over > 0) heading += QStringLiteral(", %1 not fitting").arg(over);
  heading_->setText(heading);
  canvas_->Show(&layout_, &fonts_);
}

}  // namespace lettermoor::ui

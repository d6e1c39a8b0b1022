#include "ui/font_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include "document/document_text.h"
#include "ui/dialog_frame.h"

namespace lettermoor::ui {

using namespace text_window;

namespace {

constexpr int kGridScale = 2;
constexpr int kLabelHeight = 14;
constexpr int kColumns = FontSheetGeometry::kColumns;

const QColor kInk(Qt::black);
const QColor kPaper(Qt::white);
const QColor kPaperPastWidth(0xC8, 0xC8, 0xE8);

// Paints a glyph at `scale`, its paper past the character's width shaded.
void PaintGlyph(QPainter& painter, const RomFont& font, uint8_t byte, QPoint at, int scale) {
  const int width = font.Width(byte);
  for (int y = 0; y < font.height; ++y) {
    for (int x = 0; x < font.GlyphWidth(); ++x) {
      const QColor c = font.Pixel(byte, x, y) ? kInk : x < width ? kPaper : kPaperPastWidth;
      painter.fillRect(at.x() + x * scale, at.y() + y * scale, scale, scale, c);
    }
  }
}

}  // namespace

GlyphGrid::GlyphGrid(QWidget* parent) : QWidget(parent) {}

QSize GlyphGrid::CellSize() const {
  if (!font_) return {1, 1};
  return {std::max(font_->GlyphWidth() * kGridScale, 32) + 6, kLabelHeight + font_->height * kGridScale + 6};
}

void GlyphGrid::Show(const RomFont* font, const FontLetters* letters, int selected) {
  font_ = font && font->readable ? font : nullptr;
  letters_ = letters;
  selected_ = selected;
  const QSize cell = CellSize();
  setFixedSize(cell.width() * kColumns, cell.height() * (kFontCharacterSlots / kColumns));
  update();
}

QPoint GlyphGrid::SlotCentre(int slot) const {
  const QSize cell = CellSize();
  return {slot % kColumns * cell.width() + cell.width() / 2, slot / kColumns * cell.height() + cell.height() / 2};
}

void GlyphGrid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  if (!font_) return;
  const QSize cell = CellSize();
  QFont small = font();
  small.setPixelSize(10);
  painter.setFont(small);
  for (int slot = 0; slot < kFontCharacterSlots; ++slot) {
    const QRect box(slot % kColumns * cell.width(), slot / kColumns * cell.height(), cell.width(), cell.height());
    const uint8_t byte = SlotByte(slot);
    if (slot == selected_) painter.fillRect(box, palette().highlight());
    const QString letter = letters_ ? QString::fromStdString((*letters_)[byte]) : QString();
    painter.setPen(slot == selected_ ? palette().highlightedText().color() : palette().text().color());
    painter.drawText(box.adjusted(3, 1, -3, 0), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("%1 %2").arg(QString::number(byte, 16).toUpper(), letter));
    PaintGlyph(painter, *font_, byte, box.topLeft() + QPoint(3, kLabelHeight), kGridScale);
  }
}

void GlyphGrid::mousePressEvent(QMouseEvent* event) {
  const QSize cell = CellSize();
  const QPoint p = event->position().toPoint();
  const int column = p.x() / cell.width(), row = p.y() / cell.height();
  if (!font_ || column < 0 || column >= kColumns || row < 0 || row >= kFontCharacterSlots / kColumns) return;
  emit Picked(row * kColumns + column);
}

GlyphEditor::GlyphEditor(QWidget* parent) : QWidget(parent) {}

void GlyphEditor::Show(RomFont* font, uint8_t characterByte) {
  font_ = font && font->readable ? font : nullptr;
  byte_ = characterByte;
  setFixedSize(font_ ? QSize(font_->GlyphWidth() * kScale + 1, font_->height * kScale + 1) : QSize(1, 1));
  update();
}

void GlyphEditor::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!font_) return;
  PaintGlyph(painter, *font_, byte_, {0, 0}, kScale);
  painter.setPen(QColor(0xB0, 0xB0, 0xB0));
  for (int x = 0; x <= font_->GlyphWidth(); ++x) painter.drawLine(x * kScale, 0, x * kScale, height());
  for (int y = 0; y <= font_->height; ++y) painter.drawLine(0, y * kScale, width(), y * kScale);
  // The character's width: where the pen moves on to the next one (less the spacing).
  painter.setPen(QPen(QColor(0x30, 0x70, 0xFF), 2));
  const int edge = std::min(font_->Width(byte_), font_->GlyphWidth()) * kScale;
  painter.drawLine(edge, 0, edge, height());
}

void GlyphEditor::mousePressEvent(QMouseEvent* event) {
  if (!font_ || event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  // A click on a set pixel clears it, on a clear one sets it; a drag goes on doing that.
  painting_ = !font_->Pixel(byte_, p.x() / kScale, p.y() / kScale);
  Paint(p);
}

void GlyphEditor::mouseMoveEvent(QMouseEvent* event) {
  if (font_ && (event->buttons() & Qt::LeftButton)) Paint(event->position().toPoint());
}

void GlyphEditor::Paint(const QPoint& at) {
  const int x = at.x() / kScale, y = at.y() / kScale;
  if (at.x() < 0 || at.y() < 0 || x >= font_->GlyphWidth() || y >= font_->height) return;
  if (font_->Pixel(byte_, x, y) == painting_) return;
  font_->SetPixel(byte_, x, y, painting_);
  update();
  emit Edited();
}

FontWindow::FontWindow(std::function<Document*()> document, std::function<void()> applied, QWidget* parent)
    : QWidget(parent, Qt::Window), document_(std::move(document)), applied_(std::move(applied)) {
  setWindowTitle(QStringLiteral("Font"));
  CloseOnEscape(*this);
  auto* layout = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  auto* fontLabel = new QLabel(QStringLiteral("&Font:"), this);
  fontChoice_ = new QComboBox(this);
  for (const char* name : {"Main", "Mr. Saturn", "Battle", "Tiny", "Large"}) fontChoice_->addItem(QString::fromLatin1(name));
  fontLabel->setBuddy(fontChoice_);
  top->addWidget(fontLabel);
  top->addWidget(fontChoice_);
  heading_ = new QLabel(this);
  heading_->setTextFormat(Qt::PlainText);
  top->addWidget(heading_, 1);
  layout->addLayout(top);

  auto* body = new QHBoxLayout;
  grid_ = new GlyphGrid(this);
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(grid_);
  body->addWidget(scroll, 1);
  auto* side = new QVBoxLayout;
  editor_ = new GlyphEditor(this);
  side->addWidget(editor_);
  auto* widthRow = new QHBoxLayout;
  auto* widthLabel = new QLabel(QStringLiteral("&Width:"), this);
  width_ = new QSpinBox(this);
  width_->setRange(0, 255);
  widthLabel->setBuddy(width_);
  widthRow->addWidget(widthLabel);
  widthRow->addWidget(width_);
  widthRow->addStretch(1);
  side->addLayout(widthRow);
  apply_ = new QPushButton(QStringLiteral("&Apply"), this);
  side->addWidget(apply_);
  side->addStretch(1);
  body->addLayout(side);
  layout->addLayout(body, 1);

  connect(fontChoice_, &QComboBox::activated, this, [this](int index) {
    if (static_cast<int>(shown_) == index) return;
    if (!Settle()) {
      fontChoice_->setCurrentIndex(static_cast<int>(shown_));
      return;
    }
    shown_ = static_cast<FontId>(index);
    Reload();
  });
  connect(grid_, &GlyphGrid::Picked, this, [this](int slot) { Select(slot); });
  connect(editor_, &GlyphEditor::Edited, this, [this] { Refresh(); });
  connect(width_, &QSpinBox::valueChanged, this, [this](int value) {
    if (!edited_.readable) return;
    uint8_t& width = edited_.widths[static_cast<size_t>(selected_)];
    if (width == value) return;
    width = static_cast<uint8_t>(value);
    Refresh();
  });
  connect(apply_, &QPushButton::clicked, this, [this] { Apply(); });
  resize(960, 520);
}

void FontWindow::SetLetters(const FontLetters& letters) {
  letters_ = letters;
  grid_->update();
}

void FontWindow::Reload() {
  Document* doc = document_();
  stored_ = doc && doc->IsOpen() ? doc->Fonts().Of(shown_) : RomFont();
  readFrom_ = doc && doc->IsOpen() ? doc->Rom().handle.get() : nullptr;
  readPath_ = readFrom_ ? readFrom_->OpenedPath() : std::string();
  letters_ = FontLettersOf(doc && doc->IsOpen() ? doc->Characters() : nullptr);
  edited_ = stored_;
  if (!doc || !doc->IsOpen()) {
    heading_->setText(QStringLiteral("No ROM is open."));
  } else if (!stored_.readable) {
    heading_->setText(QStringLiteral("The ROM's font table does not lead to a readable font."));
  }
  Select(selected_);
}

bool FontWindow::HasUnappliedEdits() const {
  return edited_.readable && (edited_.glyphs != stored_.glyphs || edited_.widths != stored_.widths);
}

void FontWindow::Select(int slot) {
  selected_ = slot;
  grid_->Show(&edited_, &letters_, selected_);
  editor_->Show(&edited_, SlotByte(slot));
  const QSignalBlocker quiet(width_);
  width_->setValue(edited_.readable ? edited_.widths[static_cast<size_t>(slot)] : 0);
  width_->setEnabled(edited_.readable);
  Refresh();
}

void FontWindow::Refresh() {
  grid_->update();
  editor_->update();
  apply_->setEnabled(HasUnappliedEdits());
  if (!edited_.readable) return;
  const uint8_t byte = SlotByte(selected_);
  const std::string& letter = letters_[byte];
  heading_->setText(QStringLiteral("Byte %1%2%3")
                        .arg(QString::number(byte, 16).toUpper(),
                             letter.empty() ? QString() : QStringLiteral(" (%1)").arg(QString::fromStdString(letter)),
                             HasUnappliedEdits() ? QStringLiteral(", not applied yet") : QString()));
}

bool FontWindow::Apply() {
  Document* doc = document_();
  if (!HasUnappliedEdits() || !doc) return true;
  const RomFile* open = doc->IsOpen() ? doc->Rom().handle.get() : nullptr;
  if (open != readFrom_ || !open || open->OpenedPath() != readPath_) {
    // The glyphs were drawn over another ROM's font: they are not written into this one.
    QMessageBox::warning(this, QStringLiteral("Font"),
                         QStringLiteral("The ROM these glyphs were read from is no longer open; the edits were "
                                        "dropped and nothing was written."));
    Reload();
    return false;
  }
  // Only the bytes the user changed go over the file as it is now: what another program wrote
  // meanwhile elsewhere in the font stays.
  RomFont target = doc->Fonts().Of(shown_);
  if (target.readable && target.glyphs.size() == edited_.glyphs.size()) {
    for (size_t i = 0; i < target.widths.size(); ++i) {
      if (edited_.widths[i] != stored_.widths[i]) target.widths[i] = edited_.widths[i];
    }
    for (size_t i = 0; i < target.glyphs.size(); ++i) {
      if (edited_.glyphs[i] != stored_.glyphs[i]) target.glyphs[i] = edited_.glyphs[i];
    }
  }
  const FontWriteOutcome outcome = doc->WriteFont(shown_, target);
  if (outcome.unreadable || !outcome.written) {
    const RomFile* rom = doc->Rom().handle.get();
    QMessageBox::warning(this, QStringLiteral("Font"),
                         QString::fromStdString(DescribeFontWrite(outcome, doc->BackupPath(),
                                                                  rom ? rom->JournalPath() : std::string())));
    return false;
  }
  stored_ = doc->Fonts().Of(shown_);
  Refresh();
  if (applied_) applied_();
  return true;
}

bool FontWindow::Settle() {
  if (!HasUnappliedEdits()) return true;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Font"),
                  QStringLiteral("The glyphs were changed. Write the changes to the ROM?"),
                  QMessageBox::Apply | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.button(QMessageBox::Apply)->setText(QStringLiteral("&Apply"));
  box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
  box.setDefaultButton(QMessageBox::Apply);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  // A write that failed keeps the window open over the edits, unless they were dropped.
  if (box.clickedButton() == box.button(QMessageBox::Apply)) return Apply() || !HasUnappliedEdits();
  if (box.clickedButton() == box.button(QMessageBox::Discard)) {
    edited_ = stored_;
    Select(selected_);
    return true;
  }
  return false;
}

void FontWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The file may have changed since it was last shown; edits not applied were settled on close.
  if (!HasUnappliedEdits()) Reload();
}

bool FontWindow::event(QEvent* event) {
  // Coming back to the window after opening or closing a ROM (or after another program wrote
  // it) shows the font as it is now, unless there are edits to keep.
  if (event->type() == QEvent::WindowActivate && isVisible() && !HasUnappliedEdits()) Reload();
  return QWidget::event(event);
}

void FontWindow::closeEvent(QCloseEvent* event) {
  if (!Settle()) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

}  // namespace lettermoor::ui

#include "ui/text_preview_window.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/dialog_frame.h"
#include "ui/text_window_canvas.h"

namespace lettermoor::ui {

TextPreviewWindow::TextPreviewWindow(std::function<PreviewSource()> source, QWidget* parent)
    : QWidget(parent, Qt::Window), source_(std::move(source)) {
  setWindowTitle(QStringLiteral("Preview Text Window"));
  CloseOnEscape(*this);
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
  previewer_ = s.rom ? TextPreviewer(*s.rom) : TextPreviewer();
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
  if (!s.rom || !s.dictionary) return ShowNothing(QStringLiteral("No ROM is open."));
  if (previewer_.LayText(*s.dictionary, s.text, kind_, preview_) == PreviewRefusal::FontUnreadable) {
    return ShowNothing(QStringLiteral("The ROM's font table does not lead to a readable font."));
  }
  const TextLayoutResult& layout = preview_.layout;
  QString heading = s.row >= 0 ? QStringLiteral("Line %1: ").arg(s.row + 1) : QString();
  heading += QStringLiteral("%1 line%2, %3 frame%4")
                 .arg(layout.lines.size())
                 .arg(layout.lines.size() == 1 ? "" : "s")
                 .arg(layout.frames.size())
                 .arg(layout.frames.size() == 1 ? "" : "s");
  if (preview_.notFitting > 0) heading += QStringLiteral(", %1 not fitting").arg(preview_.notFitting);
  heading_->setText(heading);
  canvas_->Show(&layout, &previewer_.Fonts());
}

void TextPreviewWindow::ShowNothing(const QString& why) {
  heading_->setText(why);
  preview_ = TextPreview{};
  canvas_->Show(nullptr, nullptr);
}

}  // namespace lettermoor::ui

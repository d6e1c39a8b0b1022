#include "ui/replace_dialog.h"

#include <algorithm>

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextDocument>

namespace lettermoor::ui {

namespace {

constexpr int kMarkedRole = Qt::UserRole;  // the item's text as HTML, the changes marked
constexpr int kContext = 16;               // characters shown on either side of the changes
constexpr int kLongestPiece = 160;

// A piece of a text as plain text and as HTML.
struct Piece {
  QString plain;
  QString html;
};

// The part of `text` around its changes, the HTML with each change inside `open` and its closing
// tags.
Piece Around(const std::string& text, const std::vector<TextPiece>& spans, const QString& open) {
  const size_t first = spans.front().at;
  const size_t from = first > kContext ? first - kContext : 0;
  const size_t end = std::min({text.size(), spans.back().at + spans.back().length + kContext, from + kLongestPiece});
  Piece piece;
  auto add = [&](size_t a, size_t b, bool marked) {
    if (a >= b) return;
    const QString part = QString::fromUtf8(text.data() + a, static_cast<qsizetype>(b - a));
    piece.plain += part;
    piece.html += marked ? open + part.toHtmlEscaped() + QStringLiteral("</span></b>") : part.toHtmlEscaped();
  };
  const QString dots = QStringLiteral("...");
  if (from > 0) {
    piece.plain += dots;
    piece.html += dots;
  }
  size_t at = from;
  for (const TextPiece& s : spans) {
    if (s.at >= end) break;
    add(at, s.at, false);
    at = std::min(end, s.at + s.length);
    add(s.at, at, true);
  }
  add(at, end, false);
  if (end < text.size()) {
    piece.plain += dots;
    piece.html += dots;
  }
  return piece;
}

// "Line 12" or "Lines 12, 40".
QString LinesOf(const std::vector<int>& rows) {
  QString out = rows.size() == 1 ? QStringLiteral("Line ") : QStringLiteral("Lines ");
  for (size_t i = 0; i < rows.size(); ++i) out += (i ? QStringLiteral(", ") : QString()) + QString::number(rows[i] + 1);
  return out;
}

// Draws an item's HTML where the style would draw its text, after the check box and background.
class MarkedTextDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : nullptr;
    if (!style) return QStyledItemDelegate::paint(painter, option, index);
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    QTextDocument doc;
    doc.setDefaultFont(opt.font);
    doc.setDocumentMargin(0);
    doc.setHtml(index.data(kMarkedRole).toString());
    painter->save();
    painter->translate(textRect.left(), textRect.top() + (textRect.height() - doc.size().height()) / 2);
    painter->setClipRect(QRect(QPoint(0, 0), textRect.size()));
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = opt.palette;
    context.palette.setColor(QPalette::Text, opt.palette.color(opt.state & QStyle::State_Selected
                                                                    ? QPalette::HighlightedText
                                                                    : QPalette::Text));
    doc.documentLayout()->draw(painter, context);
    painter->restore();
  }
};

}  // namespace

ReplaceDialog::ReplaceDialog(QWidget* parent, Finder find) : QDialog(parent), finder_(std::move(find)) {
  setWindowTitle(QStringLiteral("Replace in All Texts"));
  find_ = new QLineEdit(this);
  replace_ = new QLineEdit(this);
  auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
  findLabel->setBuddy(find_);
  auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"), this);
  replaceLabel->setBuddy(replace_);
  matchCase_ = new QCheckBox(QStringLiteral("Match &case"), this);
  matchCodes_ = new QCheckBox(QStringLiteral("Match c&odes too"), this);
  findButton_ = new QPushButton(QStringLiteral("&Find"), this);
  findButton_->setDefault(true);
  replaceButton_ = new QPushButton(QStringLiteral("&Replace"), this);
  replaceButton_->setAutoDefault(false);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setAutoDefault(false);
  summary_ = new QLabel(this);
  summary_->setTextFormat(Qt::PlainText);
  texts_ = new QListWidget(this);
  texts_->setItemDelegate(new MarkedTextDelegate(texts_));
  texts_->setUniformItemSizes(true);

  auto* grid = new QGridLayout(this);
  grid->addWidget(findLabel, 0, 0);
  grid->addWidget(find_, 0, 1, 1, 2);
  grid->addWidget(findButton_, 0, 3);
  grid->addWidget(replaceLabel, 1, 0);
  grid->addWidget(replace_, 1, 1, 1, 2);
  grid->addWidget(replaceButton_, 1, 3);
  grid->addWidget(matchCase_, 2, 1);
  grid->addWidget(matchCodes_, 2, 2);
  grid->addWidget(close, 2, 3);
  grid->addWidget(summary_, 3, 0, 1, 4);
  grid->addWidget(texts_, 4, 0, 1, 4);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(4, 1);
  resize(760, 420);
  EnableReplace();

  connect(findButton_, &QPushButton::clicked, this, &ReplaceDialog::RunFind);
  connect(replaceButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  for (QLineEdit* edit : {find_, replace_}) connect(edit, &QLineEdit::textEdited, this, &ReplaceDialog::Forget);
  for (QCheckBox* box : {matchCase_, matchCodes_}) connect(box, &QCheckBox::toggled, this, &ReplaceDialog::Forget);
  connect(texts_, &QListWidget::itemChanged, this, &ReplaceDialog::EnableReplace);
}

void ReplaceDialog::RunFind() {
  Forget();
  query_ = {find_->text().toUtf8().toStdString(), replace_->text().toUtf8().toStdString(), matchCase_->isChecked(),
            matchCodes_->isChecked()};
  if (query_.find.empty() || !finder_) return;
  ReplaceSearch search = finder_(query_);
  found_ = std::move(search.found);
  size_t lines = 0;
  // A change is drawn in the palette's selection colours, and bold for those who cannot tell
  // colours apart.
  const QPalette palette = texts_->palette();
  const QString open = QStringLiteral("<b><span style=\"background-color:%1; color:%2\">")
                           .arg(palette.color(QPalette::Highlight).name(), palette.color(QPalette::HighlightedText).name());
  QSignalBlocker quiet(texts_);
  for (const ReplaceCandidate& c : found_) {
    const Piece old = Around(c.oldText, c.oldSpans, open);
    const Piece now = Around(c.newText, c.newSpans, open);
    const QString head = LinesOf(c.rows).toHtmlEscaped() + QStringLiteral(": ");
    auto* item = new QListWidgetItem(LinesOf(c.rows) + QStringLiteral(": ") + old.plain + QStringLiteral(" -> ") + now.plain,
                                     texts_);
    item->setData(kMarkedRole, head + old.html + QStringLiteral(" &rarr; ") + now.html);
    item->setToolTip(QString::fromUtf8(c.oldText.c_str()) + QStringLiteral("\n->\n") + QString::fromUtf8(c.newText.c_str()));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    lines += c.rows.size();
  }
  if (search.fault) {
    summary_->setText(QStringLiteral("Nothing can be replaced: see the message."));
  } else if (found_.empty()) {
    summary_->setText(QStringLiteral("No text holds \"%1\".").arg(find_->text()));
  } else {
    summary_->setText(QStringLiteral("%1 %2 on %3 %4: untick any to leave as %5.")
                          .arg(found_.size())
                          .arg(found_.size() == 1 ? QStringLiteral("text") : QStringLiteral("texts"))
                          .arg(lines)
                          .arg(lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
                          .arg(found_.size() == 1 ? QStringLiteral("it is") : QStringLiteral("they are")));
  }
  EnableReplace();
}

void ReplaceDialog::Forget() {
  found_.clear();
  texts_->clear();
  summary_->clear();
  EnableReplace();
}

void ReplaceDialog::EnableReplace() {
  bool any = false;
  for (int i = 0; i < texts_->count() && !any; ++i) any = texts_->item(i)->checkState() == Qt::Checked;
  replaceButton_->setEnabled(any);
}

ReplaceChoice ReplaceDialog::Choice() const {
  ReplaceChoice choice;
  choice.query = query_;
  for (int i = 0; i < texts_->count() && static_cast<size_t>(i) < found_.size(); ++i) {
    if (texts_->item(i)->checkState() == Qt::Checked) choice.texts.push_back(found_[static_cast<size_t>(i)]);
  }
  return choice;
}

}  // namespace lettermoor::ui

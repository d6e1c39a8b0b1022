#include "ui/details_dialog.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabBar>

#include "ui/dialog_frame.h"
#include "ui/pixel_art.h"

namespace lettermoor::ui {

namespace {

// Child rectangles in pixels from the tab control's top-left corner: left, top, right, bottom.
QRect Ltrb(int left, int top, int right, int bottom) {
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// A picture control takes the size of its bitmap.
QLabel* MakePicture(QWidget* parent, int bitmap, QPoint at) {
  auto* label = new QLabel(parent);
  const QPixmap pixmap = ResourceBitmap(bitmap);
  label->setPixmap(pixmap);
  label->setGeometry(QRect(at, pixmap.size()));
  return label;
}

QLabel* MakeText(QWidget* parent, QRect rect) {
  auto* label = new QLabel(parent);
  label->setGeometry(rect);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// The edit box breaks lines at carriage return and line feed pairs.
QString EditBoxText(const std::string& text) {
  QString s = FromBytes(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

}  // namespace

DetailsDialog::DetailsDialog(QWidget* parent, const DetailsRequest& request)
    : QDialog(parent), request_(request) {
  SetUpFixedDialog(*this, details_text::kCaption, 187, 142);

  // The tab control: a strip of tabs over a framed page, the children on top of both.
  tabControl_ = new QWidget(this);
  tabControl_->setGeometry(DluRect(0, 3, 187, 139));
  tabs_ = new QTabBar(tabControl_);
  tabs_->setDrawBase(false);
  // The four labels fit across the window with the tighter padding of the original tabs.
  tabs_->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 6px; }"));
  for (const char* label : details_text::kTabLabels) tabs_->addTab(QString::fromLatin1(label));
  tabs_->setGeometry(QRect(QPoint(2, 0), tabs_->sizeHint()));
  auto* page = new QFrame(tabControl_);
  page->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  page->setGeometry(QRect(0, tabs_->height() - 1, tabControl_->width(),
                          tabControl_->height() - tabs_->height() + 1));
  tabs_->raise();

  children_[kFigurePicture] = MakePicture(tabControl_, 145, QPoint(20, 40));
  children_[kToolBoxPicture] = MakePicture(tabControl_, 148, QPoint(20, 32));
  auto* edit = new QPlainTextEdit(tabControl_);
  edit->setGeometry(Ltrb(7, 30, 273, 215));
  edit->setReadOnly(true);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  children_[kPageEditBox] = edit;
  children_[kRomInfoText] = MakeText(tabControl_, Ltrb(80, 40, 273, 106));
  children_[kAttributesText] = MakeText(tabControl_, Ltrb(95, 30, 273, 119));
  children_[kRulePicture] = MakePicture(tabControl_, 150, QPoint(15, 120));
  children_[kScreenPicture] = MakePicture(tabControl_, 149, QPoint(36, 143));
  children_[kPointerTableText] = MakeText(tabControl_, Ltrb(95, 136, 273, 220));

  ShowPage(0);
  connect(tabs_, &QTabBar::currentChanged, this, &DetailsDialog::ShowPage);
}

void DetailsDialog::ShowPage(int index) {
  const DetailsPage page = ShowDetailsPage(request_, index);
  for (int id = 0; id < kDetailsChildCount; ++id) {
    QWidget* child = children_[static_cast<size_t>(id)];
    if (const auto& text = page.texts[static_cast<size_t>(id)]) {
      if (auto* edit = qobject_cast<QPlainTextEdit*>(child)) {
        edit->setPlainText(EditBoxText(*text));
      } else if (auto* label = qobject_cast<QLabel*>(child)) {
        label->setText(FromBytes(*text));
      }
    }
    child->setVisible(page.visible[static_cast<size_t>(id)]);
  }
}

// The window has no buttons: Enter closes it as Escape and the close box do.
void DetailsDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace lettermoor::ui

#include "ui/gizmo_dialog.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QValidator>

#include "dialogs/gizmo_text.h"
#include "ui/dialog_frame.h"
#include "ui/pixel_art.h"
#include "ui/spin_arrows.h"

namespace lettermoor::ui {

namespace {

// Keeps the date picker's drop-down calendar aligned to the field's right edge.
class RightAlignPopup : public QObject {
 public:
  RightAlignPopup(QDateEdit* edit, QWidget* popup) : QObject(edit), edit_(edit) {
    popup->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      auto* popup = static_cast<QWidget*>(watched);
      const QPoint corner = edit_->mapToGlobal(QPoint(edit_->width(), edit_->height()));
      popup->move(corner.x() - popup->width(), popup->y());
    }
    return false;
  }

 private:
  QDateEdit* edit_;
};

// Each of the four fields takes 0 to 255, as the platform's address control does: a keystroke
// that would make a field larger is refused.
class OctetValidator : public QValidator {
 public:
  using QValidator::QValidator;

  State validate(QString& input, int&) const override {
    for (QString field : input.split(QLatin1Char('.'))) {
      field.remove(QLatin1Char(' '));
      if (!field.isEmpty() && field.toInt() > 255) return Invalid;
    }
    return Acceptable;
  }
};

}  // namespace

GizmoDialog::GizmoDialog(QWidget* parent) : QDialog(parent) {
  SetUpFixedDialog(*this, gizmo_text::kCaption, 186, 94);

  auto* face = new QLabel(this);
  const QPixmap pixmap = ResourceBitmap(164);
  face->setPixmap(pixmap);
  face->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  face->setLineWidth(1);
  face->setGeometry(QRect(QPoint(DluX(7), DluY(7)), pixmap.size() + QSize(2, 2)));

  message_ = new QLabel(QString::fromLatin1(gizmo_text::kMessage), this);
  message_->setGeometry(DluRect(51, 7, 128, 26));
  message_->setWordWrap(true);
  message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FitLabel(*message_);

  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setGeometry(DluRect(7, 47, 55, 9));
  slider_->setTickPosition(QSlider::NoTicks);
  slider_->setRange(0, 100);

  arrows_ = new SpinArrows(this);
  arrows_->setGeometry(DluRect(71, 42, 11, 20));

  boo_ = new QCheckBox(QString::fromLatin1(gizmo_text::kBoo), this);
  boo_->setGeometry(DluRect(35, 56, 33, 10));

  address_ = new QLineEdit(this);
  address_->setGeometry(DluRect(112, 47, 59, 11));
  address_->setInputMask(QStringLiteral("000.000.000.000; "));
  address_->setValidator(new OctetValidator(address_));
  address_->setAlignment(Qt::AlignCenter);

  date_ = new QDateEdit(QDate::currentDate(), this);
  date_->setGeometry(DluRect(71, 71, 56, 16));
  date_->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
  date_->setCalendarPopup(true);
  // The locale's short format may carry a four-digit year that the 56 units do not hold in
  // today's fonts: step the field's font down until the whole date shows.
  for (QFont font = date_->font();
       date_->sizeHint().width() > date_->width() && font.pixelSize() > 8;) {
    font.setPixelSize(font.pixelSize() - 1);
    date_->setFont(font);
  }
  new RightAlignPopup(date_, date_->calendarWidget()->window());

  monkeyBait_ = new QPushButton(QString::fromLatin1(gizmo_text::kMonkeyBait), this);
  monkeyBait_->setGeometry(DluRect(7, 71, 62, 14));

  edit_ = new QLineEdit(this);
  edit_->setGeometry(DluRect(83, 34, 29, 12));

  ok_ = new QPushButton(QString::fromLatin1(gizmo_text::kOk), this);
  ok_->setGeometry(DluRect(129, 73, 50, 14));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  // Tab order as the controls were laid out; the arrows are reached by clicking only.
  setTabOrder(slider_, boo_);
  setTabOrder(boo_, address_);
  setTabOrder(address_, date_);
  setTabOrder(date_, monkeyBait_);
  setTabOrder(monkeyBait_, edit_);
  setTabOrder(edit_, ok_);
  slider_->setFocus();
}

}  // namespace lettermoor::ui

#include "ui/pointer_entry_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "ui/dialog_frame.h"

namespace lettermoor::ui {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* text, QRect rect, bool wrap = false) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setGeometry(rect);
  label->setWordWrap(wrap);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (wrap) {
    FitLabel(*label);
  } else if (label->sizeHint().width() > rect.width()) {
    // A field's label keeps the dialog's font and its right edge beside the field: where the font
    // at hand runs wider, the blanks that lined "$" up go first, then it starts further left
    // instead of being drawn smaller than the others.
    label->setText(label->text().simplified());
    const int need = label->sizeHint().width();
    if (need > rect.width()) label->setGeometry(rect.adjusted(rect.width() - need, 0, 0, 0));
  }
  return label;
}

// A number field that takes typed digits only. A value set by the program is shown as it is,
// so a stored number out of range (or -1) is seen and can be corrected.
QLineEdit* MakeNumberField(QWidget* parent, QRect rect) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(rect);
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  return edit;
}

}  // namespace

PointerEntryDialog::PointerEntryDialog(QWidget* parent, const PointerEntryForm& form)
    : QDialog(parent), form_(form) {
  namespace text = pointer_entry_text;
  SetUpFixedDialog(*this, text::kCaption, 202, 117);

  // The note takes three lines in today's fonts: it starts a little higher and runs down to
  // the group box, instead of shrinking into the two lines it was drawn for.
  MakeLabel(this, text::kNote, DluRect(7, 3, 188, 25), true);
  auto* group = new QGroupBox(QString::fromLatin1(text::kGroup), this);
  group->setGeometry(DluRect(7, 28, 188, 60));

  MakeLabel(this, text::kAddressLabel, DluRect(19, 40, 96, 8));
  MakeLabel(this, text::kSpriteLabel, DluRect(53, 56, 48, 8));
  MakeLabel(this, text::kMovementLabel, DluRect(38, 72, 63, 8));

  const PointerEntryFields fields = LoadPointerEntryFields(form_);
  address_ = new QLineEdit(this);
  address_->setGeometry(DluRect(115, 39, 62, 12));
  // Typing stops at six characters; a longer address already stored stays whole, so that an
  // unchanged Apply is refused rather than writing a cut-down address.
  address_->setMaxLength(
      std::max<int>(kAddressTextLimit, static_cast<int>(fields.addressText.size())));
  address_->setText(FromBytes(fields.addressText));
  sprite_ = MakeNumberField(this, DluRect(115, 55, 62, 12));
  sprite_->setText(FromBytes(fields.spriteText));
  movement_ = MakeNumberField(this, DluRect(115, 71, 62, 12));
  movement_->setText(FromBytes(fields.movementText));
  sprite_->setEnabled(form_.numbersEditable);
  movement_->setEnabled(form_.numbersEditable);

  cancelButton_ = new QPushButton(QString::fromLatin1(text::kCancel), this);
  cancelButton_->setGeometry(DluRect(46, 96, 73, 14));
  applyButton_ = new QPushButton(QString::fromLatin1(text::kApply), this);
  applyButton_->setGeometry(DluRect(122, 96, 73, 14));
  applyButton_->setDefault(true);

  setTabOrder(address_, sprite_);
  setTabOrder(sprite_, movement_);
  setTabOrder(movement_, cancelButton_);
  setTabOrder(cancelButton_, applyButton_);
  address_->setFocus();
  address_->selectAll();

  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  connect(applyButton_, &QPushButton::clicked, this, &PointerEntryDialog::Apply);
  present_ = [this](const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lettermoor"), message, QMessageBox::Ok,
                    this);
    box.exec();
  };
}

QLineEdit* PointerEntryDialog::Field(int id) const {
  if (id == kSpriteFieldId) return sprite_;
  if (id == kMovementFieldId) return movement_;
  return address_;
}

void PointerEntryDialog::Apply() {
  const PointerEntryFields fields{address_->text().toLatin1().toStdString(),
                                  sprite_->text().toLatin1().toStdString(),
                                  movement_->text().toLatin1().toStdString()};
  if (std::optional<FieldError> error = ExchangePointerEntryFields(fields, form_)) {
    if (present_) present_(FromBytes(error->message));
    QLineEdit* field = Field(error->fieldId);
    field->setFocus();
    field->selectAll();
    return;
  }
  accept();
}

}  // namespace lettermoor::ui

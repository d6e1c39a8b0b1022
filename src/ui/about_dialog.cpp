#include "ui/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/dialog_frame.h"
#include "ui/pixel_art.h"

namespace lettermoor::ui {

AboutDialog::AboutDialog(QWidget* parent, AboutBox::Generator generator)
    : QDialog(parent), box_(generator ? AboutBox(std::move(generator)) : AboutBox()) {
  SetUpFixedDialog(*this, about_text::kCaption, 248, 110);

  text_ = new QLabel(QString::fromLatin1(about_text::kProgramText), this);
  text_->setGeometry(DluRect(7, 7, 126, 73));
  text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  text_->setWordWrap(true);
  text_->setTextFormat(Qt::PlainText);
  FitLabel(*text_, /*wholeLines=*/true);

  // The picture at its own size inside a one-pixel sunken edge.
  picture_ = new ClickablePicture(this);
  const QPixmap face = ResourceBitmap(133);
  picture_->setPixmap(face);
  picture_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picture_->setLineWidth(1);
  picture_->setGeometry(QRect(QPoint(DluX(140), DluY(7)), face.size() + QSize(2, 2)));

  closeButton_ = new QPushButton(QString::fromLatin1(about_text::kCloseButton), this);
  closeButton_->setGeometry(DluRect(17, 89, 106, 14));
  closeButton_->setDefault(true);
  closeButton_->setFocus();

  connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(picture_, &ClickablePicture::clicked, this, &AboutDialog::Possess);
}

// The box takes a new caption and jumps near the screen's top-left corner, keeping its size.
void AboutDialog::Possess() {
  const Possession possession = box_.ClickPicture();
  setWindowTitle(QString::fromLatin1(possession.caption.c_str()));
  move(possession.left, possession.top);
  update();
}

}  // namespace lettermoor::ui

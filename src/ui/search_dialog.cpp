#include "ui/search_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialog_frame.h"

namespace lettermoor::ui {

namespace {

// The query buffer holds 4000 characters with its terminator.
constexpr int kQueryLimit = 3999;

}  // namespace

SearchDialog::SearchDialog(QWidget* parent, std::function<void(const std::string&)> find)
    : QDialog(parent), find_(std::move(find)) {
  SetUpFixedDialog(*this, "Search", 208, 46);

  // 35 units hold "Find what:" in the face the layout was measured with; a wider one steps
  // the label's font down rather than cut its colon.
  auto* label = new QLabel(QStringLiteral("Find what:"), this);
  label->setGeometry(DluRect(8, 6, 35, 9));
  FitLabel(*label);

  query_ = new QLineEdit(this);
  query_->setGeometry(DluRect(49, 4, 155, 12));
  query_->setMaxLength(kQueryLimit);
  label->setBuddy(query_);

  cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancelButton_->setGeometry(DluRect(100, 29, 50, 14));
  findButton_ = new QPushButton(QStringLiteral("&Find"), this);
  findButton_->setGeometry(DluRect(154, 29, 50, 14));
  findButton_->setDefault(true);

  setTabOrder(query_, findButton_);
  setTabOrder(findButton_, cancelButton_);
  query_->setFocus();

  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  connect(findButton_, &QPushButton::clicked, this, [this] {
    if (find_) find_(query_->text().toLatin1().toStdString());
  });
}

}  // namespace lettermoor::ui

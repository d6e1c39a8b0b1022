#pragma once

#include <QDialog>
#include <functional>

#include "dialogs/pointer_entry_editor.h"
#include "dialogs/pointer_entry_editor.h"

class QLineEdit;
class QPushButton;

namespace lettermoor::ui {

// "Text Pointer Table Entry Editor": the target address and the sprite and movement numbers of
// one text pointer table record. Apply runs the field exchange; a refused field is reported and
// the dialog stays open with that field focused.
class PointerEntryDialog : public QDialog {
  Q_OBJECT

 public:
  PointerEntryDialog(QWidget* parent, const PointerEntryForm& form);

  // The form as the last successful Apply left it.
  const PointerEntryForm& Form() const { return form_; }

  // Shows a refusal; by default a message box with one OK button. Tests may replace it.
  void SetRefusalPresenter(std::function<void(const QString&)> present) {
    present_ = std::move(present);
  }

  QLineEdit* AddressEdit() const { return address_; }
  QLineEdit* SpriteEdit() const { return sprite_; }
  QLineEdit* MovementEdit() const { return movement_; }
  QPushButton* ApplyButton() const { return applyButton_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 private:
  void Apply();
  QLineEdit* Field(int id) const;

  PointerEntryForm form_;
  std::function<void(const QString&)> present_;
  QLineEdit* address_ = nullptr;
  QLineEdit* sprite_ = nullptr;
  QLineEdit* movement_ = nullptr;
  QPushButton* applyButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
};

}  // namespace lettermoor::ui

#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>

#include "codec/control_code_table.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace lettermoor::ui {

// Edit > Insert Code: a search field over the list of the codes the program describes. Enter, a
// double-click or Insert chooses the marked code; for a jump code "to Line..." asks for a line of
// the listing and writes its text's address into the code. Escape closes it.
class InsertCodeDialog : public QDialog {
  Q_OBJECT

 public:
  // `lineCount` lines in the listing; `addressOf(row)` the address of a row's text.
  InsertCodeDialog(QWidget* parent, int lineCount, std::function<std::optional<uint32_t>(int row)> addressOf);

  // What was chosen, once the dialog was accepted.
  const std::optional<CodeInsertion>& Chosen() const { return chosen_; }

  // Answers "to Line..." instead of the user (tests): a line counted from 1, or 0 to cancel.
  void SetLinePrompt(std::function<int()> prompt) { linePrompt_ = std::move(prompt); }

  QLineEdit* SearchField() const { return search_; }
  QListWidget* List() const { return list_; }
  QPushButton* ToLineButton() const { return toLine_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Filter(const QString& query);
  const ControlCodeEntry* Marked() const;
  void Choose(std::optional<uint32_t> address);
  void ChooseLine();

  int lineCount_;
  std::function<std::optional<uint32_t>(int)> addressOf_;
  std::function<int()> linePrompt_;
  std::optional<CodeInsertion> chosen_;
  QLineEdit* search_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* insert_ = nullptr;
  QPushButton* toLine_ = nullptr;
};

}  // namespace lettermoor::ui

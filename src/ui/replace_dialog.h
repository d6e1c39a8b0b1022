#pragma once

#include <QDialog>

#include <functional>
#include <vector>

#include "editor/editor_view.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace lettermoor::ui {

// The window of Edit > Replace in All Texts: what to find and what it becomes, Match case and
// Match codes too. Find lists every text that holds it (its lines, the old text -> the new, each
// change marked), each ticked; Replace closes the window with the ticked ones (Choice). Changing
// the query empties the list, so Replace writes only what a Find for it showed. Escape, Close and
// the close box close it with nothing.
class ReplaceDialog : public QDialog {
  Q_OBJECT

 public:
  using Finder = std::function<ReplaceSearch(const ReplaceQuery&)>;
  ReplaceDialog(QWidget* parent, Finder find);

  // The query of the list shown and its ticked texts.
  ReplaceChoice Choice() const;

  QLineEdit* FindEdit() const { return find_; }
  QLineEdit* ReplaceEdit() const { return replace_; }
  QCheckBox* MatchCase() const { return matchCase_; }
  QCheckBox* MatchCodes() const { return matchCodes_; }
  QPushButton* FindButton() const { return findButton_; }
  QPushButton* ReplaceButton() const { return replaceButton_; }
  QListWidget* Texts() const { return texts_; }
  QLabel* Summary() const { return summary_; }

 private:
  void RunFind();
  void Forget();
  void EnableReplace();

  Finder finder_;
  ReplaceQuery query_;                  // what the list was found for
  std::vector<ReplaceCandidate> found_;  // one per item of the list
  QLineEdit* find_ = nullptr;
  QLineEdit* replace_ = nullptr;
  QCheckBox* matchCase_ = nullptr;
  QCheckBox* matchCodes_ = nullptr;
  QPushButton* findButton_ = nullptr;
  QPushButton* replaceButton_ = nullptr;
  QListWidget* texts_ = nullptr;
  QLabel* summary_ = nullptr;
};

}  // namespace lettermoor::ui

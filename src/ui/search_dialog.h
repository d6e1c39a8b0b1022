#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLineEdit;
class QPushButton;

namespace lettermoor::ui {

// The "Search" window: a query box and Find. Each Find hands the query (Latin-1 bytes) to
// `find`, which moves the editor to the next match or says that there is none; the window
// stays open until Cancel, Escape or the close box.
class SearchDialog : public QDialog {
  Q_OBJECT

 public:
  SearchDialog(QWidget* parent, std::function<void(const std::string&)> find);

  QLineEdit* QueryEdit() const { return query_; }
  QPushButton* FindButton() const { return findButton_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 private:
  std::function<void(const std::string&)> find_;
  QLineEdit* query_ = nullptr;
  QPushButton* findButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
};

}  // namespace lettermoor::ui

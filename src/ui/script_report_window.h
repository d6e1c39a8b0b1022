#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace lettermoor::ui {

// The modeless window that shows an import's report, one line per changed block: the text can be
// selected and copied, or copied whole with the Copy button.
class ScriptReportWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ScriptReportWindow(QWidget* parent = nullptr);

  void ShowReport(const QString& title, const QString& text);
  QPlainTextEdit* Text() const { return text_; }
  QPushButton* CopyButton() const { return copy_; }

 private:
  QPlainTextEdit* text_ = nullptr;
  QPushButton* copy_ = nullptr;
};

}  // namespace lettermoor::ui

#pragma once

#include <QWidget>

class QTextBrowser;

namespace lettermoor::ui {

// The user guide, shown in its own window beside the editor (not modal, so the guide can stay
// open while editing).
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  QTextBrowser* Browser() const { return browser_; }

  // Where the guide lives among the program's resources.
  static const char* const kGuideUrl;

 private:
  QTextBrowser* browser_ = nullptr;
};

}  // namespace lettermoor::ui

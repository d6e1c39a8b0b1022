#pragma once

#include <string>

#include "ui/main_window.h"

namespace lettermoor::bench {

// The real main window, except that messages are counted instead of shown: a modal box would
// stop the run (the 8000-row listing says that it was cut).
class QuietMainWindow : public ui::MainWindow {
 public:
  void ShowMessage(const std::string& text, const std::string&, MessageIcon) override {
    lastMessage = text;
    ++messages;
  }
  std::string lastMessage;
  int messages = 0;
};

}  // namespace lettermoor::bench

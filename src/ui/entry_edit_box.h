#pragma once

#include <QPlainTextEdit>

#include <functional>

#include "editor/editor_window.h"

namespace lettermoor::ui {

// The edit box: Enter is no line break (and, unlike the platform dialog, does not end the
// window either); typing and pasting stop at the limit, while texts the program sets stay
// whole; changes made by the user and focus changes are reported.
class EntryEditBox : public QPlainTextEdit {
 public:
  std::function<void()> onChanged;
  std::function<void(bool)> onFocus;

  explicit EntryEditBox(QWidget* parent);

  void SetLimit(int characters) { limit_ = characters; }
  void SetText(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  static bool IsTyping(const QKeyEvent* event);
  static bool IsMenuFocus(Qt::FocusReason reason);
  // Characters that may still be typed: what the limit leaves once the selection is replaced.
  int Room() const;

  int limit_ = kEditTextLimit;
  bool settingText_ = false;
};

}  // namespace lettermoor::ui

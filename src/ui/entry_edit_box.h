#pragma once

#include <QPlainTextEdit>

#include <functional>

#include "editor/editor_window.h"

namespace lettermoor::ui {

class CodeHighlighter;

// The edit box: Enter is no line break (and, unlike the platform dialog, does not end the
// window either); typing and pasting stop at the limit, while texts the program sets stay
// whole; changes made by the user and focus changes are reported. Its codes are drawn by what
// they do, a hover over one tells what it does, and faults are underlined (CodeHighlighter).
class EntryEditBox : public QPlainTextEdit {
 public:
  std::function<void()> onChanged;
  std::function<void(bool)> onFocus;

  explicit EntryEditBox(QWidget* parent);

  void SetLimit(int characters) { limit_ = characters; }
  void SetText(const QString& text);
  // Puts `text` in place of the selection, as typed (so within the limit), and selects its
  // characters [selectStart, selectStart + selectLength), or places the cursor after it when
  // that is empty. Gives false, beeping, when the limit leaves no room for it.
  bool InsertAndSelect(const QString& text, int selectStart, int selectLength);
  CodeHighlighter* Highlighter() const { return highlighter_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  static bool IsTyping(const QKeyEvent* event);
  static bool IsMenuFocus(Qt::FocusReason reason);
  // Characters that may still be typed: what the limit leaves once the selection is replaced.
  int Room() const;

  // The document's position of the character under `point` of the viewport; -1 for none.
  int CharacterAt(QPoint point) const;

  CodeHighlighter* highlighter_ = nullptr;
  int limit_ = kEditTextLimit;
  bool settingText_ = false;
};

}  // namespace lettermoor::ui

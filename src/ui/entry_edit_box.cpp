#include "ui/entry_edit_box.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>

#include <algorithm>

namespace lettermoor::ui {

EntryEditBox::EntryEditBox(QWidget* parent) : QPlainTextEdit(parent) {
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (!settingText_ && onChanged) onChanged();
  });
}

void EntryEditBox::SetText(const QString& text) {
  QScopedValueRollback<bool> quiet(settingText_, true);
  setPlainText(text);
}

void EntryEditBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  if (IsTyping(event) && Room() < event->text().size()) {
    QApplication::beep();
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void EntryEditBox::insertFromMimeData(const QMimeData* source) {
  if (!source->hasText()) return;
  QString text = source->text();
  const int room = Room();
  if (room <= 0) {
    QApplication::beep();
    return;
  }
  if (text.size() > room) text.truncate(room);
  textCursor().insertText(text);
  ensureCursorVisible();
}

void EntryEditBox::inputMethodEvent(QInputMethodEvent* event) {
  const int room = Room();
  if (event->commitString().size() > room) {
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(event->commitString().left(std::max(room, 0)),
                        event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
    return;
  }
  QPlainTextEdit::inputMethodEvent(event);
}

void EntryEditBox::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  if (!IsMenuFocus(event->reason()) && onFocus) onFocus(true);
}

void EntryEditBox::focusOutEvent(QFocusEvent* event) {
  QPlainTextEdit::focusOutEvent(event);
  if (!IsMenuFocus(event->reason()) && onFocus) onFocus(false);
}

bool EntryEditBox::IsMenuFocus(Qt::FocusReason reason) {
  // A menu opening or closing, by the mouse or by Alt and a letter, moves Qt's focus but not
  // the platform's: ignore it, or the Edit menu would gray its own clipboard items.
  return reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason;
}

bool EntryEditBox::IsTyping(const QKeyEvent* event) {
  const QString text = event->text();
  if (text.isEmpty()) return false;
  if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return false;
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

int EntryEditBox::Room() const {
  const int length = document()->characterCount() - 1;
  const int selected = static_cast<int>(textCursor().selectedText().size());
  return limit_ - (length - selected);
}

}  // namespace lettermoor::ui

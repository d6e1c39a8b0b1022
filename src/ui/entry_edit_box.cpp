#include "ui/entry_edit_box.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QToolTip>

#include "ui/code_highlighter.h"

#include <algorithm>

namespace lettermoor::ui {

EntryEditBox::EntryEditBox(QWidget* parent) : QPlainTextEdit(parent) {
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  highlighter_ = new CodeHighlighter(document());
  highlighter_->UsePalette(palette());
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    // A group or fault may reach across lines (only pasted text has them): every line is drawn
    // again, not only the changed one.
    if (document()->blockCount() > 1) highlighter_->rehighlight();
    if (!settingText_ && onChanged) onChanged();
  });
}

bool EntryEditBox::InsertAndSelect(const QString& text, int selectStart, int selectLength) {
  if (Room() < text.size()) {
    QApplication::beep();
    return false;
  }
  QTextCursor cursor = textCursor();
  const int at = static_cast<int>(std::min(cursor.position(), cursor.anchor()));
  cursor.insertText(text);
  if (selectLength > 0) {
    cursor.setPosition(at + selectStart);
    cursor.setPosition(at + selectStart + selectLength, QTextCursor::KeepAnchor);
  }
  setTextCursor(cursor);
  ensureCursorVisible();
  return true;
}

int EntryEditBox::CharacterAt(QPoint point) const {
  const QTextCursor cursor = cursorForPosition(point);
  const QTextBlock block = cursor.block();
  if (!block.isValid() || !block.layout()) return -1;
  // The cursor lands between characters: the one under the point is before it when the point
  // lies left of the cursor.
  const QRect caret = cursorRect(cursor);
  if (point.y() < caret.top() || point.y() > caret.bottom()) return -1;
  int position = cursor.position();
  if (point.x() < caret.left()) --position;
  if (position < block.position() || position >= block.position() + block.length() - 1) return -1;
  return position;
}

bool EntryEditBox::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int at = CharacterAt(help->pos());
    const QString hint = at < 0 ? QString() : highlighter_->HintAt(at);
    if (hint.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), hint, viewport());
    }
    return true;
  }
  return QPlainTextEdit::viewportEvent(event);
}

bool EntryEditBox::event(QEvent* event) {
  // Ctrl+K is Edit > Insert Code, not the text control's delete to the end of the line.
  if (event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_K)) {
      event->ignore();
      return true;
    }
  }
  return QPlainTextEdit::event(event);
}

void EntryEditBox::changeEvent(QEvent* event) {
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) highlighter_->UsePalette(palette());
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

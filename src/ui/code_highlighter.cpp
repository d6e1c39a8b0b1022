#include "ui/code_highlighter.h"

#include <QPalette>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

#include "document/document_text.h"

namespace lettermoor::ui {

CodeHighlighter::CodeHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
  UsePalette(QPalette());
}

void CodeHighlighter::UsePalette(const QPalette& palette) {
  const bool dark = palette.color(QPalette::Base).lightness() < 128;
  // One hue per group, darker on a light base and lighter on a dark one; the weight, slant and
  // underline tell the groups apart without the colour.
  struct Style {
    const char* light;
    const char* dark;
    bool bold;
    bool italic;
    bool underline;
  };
  static constexpr Style kStyles[kCodeGroupCount] = {
      {"#1a56b0", "#82b1ff", true, false, false},   // waiting and windows
      {"#a1267a", "#f48fd1", true, true, false},    // flow and flags
      {"#23762b", "#8bd68f", false, true, false},   // names and numbers
      {"#a35200", "#ffb74d", false, false, true},   // sound and display
      {"#5f5f5f", "#b8b8b8", false, false, false},  // other
  };
  for (size_t g = 0; g < groups_.size(); ++g) {
    const Style& s = kStyles[g];
    QTextCharFormat f;
    f.setForeground(QColor(QString::fromLatin1(dark ? s.dark : s.light)));
    f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.italic);
    if (s.underline) f.setUnderlineStyle(QTextCharFormat::DashUnderline);
    groups_[g] = f;
  }
  groupBackground_ = dark ? QColor(0x2c, 0x31, 0x3a) : QColor(0xea, 0xee, 0xf5);
  bracket_ = QTextCharFormat();
  bracket_.setForeground(dark ? QColor(0x9a, 0x9a, 0x9a) : QColor(0x80, 0x80, 0x80));
  bracket_.setFontWeight(QFont::Bold);
  fault_ = dark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xd0, 0x00, 0x00);
  // The thin wave alone is easily missed in a small font.
  faultBackground_ = dark ? QColor(0x5c, 0x26, 0x26) : QColor(0xfb, 0xdc, 0xdc);
  rehighlight();
}

void CodeHighlighter::UseCharacterTable(const CharacterTable* table) {
  characters_ = table;
  made_ = false;
  // Marking an empty box again would tell the logic its text changed, for nothing.
  if (!document()->isEmpty()) rehighlight();
}

void CodeHighlighter::Update() {
  QString text = document()->toRawText();
  if (made_ && text == text_) return;
  made_ = true;
  text_ = text;
  // Blocks are joined by one character, as the document counts positions.
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  FindTextSpans(text.toUtf8().toStdString(), spans_, characters_);
  utf16_.clear();
  if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.isHighSurrogate(); })) {
    for (int i = 0; i < text.size(); i += text[i].isHighSurrogate() ? 2 : 1) utf16_.push_back(i);
    utf16_.push_back(static_cast<int>(text.size()));
  }
}

int CodeHighlighter::Position(int32_t characters) const {
  if (utf16_.empty()) return characters;
  return utf16_[static_cast<size_t>(std::clamp<int32_t>(characters, 0, static_cast<int32_t>(utf16_.size()) - 1))];
}

void CodeHighlighter::highlightBlock(const QString& text) {
  Update();
  const int from = currentBlock().position();
  const int to = from + static_cast<int>(text.size());
  // Each span's part in this block, in block positions; false when it has none.
  auto clip = [&](int start, int end, int& at, int& length) {
    at = std::max(start, from);
    length = std::min(end, to) - at;
    at -= from;
    return length > 0;
  };
  int at = 0, length = 0;
  // The groups first, as a background from "[" to its "]".
  for (size_t k = 0; k < spans_.size(); ++k) {
    const TextSpan& s = spans_[k];
    if (s.kind != TextSpanKind::Bracket || text_[Position(s.start)] != QLatin1Char('[')) continue;
    size_t j = k + 1;
    while (j < spans_.size() && spans_[j].kind == TextSpanKind::Code) ++j;
    const bool closed = j < spans_.size() && spans_[j].kind == TextSpanKind::Bracket &&
                        text_[Position(spans_[j].start)] == QLatin1Char(']');
    const int32_t end = closed ? spans_[j].End() : spans_[j - 1].End();
    if (clip(Position(s.start), Position(end), at, length)) {
      QTextCharFormat f;
      f.setBackground(groupBackground_);
      setFormat(at, length, f);
    }
  }
  for (const TextSpan& s : spans_) {
    if (!clip(Position(s.start), Position(s.End()), at, length)) continue;
    if (s.kind == TextSpanKind::Bracket || s.kind == TextSpanKind::Code) {
      QTextCharFormat f = s.kind == TextSpanKind::Bracket ? bracket_ : groups_[static_cast<size_t>(s.group)];
      f.setBackground(groupBackground_);
      setFormat(at, length, f);
      continue;
    }
    // A fault keeps the colours beneath it and adds its underline.
    for (int i = at; i < at + length; ++i) {
      QTextCharFormat f = format(i);
      f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
      f.setUnderlineColor(fault_);
      f.setBackground(faultBackground_);
      setFormat(i, 1, f);
    }
  }
}

QString CodeHighlighter::HintAt(int position) {
  Update();
  int32_t character = position;
  if (!utf16_.empty()) {
    character = static_cast<int32_t>(std::upper_bound(utf16_.begin(), utf16_.end(), position) - utf16_.begin()) - 1;
  }
  return QString::fromStdString(TextHintAt(spans_, character));
}

}  // namespace lettermoor::ui

#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <array>
#include <vector>

#include "codec/text_spans.h"

namespace lettermoor::ui {

// Draws the edit box's bracket groups apart from its text, each code in the colour and style of
// what it does, and underlines a bracket fault from its column to the line's end and every
// character that is not a game character. Which stretch is what comes from FindTextSpans; this
// only maps spans to formats.
class CodeHighlighter : public QSyntaxHighlighter {
 public:
  explicit CodeHighlighter(QTextDocument* document);

  // Colours for the palette's lightness: call when the palette changes.
  void UsePalette(const QPalette& palette);

  // The hint over the document's character at `position` (UTF-16, as QTextCursor counts).
  QString HintAt(int position);

  // Characters outside groups are the table's (null: the game's own); marks everything again.
  void UseCharacterTable(const CharacterTable* table);

  // The format a code of `group` gets (for tests and the Insert Code list).
  const QTextCharFormat& GroupFormat(CodeGroup group) const { return groups_[static_cast<size_t>(group)]; }

 protected:
  void highlightBlock(const QString& text) override;

 private:
  // The spans of the whole document, made again when its text changed.
  void Update();
  // A span's character count as the document's UTF-16 position.
  int Position(int32_t characters) const;

  QString text_;
  bool made_ = false;
  std::vector<TextSpan> spans_;
  const CharacterTable* characters_ = nullptr;
  std::vector<int> utf16_;  // characters to UTF-16 positions, only when the text needs it
  std::array<QTextCharFormat, kCodeGroupCount> groups_;
  QTextCharFormat bracket_;
  QColor groupBackground_;
  QColor fault_;
  QColor faultBackground_;
};

}  // namespace lettermoor::ui

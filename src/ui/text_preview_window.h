#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "codec/text_preview.h"

class QButtonGroup;
class QLabel;
class QScrollArea;

namespace lettermoor {
class RomFile;
struct TextDictionary;
}  // namespace lettermoor

namespace lettermoor::ui {

class TextWindowCanvas;

// What the preview shows: the open ROM (for its fonts and dictionary), the marked row and the
// edit box's text. `rom` is null when no ROM is open.
struct PreviewSource {
  const RomFile* rom = nullptr;
  const TextDictionary* dictionary = nullptr;
  int row = -1;
  std::string text;
};

// Tools > "Preview Text Window": a separate, resizable, modeless window that shows the edit
// box's text as the game prints it, one frame per button press, drawn with the ROM's own glyphs.
// It follows the marked entry (Follow) and redraws as the user types (TextChanged); each
// keystroke lays the text out again and repaints only the frames in view.
class TextPreviewWindow : public QWidget {
  Q_OBJECT

 public:
  TextPreviewWindow(std::function<PreviewSource()> source, QWidget* parent);

  // Another entry is shown (or the ROM was opened or closed): the fonts are read again.
  void Follow();
  // The user changed the text.
  void TextChanged();

  void SetKind(TextWindowKind kind);
  void SetScale(int scale);  // 2 or 3

  // For tests and tools.
  const TextLayoutResult& Layout() const { return preview_.layout; }
  QString Heading() const;
  TextWindowCanvas* Canvas() const { return canvas_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Relayout();
  // An empty canvas under a heading that says why.
  void ShowNothing(const QString& why);

  std::function<PreviewSource()> source_;
  TextPreviewer previewer_;
  TextWindowKind kind_ = TextWindowKind::Dialogue;
  TextPreview preview_;
  QLabel* heading_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  TextWindowCanvas* canvas_ = nullptr;
};

}  // namespace lettermoor::ui

#pragma once

#include <QWidget>

#include <functional>

#include "codec/font_sheet.h"
#include "document/document.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace lettermoor::ui {

// The 128 glyphs of a font in a grid, each under its byte and letter; a click picks one.
class GlyphGrid : public QWidget {
  Q_OBJECT

 public:
  explicit GlyphGrid(QWidget* parent);
  void Show(const RomFont* font, const FontLetters* letters, int selected);
  // The centre of a slot's cell, for tests.
  QPoint SlotCentre(int slot) const;

 signals:
  void Picked(int slot);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QSize CellSize() const;

  const RomFont* font_ = nullptr;
  const FontLetters* letters_ = nullptr;
  int selected_ = 0;
};

// One glyph large: a click sets or clears a pixel, a drag goes on doing the same to every pixel
// it passes; the paper past the character's width is shaded.
class GlyphEditor : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kScale = 16;
  explicit GlyphEditor(QWidget* parent);
  void Show(RomFont* font, uint8_t characterByte);
  QPoint PixelCentre(int x, int y) const { return {x * kScale + kScale / 2, y * kScale + kScale / 2}; }

 signals:
  void Edited();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void Paint(const QPoint& at);

  RomFont* font_ = nullptr;
  uint8_t byte_ = 0;
  bool painting_ = true;  // what a drag does: set (true) or clear
};

// Tools > "Font...": the glyphs of one of the ROM's fonts, to redraw them. Apply writes what
// was changed as one change; unapplied edits are asked about before the window closes or
// another font is shown.
class FontWindow : public QWidget {
  Q_OBJECT

 public:
  // `document` gives the open document (null when none); `applied` runs after each write.
  FontWindow(std::function<Document*()> document, std::function<void()> applied, QWidget* parent);

  // The letters shown beside the glyphs (the game's own by default).
  void SetLetters(const FontLetters& letters);
  // Reads the chosen font from the file again, dropping unapplied edits.
  void Reload();
  bool HasUnappliedEdits() const;
  // Writes the edits; false when the write failed (the user was told).
  bool Apply();

  // For tests.
  QComboBox* FontChoice() const { return fontChoice_; }
  GlyphGrid* Grid() const { return grid_; }
  GlyphEditor* Editor() const { return editor_; }
  QSpinBox* WidthBox() const { return width_; }
  QPushButton* ApplyButton() const { return apply_; }
  int Selected() const { return selected_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // Asks about unapplied edits; false when the user cancels.
  bool Settle();
  void Select(int slot);
  void Refresh();

  std::function<Document*()> document_;
  std::function<void()> applied_;
  FontLetters letters_ = FixedFontLetters();
  text_window::FontId shown_ = text_window::FontId::Main;
  const RomFile* readFrom_ = nullptr;  // the open file the font was read from, and its path
  std::string readPath_;
  RomFont stored_;  // as the file holds it
  RomFont edited_;  // with the user's edits
  int selected_ = 0x21;  // 'A'
  QComboBox* fontChoice_ = nullptr;
  QLabel* heading_ = nullptr;
  GlyphGrid* grid_ = nullptr;
  GlyphEditor* editor_ = nullptr;
  QSpinBox* width_ = nullptr;
  QPushButton* apply_ = nullptr;
};

}  // namespace lettermoor::ui

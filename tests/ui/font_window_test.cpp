// Tools > Font...: glyphs redrawn with the mouse, written as the command-line tool writes them,
// and shown at once in the preview.

#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>

#include "app/cli_runner.h"
#include "codec/font_sheet.h"
#include "main_window_fixture.h"
#include "sample/sample_font.h"
#include "sample/sample_rom.h"
#include "ui/font_window.h"
#include "ui/text_preview_window.h"
#include "ui/text_window_canvas.h"

namespace lettermoor::test {
namespace {

using text_window::FontId;

constexpr uint8_t kA = 0x71;
constexpr int kSlotA = kA - 0x50;
constexpr int kPixelX = 6, kPixelY = 5;  // clear in the sample's A, past its width
constexpr int kNewWidth = 8;

// The same edit through lettermoor-cli: the exported picture with that pixel inked and that
// width's bar drawn, imported into `rom`.
void EditThroughTheTool(const std::string& rom, const std::string& dir) {
  ASSERT_EQ(RunCli({"font", "export", rom, "-o", "a.png"}, dir).exitCode, 0);
  const RomFont font = ReadRomFonts(MakeSampleRom(false)).Of(FontId::Main);
  const FontSheetGeometry g = SheetGeometryOf(font);
  PalettePicture sheet = DrawFontSheet(font, "main", FixedFontLetters());
  auto paint = [&](int x, int y, SheetColour c) { sheet.pixels[static_cast<size_t>(y * sheet.width + x)] = static_cast<uint8_t>(c); };
  paint(g.GlyphLeft(kSlotA) + kPixelX, g.GlyphTop(kSlotA) + kPixelY, SheetColour::Ink);
  for (int x = 0; x < kNewWidth; ++x) paint(g.GlyphLeft(kSlotA) + x, g.BarTop(kSlotA), SheetColour::WidthBar);
  const std::string png = EncodePng(sheet);
  ASSERT_TRUE(WriteBytesTo(dir + "/a.png", std::vector<uint8_t>(png.begin(), png.end())));
  const CliRun run = RunCli({"font", "import", rom, "a.png"}, dir);
  ASSERT_EQ(run.exitCode, 0) << run.err;
}

TEST_F(MainWindowTest, FontWindowWritesWhatTheToolWritesAndThePreviewFollows) {
  const std::vector<uint8_t> sample = MakeSampleRom(false);
  ASSERT_FALSE(ReadRomFonts(sample).Of(FontId::Main).Pixel(kA, kPixelX, kPixelY));
  QTemporaryDir dir;
  const std::string toolDir = dir.path().toStdString(), viaTool = toolDir + "/tool.smc";
  ASSERT_TRUE(WriteBytesTo(viaTool, sample));
  EditThroughTheTool(viaTool, toolDir);
  std::ifstream toolFile(viaTool, std::ios::binary);
  const std::vector<uint8_t> toolBytes((std::istreambuf_iterator<char>(toolFile)), std::istreambuf_iterator<char>());
  ASSERT_NE(toolBytes, sample);

  TempFile file;
  file.WriteAll(sample);
  Open(file.Path());
  ClickRow(0);
  Retype(QStringLiteral("AA"));
  window.PreviewAction()->trigger();
  ui::TextPreviewWindow* preview = window.Preview();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
  const int lineWidth = preview->Layout().lines.at(0).width;

  window.FontAction()->trigger();
  ui::FontWindow* fonts = window.Fonts();
  ASSERT_NE(fonts, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fonts));
  QTest::mouseClick(fonts->Grid(), Qt::LeftButton, {}, fonts->Grid()->SlotCentre(kSlotA));
  ASSERT_EQ(fonts->Selected(), kSlotA);
  // A click sets the pixel; a drag over it and back from a set one clears, then it is set again.
  ui::GlyphEditor* editor = fonts->Editor();
  QTest::mouseClick(editor, Qt::LeftButton, {}, editor->PixelCentre(kPixelX, kPixelY));
  EXPECT_TRUE(fonts->HasUnappliedEdits());
  QTest::mouseClick(editor, Qt::LeftButton, {}, editor->PixelCentre(kPixelX, kPixelY));
  EXPECT_FALSE(fonts->HasUnappliedEdits());
  QTest::mouseClick(editor, Qt::LeftButton, {}, editor->PixelCentre(kPixelX, kPixelY));
  fonts->WidthBox()->setFocus();
  QTest::keyClick(fonts->WidthBox(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(fonts->WidthBox(), QString::number(kNewWidth));
  EXPECT_EQ(file.ReadAll(), sample);  // nothing written before Apply
  QTest::mouseClick(fonts->ApplyButton(), Qt::LeftButton);
  EXPECT_FALSE(fonts->HasUnappliedEdits());
  EXPECT_EQ(file.ReadAll(), toolBytes);

  // The preview read the font again: the wider A moves the second one on, and shows the new pixel.
  EXPECT_EQ(preview->Layout().lines.at(0).width, lineWidth + 2 * (kNewWidth - 4));
  preview->Canvas()->repaint();
  const TextWindowPicture& shown = preview->Canvas()->LastPicture();
  const int x = preview->Layout().items.at(static_cast<size_t>(preview->Layout().lines[0].firstItem)).x;
  EXPECT_EQ(shown.At(x + kPixelX, kPixelY), WindowPixel::Ink);
}

TEST_F(MainWindowTest, FontWindowAsksAboutUnappliedEditsBeforeClosing) {
  TempFile file;
  file.WriteAll(MakeSampleRom(false));
  const std::vector<uint8_t> before = file.ReadAll();
  // Opened before the ROM, it shows the ROM's font once one is open.
  window.FontAction()->trigger();
  ui::FontWindow* fonts = window.Fonts();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fonts));
  EXPECT_FALSE(fonts->WidthBox()->isEnabled());
  Open(file.Path());
  EXPECT_TRUE(fonts->WidthBox()->isEnabled());
  struct Case {
    QMessageBox::StandardButton answer;
    bool stillOpen;
    bool written;
  };
  for (const Case& c : {Case{QMessageBox::Cancel, true, false}, Case{QMessageBox::Discard, false, false},
                        Case{QMessageBox::Apply, false, true}}) {
    SCOPED_TRACE(c.answer);
    fonts->show();
    fonts->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fonts));
    QTest::mouseClick(fonts->Editor(), Qt::LeftButton, {}, fonts->Editor()->PixelCentre(0, 0));
    ASSERT_TRUE(fonts->HasUnappliedEdits());
    modals.onQuestion = [&](QMessageBox& box) { box.button(c.answer)->click(); };
    QTest::keyClick(fonts, Qt::Key_Escape);
    EXPECT_EQ(fonts->isVisible(), c.stillOpen);
    EXPECT_EQ(file.ReadAll() != before, c.written);
    EXPECT_EQ(fonts->HasUnappliedEdits(), c.stillOpen);
    if (c.stillOpen) {
      modals.onQuestion = [](QMessageBox& box) { box.button(QMessageBox::Discard)->click(); };
      fonts->close();
    }
  }
}

// Glyphs drawn over one ROM's font are not written into another opened since, nor into it.
TEST_F(MainWindowTest, FontWindowDoesNotWriteIntoAnotherRom) {
  TempFile first, second;
  first.WriteAll(MakeSampleRom(false));
  second.WriteAll(MakeSampleRom(false));
  const std::vector<uint8_t> before = first.ReadAll();
  Open(first.Path());
  window.FontAction()->trigger();
  ui::FontWindow* fonts = window.Fonts();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fonts));
  QTest::mouseClick(fonts->Editor(), Qt::LeftButton, {}, fonts->Editor()->PixelCentre(0, 0));
  ASSERT_TRUE(fonts->HasUnappliedEdits());
  Open(second.Path());
  modals.TakeMessages();
  QTest::mouseClick(fonts->ApplyButton(), Qt::LeftButton);
  EXPECT_EQ(modals.TakeMessages().size(), 1u);
  EXPECT_FALSE(fonts->HasUnappliedEdits());
  EXPECT_EQ(first.ReadAll(), before);
  EXPECT_EQ(second.ReadAll(), before);
}

// The picture in the docs, when LETTERMOOR_SHOTS_DIR names a folder.
TEST_F(MainWindowTest, FontWindowScreenshot) {
  const QString dir = qEnvironmentVariable("LETTERMOOR_SHOTS_DIR");
  if (dir.isEmpty()) GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  // The sample with its example table beside it: the grid names the glyphs by the table's
  // letters, and the é (byte 8C, where the game drew "\\") is open large.
  TempFile file;
  file.WriteAll(MakeSampleRom(false));
  const std::string table = file.Path().substr(0, file.Path().rfind('.')) + ".tbl";
  std::ofstream(table, std::ios::binary) << kSampleCharacterTable;
  Open(file.Path());
  window.FontAction()->trigger();
  ui::FontWindow* fonts = window.Fonts();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fonts));
  QTest::mouseClick(fonts->Grid(), Qt::LeftButton, {}, fonts->Grid()->SlotCentre(0x8C - 0x50));
  QApplication::processEvents();
  EXPECT_TRUE(fonts->grab().save(QDir(dir).filePath(QStringLiteral("font-window.png"))));
  std::remove(table.c_str());
}

}  // namespace
}  // namespace lettermoor::test

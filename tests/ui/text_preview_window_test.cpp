// The text-window preview: a separate window that follows the marked entry and the typing.

#include <QRadioButton>
#include <QScrollArea>

#include <random>

#include "main_window_fixture.h"
#include "sample/sample_font.h"
#include "sample/sample_rom.h"
#include "ui/text_preview_window.h"
#include "ui/text_window_canvas.h"
#include "ui/text_window_image.h"

namespace lettermoor::test {
namespace {

// The first printed line of the preview's layout.
std::string FirstLine(const ui::TextPreviewWindow& preview) {
  const TextLayoutResult& r = preview.Layout();
  std::string s;
  if (r.lines.empty()) return s;
  for (int32_t k = r.lines[0].firstItem; k < r.lines[0].firstItem + r.lines[0].itemCount; ++k) {
    const LayoutItem& item = r.items[static_cast<size_t>(k)];
    if (item.kind == LayoutItem::Character && !item.dropped) s.push_back(static_cast<char>(item.value - 0x30));
  }
  return s;
}

TEST_F(MainWindowTest, PreviewFollowsTheMarkedEntryAndTheTyping) {
  SyntheticRom rom = ui_rom::Build();
  PutSampleFonts(rom.Bytes());
  const std::unique_ptr<TempFile> file = rom.Save();
  window.PreviewAction()->trigger();  // before any ROM: it says so
  ui::TextPreviewWindow* preview = window.Preview();
  ASSERT_NE(preview, nullptr);
  EXPECT_TRUE(preview->isVisible());
  EXPECT_TRUE(preview->isWindow());
  EXPECT_FALSE(preview->isModal());
  EXPECT_EQ(preview->Heading(), QStringLiteral("No ROM is open."));

  Open(file->Path());
  ClickRow(1);
  EXPECT_TRUE(preview->Heading().startsWith(QStringLiteral("Line 2:"))) << preview->Heading().toStdString();
  EXPECT_EQ(FirstLine(*preview), "Good morning");
  ClickRow(2);
  EXPECT_EQ(FirstLine(*preview), "Find a clue");

  // Typing redraws it: two waits give two frames; a word too long for a line is cut.
  Retype(QStringLiteral("Hi[03][00]there[03]"));
  EXPECT_EQ(FirstLine(*preview), "Hi");
  EXPECT_EQ(preview->Layout().frames.size(), 2u);
  Retype(QString(40, QLatin1Char('W')));
  EXPECT_TRUE(preview->Layout().AnyCut());
  EXPECT_TRUE(preview->Heading().contains(QStringLiteral("not fitting"))) << preview->Heading().toStdString();

  // The battle switch: a wider line.
  for (QRadioButton* b : preview->findChildren<QRadioButton*>()) {
    if (b->text() == QStringLiteral("&Battle")) QTest::mouseClick(b, Qt::LeftButton);
  }
  EXPECT_EQ(preview->Layout().kind, TextWindowKind::Battle);

  // Many frames: a keystroke repaints only those in view.
  QString many;
  for (int i = 0; i < 30; ++i) many += QStringLiteral("Frame[03][00]");
  Retype(many);
  ASSERT_EQ(preview->Layout().frames.size(), 30u);
  preview->resize(500, 300);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
  QApplication::processEvents();
  preview->Canvas()->repaint();
  EXPECT_GT(preview->Canvas()->FramesPainted(), 0);
  EXPECT_LT(preview->Canvas()->FramesPainted(), 30);

  // Closing the ROM empties it (the typing, asked about, is discarded).
  modals.onQuestion = [](QMessageBox& box) { box.button(QMessageBox::Discard)->click(); };
  Trigger(CommandId::Close);
  EXPECT_EQ(preview->Heading(), QStringLiteral("No ROM is open."));
}

// The picture in the docs: the sample ROM's fourth line in the preview, when LETTERMOOR_SHOTS_DIR
// names a folder.
TEST_F(MainWindowTest, PreviewScreenshot) {
  const QString dir = qEnvironmentVariable("LETTERMOOR_SHOTS_DIR");
  if (dir.isEmpty()) GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  TempFile file;
  file.WriteAll(MakeSampleRom(false));
  Open(file.Path());
  ClickRow(3);  // three frames
  window.PreviewAction()->trigger();
  ui::TextPreviewWindow* preview = window.Preview();
  preview->resize(560, 640);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
  QApplication::processEvents();
  EXPECT_TRUE(preview->grab().save(QDir(dir).filePath(QStringLiteral("preview-window.png"))));
}


// The command-line tool writes its pictures without Qt: Qt's own PNG reader must read back
// exactly the picture the window paints (checksums, stored blocks past 64 KB, palette).
TEST(WindowPngTest, QtReadsBackThePictureTheWindowPaints) {
  std::mt19937 random(7);
  for (const auto [width, height, scale] : {std::array{1, 1, 1}, {37, 5, 2}, {304, 120, 2}, {9, 200, 3}}) {
    TextWindowPicture picture;
    picture.width = width;
    picture.height = height;
    for (int i = 0; i < width * height; ++i) picture.pixels.push_back(static_cast<WindowPixel>(random() % kWindowPixelKinds));
    QImage read;
    const std::string png = WindowPng(picture, scale);
    ASSERT_TRUE(read.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG"))
        << width << "x" << height;
    const QImage painted = ui::TextWindowImage(picture, scale);
    ASSERT_EQ(read.size(), painted.size());
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32), painted.convertToFormat(QImage::Format_RGB32))
        << width << "x" << height << " x" << scale;
  }
}

}  // namespace
}  // namespace lettermoor::test

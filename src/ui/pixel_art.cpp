#include "ui/pixel_art.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace lettermoor::ui {

namespace {

// Each picture is painted without antialiasing on a small canvas and blown up with nearest-
// neighbour scaling, which gives it the blocky look of hand-set pixels.
constexpr QRgb kOutline = 0xFF1E1E28;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kLight = 0xFFC8C8D0;
constexpr QRgb kGray = 0xFF8C8C98;
constexpr QRgb kDark = 0xFF505060;
constexpr QRgb kPaper = 0xFFFBF3DC;
constexpr QRgb kPaperShade = 0xFFD8CCA8;
constexpr QRgb kYellow = 0xFFF8D040;
constexpr QRgb kYellowShade = 0xFFE0A828;
constexpr QRgb kRed = 0xFFD83838;
constexpr QRgb kDarkRed = 0xFF8C1C24;
constexpr QRgb kMouth = 0xFF5A0F18;
constexpr QRgb kTongue = 0xFFF08C9C;
constexpr QRgb kBlue = 0xFF4878D8;
constexpr QRgb kDarkBlue = 0xFF27408B;
constexpr QRgb kScreen = 0xFF78D0F0;
constexpr QRgb kScreenDark = 0xFF2C6C9C;
constexpr QRgb kSkin = 0xFFF4C898;
constexpr QRgb kBrown = 0xFF9C6434;
constexpr QRgb kDarkBrown = 0xFF5C3818;
constexpr QRgb kGreen = 0xFF50B050;
constexpr QRgb kDarkGreen = 0xFF2C7030;
constexpr QRgb kSky = 0xFFD8E8F8;

class Canvas {
 public:
  Canvas(int width, int height, QRgb background = 0)
      : image_(width, height, QImage::Format_ARGB32) {
    image_.fill(background);
  }

  // A filled rectangle with an optional one-pixel outline, exactly width by height pixels.
  void Box(int x, int y, int w, int h, QRgb fill, QRgb outline = 0) {
    QPainter p(&image_);
    p.setCompositionMode(QPainter::CompositionMode_Source);  // a transparent fill cuts a hole
    p.fillRect(x, y, w, h, QColor::fromRgba(outline ? outline : fill));
    if (outline) p.fillRect(x + 1, y + 1, w - 2, h - 2, QColor::fromRgba(fill));
  }
  void Ellipse(int x, int y, int w, int h, QRgb fill, QRgb outline = 0) {
    QPainter p(&image_);
    p.setPen(outline ? QPen(QColor::fromRgba(outline), 1) : Qt::NoPen);
    p.setBrush(QColor::fromRgba(fill));
    p.drawEllipse(x, y, w - 1, h - 1);
  }
  void Polygon(const QPolygon& points, QRgb fill, QRgb outline = 0) {
    QPainter p(&image_);
    p.setPen(outline ? QPen(QColor::fromRgba(outline), 1) : Qt::NoPen);
    p.setBrush(QColor::fromRgba(fill));
    p.drawPolygon(points);
  }
  void Line(int x1, int y1, int x2, int y2, QRgb color) {
    QPainter p(&image_);
    p.setPen(QPen(QColor::fromRgba(color), 1));
    p.drawLine(x1, y1, x2, y2);
  }
  // The part of a chord below (or above) a horizontal line, for mouths and smiles.
  void Chord(int x, int y, int w, int h, int startDegrees, int spanDegrees, QRgb fill,
             QRgb outline = 0) {
    QPainter p(&image_);
    p.setPen(outline ? QPen(QColor::fromRgba(outline), 1) : Qt::NoPen);
    p.setBrush(QColor::fromRgba(fill));
    p.drawChord(x, y, w - 1, h - 1, startDegrees * 16, spanDegrees * 16);
  }
  void Dot(int x, int y, QRgb color) { image_.setPixel(x, y, color); }

  QImage Scaled(int factor) const {
    return image_.scaled(image_.width() * factor, image_.height() * factor, Qt::IgnoreAspectRatio,
                         Qt::FastTransformation);
  }

 private:
  QImage image_;
};

// A sheet of paper with a quill resting across it.
QImage LetterIcon() {
  Canvas c(16, 16);
  c.Box(0, 1, 11, 15, kPaper, kOutline);
  c.Box(9, 2, 1, 13, kPaperShade);
  for (int y : {4, 6, 8, 10, 12}) c.Line(2, y, y < 10 ? 7 : 5, y, kGray);
  c.Polygon(QPolygon({QPoint(15, 0), QPoint(10, 3), QPoint(6, 9), QPoint(5, 12), QPoint(8, 10),
                      QPoint(12, 6), QPoint(15, 1)}),
            kWhite, kOutline);
  c.Line(14, 1, 5, 12, kLight);
  c.Line(5, 12, 3, 15, kDarkBlue);
  c.Dot(4, 14, kDarkBlue);
  return c.Scaled(1);
}

// Bitmap 133: a grinning face with little horns, the About box's possessor.
QImage GrinningFace() {
  Canvas c(75, 77, kSky);
  for (int i = 0; i < 12; ++i) c.Dot((i * 29 + 5) % 75, (i * 17 + 3) % 77, kWhite);
  c.Polygon(QPolygon({QPoint(14, 20), QPoint(9, 2), QPoint(26, 12)}), kRed, kOutline);
  c.Polygon(QPolygon({QPoint(60, 20), QPoint(65, 2), QPoint(48, 12)}), kRed, kOutline);
  c.Ellipse(4, 6, 67, 68, kYellow, kOutline);
  c.Chord(8, 40, 59, 30, 200, 140, kYellowShade);  // a rounder shade along the jaw
  c.Ellipse(8, 10, 59, 58, kYellow);
  // Eyes glancing sideways under slanted brows.
  c.Ellipse(18, 24, 14, 16, kWhite, kOutline);
  c.Ellipse(43, 24, 14, 16, kWhite, kOutline);
  c.Box(25, 29, 5, 7, kOutline);
  c.Box(50, 29, 5, 7, kOutline);
  c.Dot(26, 30, kWhite);
  c.Dot(51, 30, kWhite);
  c.Polygon(QPolygon({QPoint(15, 17), QPoint(33, 22), QPoint(32, 24), QPoint(15, 20)}), kDarkBrown);
  c.Polygon(QPolygon({QPoint(60, 17), QPoint(42, 22), QPoint(43, 24), QPoint(60, 20)}), kDarkBrown);
  c.Ellipse(12, 42, 9, 6, 0xFFF0A070);
  c.Ellipse(54, 42, 9, 6, 0xFFF0A070);
  // The grin: a wide chord of teeth over a dark mouth.
  c.Chord(14, 26, 47, 38, 180, 180, kMouth, kOutline);
  c.Box(19, 45, 37, 5, kWhite);
  for (int x = 25; x < 56; x += 6) c.Line(x, 45, x, 49, kLight);
  c.Chord(30, 52, 16, 12, 180, 180, kTongue);
  return c.Scaled(2);
}

// Bitmap 164: a round face with its mouth wide open.
QImage OpenMouthedFace() {
  Canvas c(24, 24, kSky);
  c.Ellipse(1, 1, 22, 22, kYellow, kOutline);
  c.Box(6, 7, 3, 4, kOutline);
  c.Box(15, 7, 3, 4, kOutline);
  c.Dot(6, 7, kWhite);
  c.Dot(15, 7, kWhite);
  c.Line(5, 5, 8, 4, kDarkBrown);
  c.Line(15, 4, 18, 5, kDarkBrown);
  c.Ellipse(8, 12, 8, 9, kMouth, kOutline);
  c.Box(10, 18, 4, 2, kTongue);
  c.Box(10, 13, 4, 1, kWhite);
  return c.Scaled(2);
}

// Bitmap 145: a scribe in a long robe with a scroll under the arm.
QImage Figure() {
  Canvas c(16, 33);
  c.Polygon(QPolygon({QPoint(4, 12), QPoint(11, 12), QPoint(14, 30), QPoint(1, 30)}), kGreen,
            kOutline);                   // robe
  c.Line(5, 19, 10, 19, kBrown);         // belt
  c.Line(7, 20, 6, 29, kDarkGreen);      // a fold
  c.Box(1, 13, 4, 9, kGreen, kOutline);  // sleeves
  c.Box(11, 13, 4, 9, kGreen, kOutline);
  c.Box(1, 21, 4, 2, kSkin, kOutline);  // hands
  c.Box(11, 21, 4, 2, kSkin, kOutline);
  c.Box(12, 15, 4, 6, kPaper, kOutline);  // scroll
  c.Line(13, 17, 14, 17, kGray);
  c.Box(4, 3, 8, 10, kSkin, kOutline);  // head
  c.Box(4, 1, 8, 4, kBrown, kOutline);  // hair
  c.Box(4, 4, 1, 4, kBrown);
  c.Box(11, 4, 1, 4, kBrown);
  c.Dot(6, 7, kOutline);
  c.Dot(9, 7, kOutline);
  c.Line(7, 10, 8, 10, kDarkRed);
  c.Box(4, 30, 4, 2, kDarkBrown);  // shoes
  c.Box(8, 30, 4, 2, kDarkBrown);
  return c.Scaled(2);
}

// Bitmap 148: a red tool box with a wrench and a screwdriver poking out.
QImage ToolBox() {
  Canvas c(32, 32);
  c.Box(21, 2, 6, 5, kLight, kOutline);  // wrench: open jaw on a long shaft
  c.Box(23, 1, 2, 3, 0);
  c.Box(22, 6, 4, 9, kLight, kOutline);
  c.Box(6, 2, 5, 7, kYellow, kOutline);  // screwdriver: handle and blade
  c.Box(8, 9, 1, 5, kDark);
  c.Box(11, 8, 10, 6, kGray, kOutline);  // carrying handle
  c.Box(13, 10, 6, 4, 0);
  c.Box(2, 13, 28, 6, kRed, kOutline);  // lid
  c.Line(3, 14, 28, 14, 0xFFF07070);
  c.Box(2, 18, 28, 12, kDarkRed, kOutline);
  c.Box(3, 19, 26, 3, kRed);
  c.Box(13, 16, 6, 5, kYellow, kOutline);  // latch
  return c.Scaled(2);
}

// Bitmap 149: a little computer screen with lines of text.
QImage Screen() {
  Canvas c(16, 16);
  c.Box(1, 1, 14, 11, kLight, kOutline);
  c.Box(3, 3, 10, 7, kScreenDark);
  c.Line(4, 4, 9, 4, kScreen);
  c.Line(4, 6, 11, 6, kScreen);
  c.Line(4, 8, 7, 8, kGreen);
  c.Box(6, 12, 4, 2, kGray, 0);
  c.Box(3, 13, 10, 2, kLight, kOutline);
  c.Dot(13, 10, kGreen);
  return c.Scaled(2);
}

// A sunken rule: a shadow line over a highlight line.
QImage Rule(int width) {
  QImage image(width, 2, QImage::Format_ARGB32);
  for (int x = 0; x < width; ++x) {
    image.setPixel(x, 0, kGray);
    image.setPixel(x, 1, kWhite);
  }
  return image;
}

}  // namespace

QPixmap ResourceBitmap(int id) {
  switch (id) {
    case 133: return QPixmap::fromImage(GrinningFace());
    case 145: return QPixmap::fromImage(Figure());
    case 147: return QPixmap::fromImage(Rule(480));
    case 148: return QPixmap::fromImage(ToolBox());
    case 149: return QPixmap::fromImage(Screen());
    case 150: return QPixmap::fromImage(Rule(250));
    case 164: return QPixmap::fromImage(OpenMouthedFace());
    default: return {};
  }
}

QIcon AppIcon() {
  const QImage small = LetterIcon();
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(small));
  icon.addPixmap(
      QPixmap::fromImage(small.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
  return icon;
}

}  // namespace lettermoor::ui

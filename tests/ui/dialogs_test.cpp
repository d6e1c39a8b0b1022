#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

#include "dialogs/details_page.h"
#include "rom/snes_address.h"
#include "support/synthetic_rom.h"
#include "ui/about_dialog.h"
#include "ui/details_dialog.h"
#include "ui/dialog_launchers.h"
#include "ui/geometry.h"
#include "ui/gizmo_dialog.h"
#include "ui/pixel_art.h"
#include "ui/pointer_entry_dialog.h"
#include "ui/search_dialog.h"

namespace lettermoor::ui {
namespace {

QRect Dlu(int x, int y, int w, int h) { return QRect(DluX(x), DluY(y), DluX(w), DluY(h)); }

std::vector<int> VisibleChildren(const DetailsDialog& dialog) {
  std::vector<int> out;
  for (int id = 0; id < kDetailsChildCount; ++id) {
    if (!dialog.Child(id)->isHidden()) out.push_back(id);
  }
  return out;
}

// Runs `act` on the next modal window once the caller's modal loop has started.
void WhenModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act = std::move(act)] {
    QWidget* modal = QApplication::activeModalWidget();
    EXPECT_NE(modal, nullptr);
    if (modal) act(modal);
  });
}

// Saves a picture of the dialog when LETTERMOOR_SHOTS_DIR names a folder (for the docs).
void SaveShot(QWidget& dialog, const char* name) {
  const QString dir = qEnvironmentVariable("LETTERMOOR_SHOTS_DIR");
  if (dir.isEmpty()) return;
  dialog.show();
  QApplication::processEvents();
  EXPECT_TRUE(dialog.grab().save(QDir(dir).filePath(QString::fromLatin1(name))));
}

TEST(PointerEntryDialogView, LaysOutTheEntryAndTakesTypingWithinLimits) {
  PointerEntryDialog dialog(nullptr, PointerEntryForm{"C5FE00", 500, 3, true});
  EXPECT_EQ(dialog.windowTitle(), "Text Pointer Table Entry Editor");
  EXPECT_EQ(dialog.size(), QSize(DluX(202), DluY(117)));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_EQ(dialog.AddressEdit()->geometry(), Dlu(115, 39, 62, 12));
  EXPECT_EQ(dialog.AddressEdit()->text(), "C5FE00");
  EXPECT_EQ(dialog.SpriteEdit()->text(), "500");  // shown as stored, out of range or not
  EXPECT_EQ(dialog.MovementEdit()->text(), "3");
  EXPECT_EQ(dialog.ApplyButton()->text(), "&Apply Changes");
  EXPECT_TRUE(dialog.ApplyButton()->isDefault());
  EXPECT_EQ(dialog.focusWidget(), dialog.AddressEdit());

  dialog.AddressEdit()->clear();
  QTest::keyClicks(dialog.AddressEdit(), "abcdefgh");
  EXPECT_EQ(dialog.AddressEdit()->text(), "abcdef");
  dialog.SpriteEdit()->clear();
  QTest::keyClicks(dialog.SpriteEdit(), "-4x2");
  EXPECT_EQ(dialog.SpriteEdit()->text(), "42");
}

TEST(PointerEntryDialogView, RefusesAnOutOfRangeSpriteAndAcceptsOnceCorrected) {
  PointerEntryDialog dialog(nullptr, PointerEntryForm{"C5FE00", 500, 3, true});
  QStringList refusals;
  dialog.SetRefusalPresenter([&](const QString& message) { refusals << message; });
  dialog.show();

  QTest::mouseClick(dialog.ApplyButton(), Qt::LeftButton);
  EXPECT_EQ(refusals, QStringList{"Please enter an integer between 0 and 463."});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.focusWidget(), dialog.SpriteEdit());

  dialog.SpriteEdit()->setText("463");
  QTest::keyClick(dialog.SpriteEdit(), Qt::Key_Return);  // Enter presses Apply
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Form().spriteNumber, 463);
}

TEST(PointerEntryDialogView, RefusalShowsAPlainMessageBoxAndALongStoredAddressStaysWhole) {
  // "FFFFFFFF" can be in the table after an earlier edit wrote "-1"; cutting it to six
  // characters would write a different address on an unchanged Apply.
  PointerEntryDialog dialog(nullptr, PointerEntryForm{"FFFFFFFF", 1, 3, true});
  EXPECT_EQ(dialog.AddressEdit()->text(), "FFFFFFFF");
  dialog.show();
  QString text;
  QMessageBox::Icon icon = QMessageBox::Critical;
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    text = box->text();
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  });
  dialog.ApplyButton()->click();
  EXPECT_EQ(text, "Please enter no more than 6 characters.");
  EXPECT_EQ(icon, QMessageBox::NoIcon);
  EXPECT_TRUE(dialog.isVisible());
}

TEST(PointerEntryDialogView, LauncherGivesBackAppliedFieldsOnly) {
  PointerEntryForm form{"C5FE00", -1, -1, false};
  WhenModal([](QWidget* modal) {
    auto* dialog = qobject_cast<PointerEntryDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->SpriteEdit()->isEnabled());
    EXPECT_FALSE(dialog->MovementEdit()->isEnabled());
    EXPECT_EQ(dialog->SpriteEdit()->text(), "-1");
    dialog->AddressEdit()->setText("c5fe20");
    dialog->ApplyButton()->click();
  });
  ASSERT_TRUE(RunPointerEntryDialog(nullptr, form));
  EXPECT_EQ(form.addressText, "c5fe20");
  EXPECT_EQ(form.spriteNumber, -1);

  WhenModal([](QWidget* modal) {
    static_cast<PointerEntryDialog*>(modal)->AddressEdit()->setText("0");
    QTest::keyClick(modal, Qt::Key_Escape);
  });
  EXPECT_FALSE(RunPointerEntryDialog(nullptr, form));
  EXPECT_EQ(form.addressText, "c5fe20");
}

class DetailsDialogView : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SyntheticRom image(0x20000);
    image.Put(0x400, {0x50, 0x02, 0xFF});
    file_ = image.Save();
    rom_ = test::OpenForTest(file_->Path());
    table_.entries = {TextEntry{0xF8B92, FileOffsetToSnes(0x400), 5, 3},
                      TextEntry{0, FileOffsetToSnes(0x400), 0, 0}};
    request_ = {rom_.get(), file_->Name(), 0, 3, &table_, &listing_};
  }

  std::string listing_ = "@\r\nEND OF STRING";
  TextEntryTable table_;
  DetailsRequest request_;
  std::unique_ptr<test::TempFile> file_;
  std::unique_ptr<RomFile> rom_;
};

TEST_F(DetailsDialogView, OpensOnMiscInfoAndSwitchesPages) {
  DetailsDialog dialog(nullptr, request_);
  EXPECT_EQ(dialog.windowTitle(), "Details");
  EXPECT_EQ(dialog.size(), QSize(DluX(187), DluY(142)));
  ASSERT_EQ(dialog.Tabs()->count(), 4);
  EXPECT_EQ(dialog.Tabs()->tabText(3), "ROM Info");
  for (int id = 0; id < kDetailsChildCount; ++id) {
    EXPECT_EQ(dialog.Child(id)->parentWidget(), dialog.TabControl()) << id;
  }
  // Pictures take their bitmaps' sizes; the rest keep their rectangles.
  EXPECT_EQ(dialog.Child(0)->geometry(), QRect(20, 40, 32, 66));
  EXPECT_EQ(dialog.Child(1)->geometry(), QRect(7, 30, 266, 185));
  EXPECT_EQ(dialog.Child(3)->geometry(), QRect(20, 32, 64, 64));

  dialog.show();
  EXPECT_EQ(VisibleChildren(dialog), (std::vector<int>{3, 4, 5, 6, 7}));
  auto labelText = [&](int id) { return static_cast<QLabel*>(dialog.Child(id))->text(); };
  EXPECT_TRUE(labelText(4).startsWith("Text Attributes:\n\nLine:                  1/2\n"));
  EXPECT_TRUE(labelText(7).endsWith("Movement #:  3\n"));

  auto* edit = static_cast<QPlainTextEdit*>(dialog.Child(1));
  dialog.Tabs()->setCurrentIndex(1);
  EXPECT_EQ(VisibleChildren(dialog), std::vector<int>{1});
  EXPECT_EQ(edit->toPlainText(), "@\nEND OF STRING");
  dialog.Tabs()->setCurrentIndex(2);
  EXPECT_EQ(edit->toPlainText(), "50 02 FF ");
  dialog.Tabs()->setCurrentIndex(1);
  EXPECT_EQ(edit->toPlainText(), "@\nEND OF STRING");
  dialog.Tabs()->setCurrentIndex(3);
  EXPECT_EQ(VisibleChildren(dialog), (std::vector<int>{0, 2}));
  EXPECT_TRUE(labelText(2).endsWith("\nROM Type:  EarthBound ROM\nFile size:       131072 bytes\nChecksum:   not computed"));

  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(DetailsDialogView, EveryOpeningStartsOnMiscInfo) {
  request_.row = 1;
  for (int opening = 0; opening < 2; ++opening) {
    WhenModal([](QWidget* modal) {
      auto* dialog = qobject_cast<DetailsDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->Tabs()->currentIndex(), 0);
      EXPECT_EQ(static_cast<QLabel*>(dialog->Child(7))->text(),
                "Text Pointer Table Attributes:\n\nIndeterminate");
      dialog->Tabs()->setCurrentIndex(3);
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    RunDetailsDialog(nullptr, request_);
  }
}

AboutBox::Generator Draws(std::deque<int> numbers) {
  return [numbers]() mutable {
    const int n = numbers.empty() ? 0 : numbers.front();
    if (!numbers.empty()) numbers.pop_front();
    return n;
  };
}

TEST(AboutDialogView, OnlyThePictureRunsThePossession) {
  AboutDialog dialog(nullptr, Draws({250, 73, 15, 399, 1}));
  EXPECT_EQ(dialog.windowTitle(), "About");
  EXPECT_EQ(dialog.size(), QSize(DluX(248), DluY(110)));
  EXPECT_TRUE(dialog.ProgramText()->text().startsWith("Lettermoor 3.7\nBy Quarrin"));
  EXPECT_EQ(dialog.Picture()->pixmap().size(), QSize(150, 154));
  EXPECT_EQ(dialog.CloseButton()->text(), "I love you, Quarrin!");
  EXPECT_TRUE(dialog.CloseButton()->isDefault());

  dialog.show();
  const QSize size = dialog.frameGeometry().size();
  QTest::mouseClick(dialog.ProgramText(), Qt::LeftButton);
  EXPECT_EQ(dialog.windowTitle(), "About");

  QTest::mouseClick(dialog.Picture(), Qt::LeftButton);
  EXPECT_EQ(dialog.windowTitle(), "Quarrin has possessed this About box!");
  EXPECT_EQ(dialog.frameGeometry(), QRect(QPoint(73, 50), size));

  QTest::mouseClick(dialog.Picture(), Qt::LeftButton);
  EXPECT_EQ(dialog.windowTitle(), "I have the power to move windows!");
  EXPECT_EQ(dialog.frameGeometry(), QRect(QPoint(1, 199), size));

  QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());

  AboutDialog next(nullptr);  // clock-seeded, and possessed afresh
  next.show();
  QTest::mouseClick(next.Picture(), Qt::LeftButton);
  EXPECT_EQ(next.windowTitle(), "Quarrin has possessed this About box!");
}

TEST(GizmoDialogView, ToysStartFreshOnEveryOpening) {
  for (int opening = 0; opening < 2; ++opening) {
    GizmoDialog dialog(nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Happy-Land is joy full place!");
    EXPECT_EQ(dialog.size(), QSize(DluX(186), DluY(94)));
    EXPECT_EQ(dialog.Slider()->value(), 0);
    EXPECT_EQ(dialog.Arrows()->Value(), 0);
    EXPECT_FALSE(dialog.BooBox()->isChecked());
    EXPECT_EQ(dialog.AddressField()->text(), "...");
    EXPECT_TRUE(dialog.DatePicker()->calendarPopup());
    EXPECT_EQ(dialog.DatePicker()->date(), QDate::currentDate());
    EXPECT_TRUE(dialog.EditBox()->text().isEmpty());
    EXPECT_TRUE(dialog.OkButton()->isDefault());

    // Play with everything; none of it outlives the dialog.
    dialog.show();
    dialog.Slider()->setValue(40);
    QTest::mouseClick(dialog.BooBox(), Qt::LeftButton);
    EXPECT_TRUE(dialog.BooBox()->isChecked());
    dialog.AddressField()->setFocus();
    dialog.AddressField()->setCursorPosition(0);
    QTest::keyClicks(dialog.AddressField(), "192168001002");
    EXPECT_EQ(dialog.AddressField()->text(), "192.168.001.002");
    dialog.Arrows()->setFocus();
    QTest::keyClick(dialog.Arrows(), Qt::Key_Up);
    QTest::keyClick(dialog.Arrows(), Qt::Key_Up);
    QTest::keyClick(dialog.Arrows(), Qt::Key_Down);
    EXPECT_EQ(dialog.Arrows()->Value(), 1);
    QTest::keyClicks(dialog.EditBox(), "monkey");
    QTest::mouseClick(dialog.MonkeyBait(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
  }
}

TEST(GizmoDialogView, AddressFieldsTakeZeroTo255) {
  struct Case {
    const char* typed;
    const char* shown;
  };
  for (const Case& c : {Case{"192168001002", "192.168.001.002"},
                        Case{"255255255255", "255.255.255.255"}, Case{"256", "25..."},
                        Case{"999", "99..."}, Case{"0303000", "030.30.."}}) {
    SCOPED_TRACE(c.typed);
    GizmoDialog dialog(nullptr);
    dialog.show();
    dialog.AddressField()->setFocus();
    dialog.AddressField()->setCursorPosition(0);
    QTest::keyClicks(dialog.AddressField(), c.typed);
    EXPECT_EQ(dialog.AddressField()->text(), c.shown);
  }
}

// Fixed texts keep every character and their own line breaks in whatever font the system has.
TEST(DialogTexts, FitTheirPlacesWhole) {
  SearchDialog search(nullptr, {});
  const QLabel* findWhat = nullptr;
  for (const QLabel* label : search.findChildren<QLabel*>()) {
    if (label->text() == QStringLiteral("Find what:")) findWhat = label;
  }
  ASSERT_NE(findWhat, nullptr);
  EXPECT_LE(findWhat->sizeHint().width(), findWhat->width());
  EXPECT_EQ(findWhat->font().families(), search.font().families());

  AboutDialog about(nullptr);
  const QLabel& text = *about.ProgramText();
  const QFontMetrics metrics(text.font());
  for (const QString& line : text.text().split(QLatin1Char('\n'))) {
    EXPECT_LE(metrics.horizontalAdvance(line), text.contentsRect().width()) << line.toStdString();
  }
}

TEST(PixelArt, PicturesHaveTheirStatedSizes) {
  const std::pair<int, QSize> pictures[] = {{133, {150, 154}}, {145, {32, 66}}, {147, {480, 2}},
                                            {148, {64, 64}},   {149, {32, 32}}, {150, {250, 2}},
                                            {164, {48, 48}}};
  for (const auto& [id, size] : pictures) EXPECT_EQ(ResourceBitmap(id).size(), size) << id;
  EXPECT_TRUE(ResourceBitmap(999).isNull());
  const QList<QSize> iconSizes = AppIcon().availableSizes();
  EXPECT_TRUE(iconSizes.contains(QSize(16, 16)));
  EXPECT_TRUE(iconSizes.contains(QSize(32, 32)));
}

// Not a check: writes the pictures of the four windows for the docs when asked to.
TEST_F(DetailsDialogView, Screenshots) {
  if (qEnvironmentVariableIsEmpty("LETTERMOOR_SHOTS_DIR"))
    GTEST_SKIP() << "no LETTERMOOR_SHOTS_DIR";
  PointerEntryDialog pointer(nullptr, PointerEntryForm{"C51B12", 12, 3, true});
  SaveShot(pointer, "dialog-pointer-editor.png");
  DetailsDialog details(nullptr, request_);
  SaveShot(details, "dialog-details.png");
  AboutDialog about(nullptr);
  SaveShot(about, "dialog-about.png");
  GizmoDialog gizmo(nullptr);
  SaveShot(gizmo, "dialog-gizmo.png");
}

}  // namespace
}  // namespace lettermoor::ui

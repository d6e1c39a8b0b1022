// One editing session written once and played on both views of the editor: the recording fake
// the logic tests use and the real Qt window. Both must show the user the same things.

#include "main_window_fixture.h"
#include "support/fake_editor_view.h"

namespace lettermoor::test {
namespace {

using namespace ui_rom;

struct Shown {
  std::string text;
  std::string caption;
  bool warning = false;
  bool operator==(const Shown&) const = default;
};

// What the scenario can do and see, whichever view is behind it.
class Session {
 public:
  virtual ~Session() = default;
  virtual EditorWindow& Logic() = 0;
  virtual void PickRom(const std::string& path) = 0;
  virtual void Command(CommandId id) = 0;
  virtual void ClickRow(int row) = 0;
  virtual void Type(const std::string& text) = 0;  // replaces the edit box's text
  virtual void PressApply() = 0;
  virtual std::string Title() = 0;
  virtual std::string EditText() = 0;
  virtual std::string Label(LabelId id) = 0;
  virtual std::vector<std::string> Rows() = 0;
  virtual int Mark() = 0;
  virtual bool Enabled(CommandId id) = 0;
  virtual bool Checked(CommandId id) = 0;
  virtual std::vector<Shown> TakeMessages() = 0;
};

class FakeSession : public Session {
 public:
  FakeSession() { logic_.Initialise(); }
  EditorWindow& Logic() override { return logic_; }
  void PickRom(const std::string& path) override {
    view_.PickRom(path);
    logic_.OnCommand(CommandId::Open);
  }
  void Command(CommandId id) override { logic_.OnCommand(id); }
  void ClickRow(int row) override { view_.ClickRow(logic_, row); }
  void Type(const std::string& text) override { view_.Type(logic_, text); }
  void PressApply() override { view_.PressApply(logic_); }
  std::string Title() override { return view_.title; }
  std::string EditText() override { return view_.editText; }
  std::string Label(LabelId id) override { return view_.Label(id); }
  std::vector<std::string> Rows() override { return view_.rows; }
  int Mark() override { return view_.selectionMark; }
  bool Enabled(CommandId id) override { return view_.IsEnabled(id); }
  bool Checked(CommandId id) override { return view_.IsChecked(id); }
  std::vector<Shown> TakeMessages() override {
    std::vector<Shown> out;
    for (const auto& m : view_.TakeMessages()) out.push_back({m.text, m.caption, m.icon == MessageIcon::Warning});
    return out;
  }

 private:
  FakeEditorView view_;
  EditorWindow logic_{view_};
};

class QtSession : public Session {
 public:
  QtSession() {
    window_.Attach(logic_);
    logic_.Initialise();
    window_.SetRomPathPrompt([this] { return std::exchange(pick_, QString()); });
    window_.show();
    window_.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
  }
  ~QtSession() override {
    window_.close();
    QDir::setCurrent(savedDirectory_);
  }
  EditorWindow& Logic() override { return logic_; }
  void PickRom(const std::string& path) override {
    pick_ = QString::fromStdString(path);
    Command(CommandId::Open);
  }
  void Command(CommandId id) override { window_.Action(id)->trigger(); }
  void ClickRow(int row) override {
    QListView* list = window_.List();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(row, 0)).center());
  }
  void Type(const std::string& text) override {
    QPlainTextEdit* edit = window_.EditBox();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromLatin1(text.c_str()));
  }
  void PressApply() override { QTest::mouseClick(window_.ApplyButton(), Qt::LeftButton); }
  std::string Title() override { return window_.windowTitle().toStdString(); }
  std::string EditText() override { return window_.EditText(); }
  std::string Label(LabelId id) override { return window_.Label(id)->text().toStdString(); }
  std::vector<std::string> Rows() override {
    std::vector<std::string> rows;
    QAbstractItemModel* model = window_.List()->model();
    for (int i = 0; i < model->rowCount(); ++i) rows.push_back(model->index(i, 0).data().toString().toStdString());
    return rows;
  }
  int Mark() override { return window_.SelectionMark(); }
  bool Enabled(CommandId id) override { return window_.Action(id)->isEnabled(); }
  bool Checked(CommandId id) override { return window_.Action(id)->isChecked(); }
  std::vector<Shown> TakeMessages() override {
    std::vector<Shown> out;
    for (const auto& m : modals_.TakeMessages()) {
      out.push_back({m.text.toStdString(), m.caption.toStdString(), m.icon == QMessageBox::Warning});
    }
    return out;
  }

 private:
  QString savedDirectory_ = QDir::currentPath();
  QString pick_;
  ui::MainWindow window_;
  EditorWindow logic_{window_};
  ModalDriver modals_;
};

class EditingSession : public ::testing::TestWithParam<bool> {
 protected:
  EditingSession() {
    if (GetParam()) {
      session_ = std::make_unique<QtSession>();
    } else {
      session_ = std::make_unique<FakeSession>();
    }
  }
  Session& S() { return *session_; }

 private:
  std::unique_ptr<Session> session_;
};

TEST_P(EditingSession, OpenEditApplyRefuseSwitchAndClose) {
  auto file = ui_rom::Build().Save();
  S().PickRom(file->Path());
  EXPECT_EQ(S().Title(), "Lettermoor 3.7 - File Loaded");
  EXPECT_EQ(S().Rows(), (std::vector<std::string>{"Hello there", "Good morning", "Find a clue",
                                                  "Hello there", "Good night", "Good morning"}));
  EXPECT_EQ(S().Mark(), 0);
  EXPECT_EQ(S().EditText(), "Hello there[03 00 02]");
  EXPECT_TRUE(S().Enabled(CommandId::EditTptEntry));
  EXPECT_TRUE(S().Enabled(CommandId::ExpandRom));
  EXPECT_FALSE(S().Enabled(CommandId::ExpandedRomListing));

  // Edit row 3, which shares its text with row 0.
  S().ClickRow(3);
  EXPECT_EQ(S().Label(LabelId::Line), "Line: 4/6");
  S().Type("Hi there[03 00");
  EXPECT_EQ(S().Label(LabelId::CurrentSize), "Current Size: Unknown");
  S().PressApply();
  EXPECT_EQ(S().TakeMessages(),
            (std::vector<Shown>{{editor_text::kBracketError, editor_text::kPreWriteCaption, true}}));
  S().Type("Hi there, friend[03 00 02]");
  S().PressApply();
  EXPECT_EQ(S().TakeMessages(),
            (std::vector<Shown>{{editor_text::kTooLarge, editor_text::kPreWriteCaption, true}}));
  S().Type("Hi there[03 00 02]");
  EXPECT_EQ(S().Label(LabelId::CurrentSize), "Current Size: 11 (uncompressed)");
  S().PressApply();
  EXPECT_TRUE(S().TakeMessages().empty());
  EXPECT_EQ(S().Rows()[0], "Hi there");
  EXPECT_EQ(S().Rows()[3], "Hi there");
  EXPECT_EQ(S().Label(LabelId::Size), "Size: 11");
  auto written = ScriptText("Hi there");
  written.insert(written.end(), {0x03, 0x00, 0x02});
  const auto bytes = file->ReadAll();
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + kS0, bytes.begin() + kS0 + 11), written);

  // Modes.
  S().Command(CommandId::DisplayCodesOnly);
  EXPECT_EQ(S().EditText(), "[78 99 50 A4 98 95 A2 95 03 00 02]");
  S().Command(CommandId::RawTextListing);
  EXPECT_TRUE(S().Checked(CommandId::RawTextListing));
  EXPECT_FALSE(S().Checked(CommandId::PointerTableListing));
  EXPECT_FALSE(S().Enabled(CommandId::EditTptEntry));
  EXPECT_EQ(S().Rows().at(0), "Hi there");
  EXPECT_EQ(S().Mark(), 0);

  S().Command(CommandId::Close);
  EXPECT_EQ(S().Title(), "Lettermoor 3.7 - No File Loaded");
  EXPECT_TRUE(S().Rows().empty());
  EXPECT_EQ(S().EditText(), "");
  for (LabelId id : {LabelId::Line, LabelId::Size, LabelId::CurrentSize}) EXPECT_EQ(S().Label(id), "");
  EXPECT_TRUE(S().Checked(CommandId::PointerTableListing));
  EXPECT_TRUE(S().Checked(CommandId::DisplayCodesOnly));  // the display mode outlives Close
  EXPECT_FALSE(S().Enabled(CommandId::Search));
  EXPECT_TRUE(S().Enabled(CommandId::Open));
}

INSTANTIATE_TEST_SUITE_P(BothViews, EditingSession, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "QtWindow" : "FakeView";
                         });

}  // namespace
}  // namespace lettermoor::test

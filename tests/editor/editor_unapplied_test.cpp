#include <optional>

#include "codec/text_encoder.h"
#include "editor/editor_fixture.h"

namespace lettermoor::test {
namespace {

using namespace layout;

// How the user tries to leave the entry they typed into.
enum class Leave { ExitCommand, CloseBox, CloseCommand, OpenAnother, RunInEmulator };

const char* Name(Leave leave) {
  switch (leave) {
    case Leave::ExitCommand: return "File > Exit";
    case Leave::CloseBox: return "close box";
    case Leave::CloseCommand: return "File > Close";
    case Leave::OpenAnother: return "File > Open";
    case Leave::RunInEmulator: return "Tools > Run in Emulator";
  }
  return "?";
}

struct UnappliedCase {
  Leave leave;
  std::optional<ChangesAnswer> answer;  // none: nothing was typed, nothing may be asked
  const char* typed;                    // typed over row 2 ("Good morning", 15 bytes)
  bool written;                         // the typed text is on disk afterwards
  bool left;                            // the ROM (or the window) was left
};

class UnappliedEdits : public EditorTest, public ::testing::WithParamInterface<UnappliedCase> {};

TEST_P(UnappliedEdits, AreAskedAboutBeforeTheyAreDropped) {
  const UnappliedCase& c = GetParam();
  SCOPED_TRACE(Name(c.leave));
  TempFile& file = OpenStandard();
  std::unique_ptr<TempFile> other = StandardRom().Save();
  const std::vector<uint8_t> before = file.ReadAll();
  view.ClickRow(window, 2);
  if (c.answer) {
    view.Type(window, c.typed);
    view.changesAnswers.push_back(*c.answer);
  }

  bool leftWindow = false;
  switch (c.leave) {
    case Leave::ExitCommand:
      window.OnCommand(CommandId::Exit);
      leftWindow = view.closeWindowCalls == 1;
      break;
    case Leave::CloseBox:
      leftWindow = window.OnCloseRequest();
      break;
    case Leave::CloseCommand:
      window.OnCommand(CommandId::Close);
      break;
    case Leave::OpenAnother:
      view.PickRom(other->Path());
      window.OnCommand(CommandId::Open);
      break;
    case Leave::RunInEmulator:
      window.OnCommand(CommandId::RunInEmulator);
      break;
  }

  const std::vector<std::string> asked =
      c.answer ? std::vector<std::string>{"Unapplied Changes: Apply the changes to line 3?"}
               : std::vector<std::string>{};
  EXPECT_EQ(view.changesQuestions, asked);
  std::vector<uint8_t> expected = before;
  if (c.written) {
    const std::vector<uint8_t> bytes = TextEncoder(c.typed);
    std::copy(bytes.begin(), bytes.end(), expected.begin() + kS1);
  }
  EXPECT_EQ(file.ReadAll(), expected);

  switch (c.leave) {
    case Leave::ExitCommand:
    case Leave::CloseBox:
      EXPECT_EQ(leftWindow, c.left);
      EXPECT_EQ(window.IsRomOpen(), !(c.left && c.leave == Leave::ExitCommand));
      break;
    case Leave::CloseCommand:
      EXPECT_EQ(window.IsRomOpen(), !c.left);
      break;
    case Leave::OpenAnother:
      EXPECT_EQ(window.Rom().path, c.left ? other->Path() : file.Path());
      break;
    case Leave::RunInEmulator:
      // The emulator reads what the file holds once the question is settled.
      EXPECT_EQ(view.emulatorStarts, c.left ? std::vector<std::string>{file.Path()} : std::vector<std::string>{});
      break;
  }
  if (!c.left) {
    // Staying keeps the typed work in the box, on its row, still unapplied.
    EXPECT_EQ(view.editText, c.typed);
    EXPECT_EQ(view.selectionMark, 2);
    EXPECT_TRUE(window.HasUnappliedEdit());
  }
}

constexpr const char* kShort = "Hi.[13 02]";                    // fits the 15 bytes
constexpr const char* kLong = "Good morning to you all[10 1E 02]";  // refused by the guard

std::vector<UnappliedCase> Cases() {
  std::vector<UnappliedCase> cases;
  for (Leave leave :
       {Leave::ExitCommand, Leave::CloseBox, Leave::CloseCommand, Leave::OpenAnother, Leave::RunInEmulator}) {
    cases.push_back({leave, std::nullopt, "", false, true});
    cases.push_back({leave, ChangesAnswer::Apply, kShort, true, true});
    cases.push_back({leave, ChangesAnswer::Discard, kShort, false, true});
    cases.push_back({leave, ChangesAnswer::Cancel, kShort, false, false});
    // A refused apply has said why; the window stays as it is.
    cases.push_back({leave, ChangesAnswer::Apply, kLong, false, false});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, UnappliedEdits, ::testing::ValuesIn(Cases()));

TEST_F(EditorTest, RunInEmulatorWithoutARomStartsNothing) {
  window.OnCommand(CommandId::RunInEmulator);
  EXPECT_TRUE(view.emulatorStarts.empty());
  EXPECT_FALSE(window.RunInEmulator());
}

TEST_F(EditorTest, OpensThatDoNotHappenAskNothing) {
  TempFile& file = OpenStandard();
  view.ClickRow(window, 2);
  view.Type(window, kShort);
  view.changesAnswers.push_back(ChangesAnswer::Apply);

  window.OnCommand(CommandId::Open);  // the open-file dialog is cancelled
  SyntheticRom bad = StandardRom();
  bad.Title("NOT THE GAME");
  std::unique_ptr<TempFile> badFile = bad.Save();
  view.PickRom(badFile->Path());
  window.OnCommand(CommandId::Open);  // refused: not the game
  EXPECT_EQ(view.TakeMessages().size(), 1u);

  EXPECT_TRUE(view.changesQuestions.empty());
  EXPECT_EQ(window.Rom().path, file.Path());
  EXPECT_EQ(view.editText, kShort);
}

TEST_F(EditorTest, MovingOrApplyingLeavesNothingToAsk) {
  OpenStandard();
  view.ClickRow(window, 2);
  view.Type(window, kShort);
  EXPECT_TRUE(window.HasUnappliedEdit());
  view.PressApply(window);
  EXPECT_FALSE(window.HasUnappliedEdit());
  view.Type(window, "Changed again[02]");
  // Browsing to another row drops the edit, as it always has.
  view.ClickRow(window, 0);
  EXPECT_FALSE(window.HasUnappliedEdit());
  view.Type(window, "Changed again[02]");
  window.OnCommand(CommandId::DisplayCodesOnly);
  EXPECT_FALSE(window.HasUnappliedEdit());
  EXPECT_TRUE(view.changesQuestions.empty());
}

}  // namespace
}  // namespace lettermoor::test

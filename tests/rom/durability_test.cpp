// An edit the editor has made is on disk: every write to the ROM is synced before the operation
// that made it returns, so killing the program right after loses nothing. A refused edit writes
// nothing at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "editor/editor_window.h"
#include "rom/snes_address.h"
#include "support/fake_editor_view.h"
#include "support/synthetic_rom.h"
#include "support/syscall_trace.h"

namespace lettermoor::test {
namespace {

namespace text = editor_text;

constexpr int64_t kText = 0x51D12;             // "Hello[03 00 02]", listed by record 0 and plain pointer 0
constexpr int64_t kTail = kText + 8;           // "Bye[02]", listed by record 1
constexpr int64_t kNearEnd = 0x300200 - 4;     // two bytes of text and the file ends; record 2

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, int64_t offset, size_t n) {
  return {bytes.begin() + offset, bytes.begin() + offset + static_cast<int64_t>(n)};
}

SyntheticRom Image() {
  SyntheticRom rom;
  rom.Put(kText, Concat(ScriptText("Hello"), {0x03, 0x00, 0x02}));
  rom.Put(kTail, Concat(ScriptText("Bye"), {0x02}));
  rom.Put(kNearEnd, Concat(ScriptText("Hi"), {0x00, 0x02}));
  rom.PointerRecord(0, FileOffsetToSnes(kText), 5, 1);
  rom.PointerRecord(1, FileOffsetToSnes(kTail), 6, 2);
  rom.PointerRecord(2, FileOffsetToSnes(kNearEnd), 7, 3);
  rom.PlainPointer(0, FileOffsetToSnes(kText));
  return rom;
}

// Every write to the ROM file and whether a sync of the same descriptor followed it.
struct SyncLedger {
  std::string romPath;  // resolved
  std::set<int> unsynced;
  int writes = 0;

  void Note(const SyscallReturn& call) {
    const int fd = static_cast<int>(call.args[0]);
    if (IsWriteCall(call.nr) && call.result > 0 && DescriptorPath(call.pid, fd) == romPath) {
      unsynced.insert(fd);
      ++writes;
    } else if (IsSyncCall(call.nr) && call.result == 0) {
      unsynced.erase(fd);
    }
  }
};

class Durability : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = Image().Save();
    before_ = file_->ReadAll();
  }

  // Opens the ROM in an editor in a traced child, runs `operation` (which gives whether it went
  // as it should), and kills the child the moment the operation has returned.
  SyncLedger RunThenKill(const std::function<bool(EditorWindow&, FakeEditorView&)>& operation) {
    SyncLedger ledger;
    const std::string path = file_->Path();
    ledger.romPath = ResolvedPath(path);
    const TraceOutcome outcome = TraceChild(
        [&] {
          FakeEditorView view;
          EditorWindow window(view);
          window.Initialise();
          view.PickRom(path);
          window.OnCommand(CommandId::Open);
          if (!window.IsRomOpen()) ::_exit(3);
          if (!operation(window, view)) ::_exit(4);
          ::kill(::getpid(), SIGKILL);  // straight after the operation returns
        },
        [&](const SyscallReturn& call) {
          ledger.Note(call);
          return false;
        });
    if (!outcome.traced) {
      ADD_FAILURE() << "ptrace is not available";
      return ledger;
    }
    EXPECT_TRUE(WIFSIGNALED(outcome.status) && WTERMSIG(outcome.status) == SIGKILL)
        << "the child ended otherwise (exit " << (WIFEXITED(outcome.status) ? WEXITSTATUS(outcome.status) : -1)
        << "; 3: the ROM did not open, 4: the operation went wrong)";
    return ledger;
  }

  std::unique_ptr<TempFile> file_;
  std::vector<uint8_t> before_;
};

bool ApplyText(EditorWindow& window, FakeEditorView& view, int row, const std::string& text) {
  view.ClickRow(window, row);
  view.Type(window, text);
  view.PressApply(window);
  return view.messages.empty();
}

TEST_F(Durability, AnAppliedEditIsSyncedAndSurvivesAKill) {
  const SyncLedger ledger = RunThenKill(
      [](EditorWindow& window, FakeEditorView& view) { return ApplyText(window, view, 0, "Howdy[03 00 02]"); });
  EXPECT_GT(ledger.writes, 0);
  EXPECT_TRUE(ledger.unsynced.empty()) << "a write was not synced before Apply returned";
  std::vector<uint8_t> expected = before_;
  const auto howdy = Concat(ScriptText("Howdy"), {0x03, 0x00, 0x02});
  std::copy(howdy.begin(), howdy.end(), expected.begin() + kText);
  EXPECT_EQ(file_->ReadAll(), expected);
}

TEST_F(Durability, PointerEditsAreSyncedAndSurviveAKill) {
  const SyncLedger ledger = RunThenKill([](EditorWindow& window, FakeEditorView& view) {
    view.onPointerEntryEditor = [](PointerEntryForm& form) {
      form.addressText = "C51B1A";  // kTail
      form.spriteNumber = 0x1C8;
      form.movementNumber = 9;
      return true;
    };
    view.DoubleClickRow(window, 0);  // record 0
    view.onPointerEntryEditor = [](PointerEntryForm& form) {
      form.addressText = "C51B1A";
      return true;
    };
    view.DoubleClickRow(window, 3);  // the plain pointer
    return view.messages.empty() && view.pointerEditorForms.size() == 2;
  });
  EXPECT_GE(ledger.writes, 2);
  EXPECT_TRUE(ledger.unsynced.empty()) << "a pointer write was not synced before the edit returned";

  const auto bytes = file_->ReadAll();
  const int64_t record = SyntheticRom::RecordOffset(0);
  EXPECT_EQ(Slice(bytes, record + 5, 2), (std::vector<uint8_t>{0xC8, 0x01}));
  EXPECT_EQ(bytes[record + 8], 9);
  EXPECT_EQ(Slice(bytes, record + 13, 4), (std::vector<uint8_t>{0x1A, 0x1B, 0xC5, 0x00}));
  EXPECT_EQ(Slice(bytes, SyntheticRom::PlainPointerOffset(0), 4), (std::vector<uint8_t>{0x1A, 0x1B, 0xC5, 0x00}));
}

TEST_F(Durability, AnExpansionIsSyncedAndSurvivesAKill) {
  const SyncLedger ledger = RunThenKill([](EditorWindow& window, FakeEditorView& view) {
    window.OnCommand(CommandId::ExpandRom);
    return view.messages.size() == 1 && view.messages[0].text == text::kExpanded;
  });
  EXPECT_GT(ledger.writes, 0);
  EXPECT_TRUE(ledger.unsynced.empty()) << "the new blocks were not synced before Expand returned";
  const auto bytes = file_->ReadAll();
  ASSERT_EQ(bytes.size(), 0x400200u);
  EXPECT_TRUE(std::equal(before_.begin(), before_.end(), bytes.begin()));
  EXPECT_EQ(bytes[0x400200 - 1], 0x02);
  EXPECT_EQ(bytes[0x300200 + 255], 0x02);
}

TEST_F(Durability, RefusedEditsWriteNothingAtAll) {
  struct Case {
    const char* what;
    int row;
    const char* text;
    const char* message;
  };
  for (const Case& c : {Case{"bracket error", 0, "Howdy[03 00 02", text::kBracketError},
                        Case{"larger than the old text", 0, "Hello there[03 00 02]", text::kTooLarge},
                        Case{"past the end of the file", 2, "Hi[00 00 02]", nullptr}}) {
    SCOPED_TRACE(c.what);
    const SyncLedger ledger = RunThenKill([&](EditorWindow& window, FakeEditorView& view) {
      if (!c.message) window.OnCommand(CommandId::PreventOverwrites);  // only the file's end refuses
      ApplyText(window, view, c.row, c.text);
      const char* expected = c.message ? c.message : text::kPastEndOfFile;
      return view.messages.size() == 1 && view.messages[0].text == expected &&
             view.messages[0].caption == text::kPreWriteCaption;
    });
    EXPECT_EQ(ledger.writes, 0);
    EXPECT_EQ(file_->ReadAll(), before_);
  }
}

}  // namespace
}  // namespace lettermoor::test

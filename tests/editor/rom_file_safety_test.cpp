// The window's side of ROM file safety: what it says and offers when the file went away, dumps
// that would overwrite the ROM, and two programs editing one ROM at once.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "editor/editor_fixture.h"
#include "support/child_process.h"

namespace lettermoor::test {
namespace {

using namespace layout;
namespace text = editor_text;

// An edit made after another program replaced or deleted the ROM used to be shown as done while
// the file at the path never changed. Nothing is written now; the window says so and offers to
// open the file that is at the path now.
TEST_F(EditorTest, AnEditToAFileThatWasReplacedIsRefusedAndTheNewFileCanBeOpened) {
  TempFile& file = OpenStandard();
  const std::string path = file.Path();
  const std::vector<uint8_t> original = file.ReadAll();
  const std::string copy = path + ".new";
  ASSERT_TRUE(WriteBytesTo(copy, original));
  ASSERT_EQ(::rename(copy.c_str(), path.c_str()), 0);  // cp s.smc new.smc && mv new.smc gui.smc

  view.ClickRow(window, 0);
  view.Type(window, "Howdy[03 00 02]");
  view.answers.push_back(true);  // yes, open it again
  EXPECT_EQ(view.PressApply(window), ApplyResult::FileReplaced);
  auto said = view.TakeMessages();
  ASSERT_EQ(said.size(), 1u);
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_NE(view.questions[0].text.find(path), std::string::npos);
  EXPECT_EQ(file.ReadAll(), original);

  // The file now at the path is open, and edits reach it.
  ASSERT_TRUE(window.IsRomOpen());
  EXPECT_TRUE(window.Rom().handle->PathStillNamesFile());
  view.ClickRow(window, 0);
  view.Type(window, "Howdy[03 00 02]");
  EXPECT_EQ(view.PressApply(window), ApplyResult::Written);
  EXPECT_TRUE(view.TakeMessages().empty());
  EXPECT_EQ(Slice(file.ReadAll(), kS0, 5), ScriptText("Howdy"));
}

// A ROM named like the dump, in the folder the dump goes to, used to be emptied and filled with
// its own text.
TEST_F(EditorTest, TheDumpNeverOverwritesTheRom) {
  TempDir dir;
  ScopedWorkingDirectory cwd(dir.Path());
  const std::vector<uint8_t> rom = StandardRom().Bytes();
  ASSERT_TRUE(WriteBytesTo(dir.File("ptrlist.txt"), rom));
  ASSERT_TRUE(WriteBytesTo(dir.File("other.smc"), rom));
  ASSERT_EQ(::link(dir.File("other.smc").c_str(), dir.File("rawlist.txt").c_str()), 0);

  view.PickRom(dir.File("ptrlist.txt"));
  window.OnCommand(CommandId::Open);
  ASSERT_TRUE(window.IsRomOpen());
  EXPECT_EQ(window.DumpToTextFile().outcome, DumpResult::Outcome::IsTheRom);
  auto said = view.TakeMessages();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].caption, text::kDumpFailedCaption);
  EXPECT_EQ(ReadBytesOf(dir.File("ptrlist.txt")), rom);

  // The same ROM by a hard link under the raw listing's dump name.
  view.PickRom(dir.File("other.smc"));
  window.OnCommand(CommandId::Open);
  window.OnCommand(CommandId::RawTextListing);
  view.TakeMessages();
  EXPECT_EQ(window.DumpToTextFile().outcome, DumpResult::Outcome::IsTheRom);
  said = view.TakeMessages();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].caption, text::kDumpFailedCaption);
  EXPECT_EQ(ReadBytesOf(dir.File("other.smc")), rom);

  // Another listing's dump goes through as ever.
  window.OnCommand(CommandId::PointerTableListing);
  EXPECT_TRUE(window.DumpToTextFile().Written());
  said = view.TakeMessages();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].caption, text::kDumpedCaption);
}

// Two programs apply edits to different strings of one ROM and expand it, all at once. Each
// reports the last text it wrote; the file must end exactly one expansion long, with each string
// holding the last text its program reported.
TEST(ConcurrentEditors, TwoProcessesEditingAndExpandingOneRomNeverLoseAWrite) {
  auto file = StandardRom().Save();
  const std::string path = file->Path();
  TempDir reports;
  constexpr int kApplies = 60;
  struct Writer {
    int row;
    const char* tag;
    const char* codes;  // the string's own codes, kept so that its size never grows
  };
  const Writer writers[] = {{0, "A", "[03 00 02]"}, {2, "B", "[10 1E 02]"}};

  std::vector<pid_t> children;
  for (const Writer& w : writers) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      FakeEditorView view;
      EditorWindow window(view);
      window.Initialise();
      window.OpenRomPath(path);
      if (!window.IsRomOpen()) ::_exit(2);
      std::string last;
      int failures = 0;
      for (int i = 0; i < kApplies; ++i) {
        if (i == kApplies / 3) window.ExpandRom();
        char text[32];
        std::snprintf(text, sizeof text, "%s%04d%s", w.tag, i, w.codes);
        view.ClickRow(window, w.row);
        view.Type(window, text);
        if (view.PressApply(window) == ApplyResult::Written) {
          last = text;
        } else {
          ++failures;
        }
      }
      std::ofstream(reports.File(w.tag)) << last << "\n" << failures << "\n";
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  EXPECT_EQ(file->ReadAll().size(), 0x400200u);
  FakeEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path);
  ASSERT_TRUE(window.IsRomOpen());
  for (const Writer& w : writers) {
    SCOPED_TRACE(w.tag);
    std::ifstream in(reports.File(w.tag));
    std::string last, failures;
    std::getline(in, last);
    std::getline(in, failures);
    EXPECT_EQ(failures, "0");
    EXPECT_EQ(window.DecodeEntry(w.row), last);
  }
  // The strings nobody edited are untouched.
  EXPECT_EQ(window.DecodeEntry(1), kText3);
  EXPECT_EQ(window.DecodeEntry(4), kText2);
}

// A Hold is what keeps every other Lettermoor process out between reading a text's address and
// writing it. Refreshing under it after another program's change took the lock shared and then
// let it go, so that the write that followed came in unlocked.
TEST_F(EditorTest, ARefreshUnderAHoldKeepsTheLock) {
  TempFile& file = OpenStandard();
  RomFile& rom = *window.Rom().handle;
  {
    std::unique_ptr<RomFile> other = OpenForTest(file.Path());
    const uint8_t byte = 0x41;
    ASSERT_TRUE(other->Write(kS0, std::span<const uint8_t>(&byte, 1)).Ok());
  }
  const int probe = ::open(file.Path().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  {
    RomFile::Hold hold(rom);
    ASSERT_TRUE(hold.Held());
    rom.Refresh();
    EXPECT_EQ(rom.ReadByte(kS0), 0x41);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0) << "the lock was let go";
  }
  EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
  ::close(probe);
}

}  // namespace
}  // namespace lettermoor::test

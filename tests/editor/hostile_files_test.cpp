// Files that are not ROMs, ROMs that change under the editor, and a disk that runs out of room:
// the editor must never crash, hang or damage a file, and must not claim an edit it did not make.

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <random>

#include "codec/text_encoder.h"
#include "editor/editor_fixture.h"
#include "support/child_process.h"

namespace lettermoor::test {
namespace {

using namespace layout;
namespace text = editor_text;

// Ends the test process if an open blocks (a FIFO waiting for a writer): a hang becomes a
// failure instead of a stuck test run.
class HangGuard {
 public:
  HangGuard() { ::alarm(20); }
  ~HangGuard() { ::alarm(0); }
};

void ExpectRomStillOpen(const EditorWindow& window, const FakeEditorView& view,
                        const FakeEditorView& before, const std::string& path) {
  EXPECT_TRUE(window.IsRomOpen());
  EXPECT_EQ(window.Rom().path, path);
  EXPECT_EQ(view.title, text::kTitleRomOpen);
  EXPECT_EQ(view.rows, before.rows);
  EXPECT_EQ(view.editText, before.editText);
  EXPECT_EQ(view.menuEnabled, before.menuEnabled);
}

// Exactly one box, with `caption`, was shown since the last look.
void ExpectOnlyBox(FakeEditorView& view, const std::string& caption) {
  const auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, caption);
}

void ExpectOnly(FakeEditorView& view, const std::string& body, const std::string& caption) {
  const auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, body);
  EXPECT_EQ(shown[0].caption, caption);
}

void Truncate(const TempFile& file, off_t size) { ASSERT_EQ(::truncate(file.Path().c_str(), size), 0); }

TEST_F(EditorTest, FilesThatAreNotRegularAreIgnoredSilently) {
  TempFile& rom = OpenStandard();
  view.ClickRow(window, 2);
  const FakeEditorView before = view;

  TempDir dir;
  const std::string fifo = dir.File("pipe.smc");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = dir.File("link.smc");
  ASSERT_EQ(::symlink(dir.Path().c_str(), link.c_str()), 0);

  HangGuard guard;
  for (const std::string& path : {fifo, dir.Path(), link, std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    view.PickRom(path);
    window.OnCommand(CommandId::Open);
    EXPECT_TRUE(view.messages.empty());
    ExpectRomStillOpen(window, view, before, rom.Path());
  }

  // The same without a ROM open: nothing opens, nothing is said.
  window.OnCommand(CommandId::Close);
  for (const std::string& path : {fifo, dir.Path(), std::string("/dev/null")}) {
    view.PickRom(path);
    window.OnCommand(CommandId::Open);
    EXPECT_FALSE(window.IsRomOpen());
    EXPECT_EQ(view.title, text::kTitleNoRom);
    EXPECT_TRUE(view.messages.empty());
  }
}

// A master copy kept without write permission used to be ignored. It opens read-only now, says so
// in the title and grays what writes; a file that cannot even be read is still ignored silently.
TEST_F(EditorTest, ReadOnlyFilesOpenForViewingOnly) {
  auto file = StandardRom().Save();
  auto unreadable = StandardRom().Save();
  ASSERT_EQ(::chmod(file->Path().c_str(), 0444), 0);
  ASSERT_EQ(::chmod(unreadable->Path().c_str(), 0), 0);
  const auto bytes = file->ReadAll();
  const std::string path = file->Path();

  // Root may write any file, so the open is tried as an unprivileged user in a child process.
  const int status = InChild([&] {
    if (!DropToUnprivilegedUser()) return 3;
    if (::access(path.c_str(), R_OK) != 0) return 77;  // cannot even read it: proves nothing
    if (::access(path.c_str(), W_OK) == 0) return 4;
    FakeEditorView childView;
    EditorWindow childWindow(childView);
    childWindow.Initialise();
    childView.PickRom(unreadable->Path());
    childWindow.OnCommand(CommandId::Open);
    if (childWindow.IsRomOpen() || !childView.messages.empty()) return 5;
    childView.PickRom(path);
    childWindow.OnCommand(CommandId::Open);
    if (!childWindow.IsRomOpen() || childView.RowCount() != layout::kPointerRows) return 1;
    if (!childView.messages.empty() || childView.title != text::kTitleRomOpenReadOnly) return 2;
    childView.ClickRow(childWindow, 0);  // a record with a sprite and a movement
    if (childView.applyEnabled || childView.IsEnabled(CommandId::ExpandRom) ||
        childView.IsEnabled(CommandId::EditTptEntry) || !childView.IsEnabled(CommandId::DumpToTextFile)) {
      return 6;
    }
    // Asked anyway, the logic writes nothing and says why.
    childView.editText = "Hi[02]";
    if (childView.PressApply(childWindow) != ApplyResult::ReadOnly) return 9;
    if (childWindow.ExpandRom() != GrowResult::ReadOnly) return 10;
    if (childView.messages.size() != 2) return 7;  // one box for each refusal
    childWindow.CloseRom();
    return childView.title == text::kTitleNoRom && childView.applyEnabled ? 0 : 8;
  });
  if (status == 77) GTEST_SKIP() << "the unprivileged user cannot read " << path;
  EXPECT_EQ(status, 0) << "1: not opened, 2: wrong title or a message, 3: could not drop root, 4: still "
                          "writable, 5: unreadable file opened, 6: a writing command left on, 7: not "
                          "refused, 8: close left the read-only state, 9 and 10: the wrong result";
  EXPECT_EQ(file->ReadAll(), bytes);
}

TEST_F(EditorTest, FilesTooShortForTheTitleAreRefusedAndLeftAlone) {
  TempFile& rom = OpenStandard();
  const FakeEditorView before = view;

  const SyntheticRom full(0x101CF);
  struct Case {
    const char* what;
    size_t size;
  };
  for (const Case& c : {Case{"empty", 0}, Case{"one byte", 1}, Case{"ends before the title", 0x101C0},
                        Case{"ends inside the title", 0x101C0 + 7}, Case{"one title byte short", 0x101CE}}) {
    SCOPED_TRACE(c.what);
    SyntheticRom image = full;
    image.Bytes().resize(c.size);
    auto file = image.Save();
    OpenFile(*file);
    ExpectOnly(view, text::kBadRom, text::kBadRomCaption);
    ExpectRomStillOpen(window, view, before, rom.Path());
    EXPECT_EQ(file->ReadAll(), image.Bytes());
  }
}

TEST_F(EditorTest, AFileHoldingOnlyTheTitleOpensAndTakesNoEdit) {
  TempFile& file = Open(SyntheticRom(0x101CF));  // every other byte reads as 0xFF
  const auto bytes = file.ReadAll();
  ASSERT_TRUE(window.IsRomOpen());
  EXPECT_TRUE(view.messages.empty());
  EXPECT_TRUE(view.IsEnabled(CommandId::ExpandRom));

  // No pointer leads into the text window: an empty list, and nothing to apply to.
  EXPECT_EQ(view.RowCount(), 0);
  view.Type(window, "Hello[02]");
  view.PressApply(window);
  EXPECT_TRUE(view.messages.empty());

  // The raw listing walks strings of 0xFF codes, 4000 bytes each, all past the end.
  window.OnCommand(CommandId::RawTextListing);
  ASSERT_GT(view.RowCount(), 0);
  EXPECT_LE(view.RowCount(), TextEntryTable::kCapacity);
  view.ClickRow(window, view.RowCount() - 1);
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 4000");
  EXPECT_EQ(view.editText.substr(0, 9), "[FF FF FF");
  view.Type(window, "Hello[02]");
  EXPECT_EQ(view.PressApply(window), ApplyResult::PastEndOfFile);
  ExpectOnlyBox(view, text::kPreWriteCaption);
  window.OnCommand(CommandId::DisplayCodesOnly);
  EXPECT_EQ(view.editText.size(), 3u * 4000 + 1);
  EXPECT_EQ(file.ReadAll(), bytes);
}

TEST_F(EditorTest, A64MegabyteFileOpensListsAndTakesEdits) {
  constexpr off_t kSize = off_t{64} << 20;
  constexpr off_t kFar = off_t{20} << 20;  // past the in-memory mirror
  auto file = StandardRom().Save();
  Truncate(*file, kSize);  // sparse: the rest reads as zeros
  {
    const int fd = ::open(file->Path().c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const uint8_t marker = 0x5A;
    ASSERT_EQ(::pwrite(fd, &marker, 1, kFar), 1);
    ::close(fd);
  }

  OpenFile(*file);
  ASSERT_TRUE(window.IsRomOpen());
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.RowCount(), kPointerRows);
  EXPECT_TRUE(view.IsEnabled(CommandId::ExpandedRomListing));
  EXPECT_FALSE(view.IsEnabled(CommandId::ExpandRom));

  RomFile& rom = *window.Rom().handle;
  EXPECT_EQ(rom.Size(), kSize);
  EXPECT_EQ(rom.MirrorSize(), RomFile::kMirrorLimit);
  EXPECT_EQ(rom.ReadByte(kFar), 0x5A);  // read on demand
  EXPECT_EQ(rom.ReadByte(kSize), 0xFF);
  const uint8_t farBytes[] = {0x11, 0x22};
  ASSERT_TRUE(rom.Write(kFar + 1, farBytes));
  EXPECT_EQ(rom.ReadByte(kFar + 2), 0x22);

  view.ClickRow(window, 0);
  view.Type(window, "Howdy there[03 00 02]");
  view.PressApply(window);
  EXPECT_TRUE(view.messages.empty());

  window.OnCommand(CommandId::ExpandedRomListing);
  EXPECT_GT(view.RowCount(), 0);
  window.OnCommand(CommandId::RawTextListing);
  EXPECT_GT(view.RowCount(), 0);
  EXPECT_TRUE(view.messages.empty());

  struct stat st {};
  ASSERT_EQ(::stat(file->Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_size, kSize);
  const auto bytes = file->ReadAll();
  EXPECT_EQ(Slice(bytes, kS0, 11), ScriptText("Howdy there"));
  EXPECT_EQ(Slice(bytes, kFar, 3), (std::vector<uint8_t>{0x5A, 0x11, 0x22}));
}

TEST_F(EditorTest, ARomTruncatedWhileOpenIsReadAsFFAndNeverWrittenPastItsEnd) {
  TempFile& file = OpenStandard();
  window.OnCommand(CommandId::PreventOverwrites);  // guard off: only the end of the file stops a write
  // Another program cuts the file inside S1: S0 still fits, S1 straddles the end, S2 and S3 and
  // every pointer record are gone.
  const off_t end = static_cast<off_t>(kS1 + 6);
  Truncate(file, end);
  auto bytes = file.ReadAll();

  const int rowS0 = 0, rowS1 = 2, rowS2 = 4;
  view.ClickRow(window, rowS2);
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 4000");
  view.Type(window, "My friend[02]");
  EXPECT_EQ(view.PressApply(window), ApplyResult::PastEndOfFile);
  ExpectOnlyBox(view, text::kPreWriteCaption);

  view.ClickRow(window, rowS1);
  EXPECT_EQ(view.editText.substr(0, 10), "Good m[FF ");
  view.Type(window, "Good evening[10 1E 02]");
  EXPECT_EQ(view.PressApply(window), ApplyResult::PastEndOfFile);
  ExpectOnlyBox(view, text::kPreWriteCaption);
  EXPECT_EQ(file.ReadAll(), bytes);

  // What still lies inside the file takes edits.
  view.ClickRow(window, rowS0);
  view.Type(window, "Howdy there[03 00 02]");
  view.PressApply(window);
  EXPECT_TRUE(view.messages.empty());
  bytes = file.ReadAll();
  ASSERT_EQ(bytes.size(), static_cast<size_t>(end));
  EXPECT_EQ(Slice(bytes, kS0, 14), Concat(ScriptText("Howdy there"), {0x03, 0x00, 0x02}));

  // The pointer editor's record lies past the end now: nothing is written, the entry stays.
  const TextEntry entry = window.Table().entries[rowS0];
  view.onPointerEntryEditor = [](PointerEntryForm& form) {
    form.addressText = "C51B20";
    form.spriteNumber = 9;
    form.movementNumber = 9;
    return true;
  };
  view.DoubleClickRow(window, rowS0);
  EXPECT_EQ(view.pointerEditorForms.size(), 1u);
  EXPECT_EQ(window.Table().entries[rowS0], entry);
  EXPECT_EQ(file.ReadAll(), bytes);

  // Search, dump and rebuilding the list run over what is left.
  EXPECT_FALSE(view.PressFind(window, "no such text"));
  view.TakeMessages();
  std::FILE* dump = std::tmpfile();
  ASSERT_NE(dump, nullptr);
  EXPECT_TRUE(window.WriteDump(dump));
  std::fclose(dump);
  window.OnCommand(CommandId::RawTextListing);
  EXPECT_GT(view.RowCount(), 0);
  window.OnCommand(CommandId::PointerTableListing);
  EXPECT_EQ(view.RowCount(), 0);  // the records are gone

  // Cut to nothing: every byte reads as 0xFF.
  Truncate(file, 0);
  window.OnCommand(CommandId::RawTextListing);
  ASSERT_GT(view.RowCount(), 0);
  view.ClickRow(window, 0);
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 4000");
  view.Type(window, "[02]");
  EXPECT_EQ(view.PressApply(window), ApplyResult::PastEndOfFile);
  ExpectOnlyBox(view, text::kPreWriteCaption);
  EXPECT_TRUE(file.ReadAll().empty());
}

TEST_F(EditorTest, APointerRecordCutByTheEndOfTheFileIsNotHalfWritten) {
  TempFile& file = OpenStandard();
  // The file now ends inside record 0, after its sprite and movement but before its pointer.
  Truncate(file, static_cast<off_t>(SyntheticRom::RecordOffset(0) + 10));
  const auto bytes = file.ReadAll();
  const TextEntry entry = window.Table().entries[0];

  view.onPointerEntryEditor = [](PointerEntryForm& form) {
    form.addressText = "C51B20";
    form.spriteNumber = 9;
    form.movementNumber = 9;
    return true;
  };
  view.DoubleClickRow(window, 0);
  ASSERT_EQ(view.pointerEditorForms.size(), 1u);
  EXPECT_EQ(file.ReadAll(), bytes);
  EXPECT_EQ(window.Table().entries[0], entry);
}

TEST_F(EditorTest, AGarbageRomWithAGoodTitleSurvivesEveryCommand) {
  SyntheticRom image;
  std::mt19937 random(20240611);
  for (uint8_t& b : image.Bytes()) b = static_cast<uint8_t>(random());
  image.Title("EARTH BOUND (J)");
  // Half the records lead somewhere into the script area, so the pointer listing has rows.
  std::uniform_int_distribution<int64_t> anywhere(0x51D12, SyntheticRom::kStandardSize - 1);
  for (int i = 0; i < 1406; i += 2) {
    image.PointerRecord(i, FileOffsetToSnes(static_cast<int32_t>(anywhere(random))), 1, 1);
  }
  TempFile& file = Open(image);
  ASSERT_TRUE(window.IsRomOpen());

  auto exercise = [&](const char* listing) {
    SCOPED_TRACE(listing);
    ASSERT_GT(view.RowCount(), 0);
    for (int row : {0, view.RowCount() / 2, view.RowCount() - 1}) {
      view.ClickRow(window, row);
      const std::string shown = view.editText;
      window.OnCommand(CommandId::DisplayCodesOnly);
      window.OnCommand(CommandId::DisplayTextAndCodes);
      EXPECT_EQ(view.editText, shown);
      // Writing the shown text back: refused or written, but never written wrongly.
      view.Type(window, shown);  // cut at 4000 characters, as the edit box does
      const std::string typed = view.editText;
      view.PressApply(window);
      const auto said = view.TakeMessages();
      const int64_t offset = SnesToFileOffset(window.Table().entries[static_cast<size_t>(row)].textAddress);
      if (said.empty()) {
        const std::vector<uint8_t> encoded = TextEncoder(typed);
        EXPECT_EQ(Slice(file.ReadAll(), offset, encoded.size()), encoded);
      } else {
        EXPECT_EQ(said[0].caption, text::kPreWriteCaption);
      }
    }
    EXPECT_FALSE(view.PressFind(window, "no such text in random bytes"));
    view.TakeMessages();
    std::FILE* dump = std::tmpfile();
    ASSERT_NE(dump, nullptr);
    EXPECT_TRUE(window.WriteDump(dump));
    std::fclose(dump);
  };

  exercise("pointer table");
  window.OnCommand(CommandId::RawTextListing);
  view.TakeMessages();  // the listing may have been cut at 8000 entries
  exercise("raw text");
  window.OnCommand(CommandId::ExpandRom);
  ExpectOnly(view, text::kExpanded, text::kExpandedCaption);
  window.OnCommand(CommandId::ExpandedRomListing);
  EXPECT_EQ(view.RowCount(), 4095);
  exercise("expanded");
  EXPECT_EQ(file.ReadAll().size(), 0x400200u);
}

TEST_F(EditorTest, AnExpansionThatRunsOutOfRoomLeavesTheFileAsItWas) {
  auto file = StandardRom().Save();
  const auto bytes = file->ReadAll();
  const std::string path = file->Path();

  // The child may grow files only a little past the ROM's size, as on a nearly full disk.
  const int status = InChild([&] {
    const rlimit limit{SyntheticRom::kStandardSize + 0x8000, SyntheticRom::kStandardSize + 0x8000};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing us
    FakeEditorView childView;
    EditorWindow childWindow(childView);
    childWindow.Initialise();
    childView.PickRom(path);
    childWindow.OnCommand(CommandId::Open);
    if (!childWindow.IsRomOpen()) return 4;
    if (childWindow.ExpandRom() != GrowResult::Failed || childView.messages.size() != 1) return 1;
    if (!childWindow.IsRomOpen() || !childView.IsEnabled(CommandId::ExpandRom)) return 2;
    return 0;
  });
  EXPECT_EQ(status, 0) << "1: not refused as failed or not one message, 2: ROM closed or Expand grayed, 3/4: setup";
  EXPECT_EQ(file->ReadAll(), bytes) << "the failed expansion left part of its blocks behind";
}

}  // namespace
}  // namespace lettermoor::test

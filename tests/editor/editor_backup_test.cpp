// The copy of the ROM kept beside it before the first write of an opening, and putting it back.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>

#include "editor/editor_window.h"
#include "editor_fixture.h"
#include "rom/rollback_journal.h"
#include "rom/rom_image.h"
#include "script/script_import.h"
#include "support/reference_scenario.h"

namespace lettermoor::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> ReadLines(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytesOf(path);
  std::vector<std::string> lines;
  std::string line;
  for (uint8_t b : bytes) {
    if (b == '\n') {
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line.push_back(static_cast<char>(b));
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string Bak(const TempFile& file) { return file.Path() + ".bak"; }

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// One write of each kind the window makes, on the reference scenario's expanded ROM (whose
// pointer listing has a text the move can take). Each gives whether it reported success.
struct WritePath {
  const char* name;
  std::function<bool(EditorWindow&, FakeEditorView&)> write;
};

const std::vector<WritePath>& WritePaths() {
  static const std::vector<WritePath> paths = {
      {"apply",
       [](EditorWindow& window, FakeEditorView& view) {
         view.ClickRow(window, 2);
         view.Type(window, "Hi[03 02]");
         return view.PressApply(window) == ApplyResult::Written;
       }},
      {"pointer edit",
       [](EditorWindow& window, FakeEditorView& view) {
         view.onPointerEntryEditor = [](PointerEntryForm& form) {
           form.addressText = "C60000";
           return true;
         };
         view.ClickRow(window, 0);
         const PointerEditResult result = window.EditTextPointerEntry(0);
         return result == PointerEditResult::Moved || result == PointerEditResult::Written;
       }},
      {"move to free space",
       [](EditorWindow& window, FakeEditorView& view) {
         view.ClickRow(window, 2);
         return window.MoveToFreeSpace(2, "A line far too long for the old place[03 02]");
       }},
      {"script import",
       [](EditorWindow& window, FakeEditorView& view) {
         static TempDir dir;
         view.scriptPath = dir.File("script.txt");
         if (!window.ExportScriptFile()) return false;
         view.messages.clear();  // "Exported ..."
         // The first text that starts with a letter loses that letter.
         std::string script;
         bool edited = false;
         for (const std::string& line : ReadLines(view.scriptPath)) {
           const bool text = !line.empty() && std::isalpha(static_cast<unsigned char>(line[0]));
           script += (text && !edited ? line.substr(1) : line) + "\n";
           edited = edited || text;
         }
         if (!edited || !WriteBytesTo(view.scriptPath, std::vector<uint8_t>(script.begin(), script.end()))) {
           return false;
         }
         const std::optional<ImportResult> result = window.ImportScriptFile();
         return result && result->status == ImportStatus::Done && !result->changes.empty();
       }},
      {"expand",
       [](EditorWindow& window, FakeEditorView&) {
         const GrowResult result = window.ExpandRom();
         return result == GrowResult::Grown;
       }},
  };
  return paths;
}

// The expand path needs a ROM that is not expanded yet; the others the expanded scenario.
SyntheticRom ImageFor(const WritePath& path) { return ReferenceScenario::Image(std::string(path.name) != "expand"); }

class EditorBackup : public EditorTest {};

TEST_F(EditorBackup, EveryWritePathKeepsTheRomAsOpenedOncePerOpening) {
  for (const WritePath& path : WritePaths()) {
    SCOPED_TRACE(path.name);
    TempFile& file = Open(ImageFor(path));
    const std::vector<uint8_t> opened = file.ReadAll();
    EXPECT_FALSE(view.IsEnabled(CommandId::RevertToBackup)) << "no backup yet";
    ASSERT_TRUE(path.write(window, view)) << (view.messages.empty() ? "" : view.messages.back().text);
    view.TakeMessages();
    ASSERT_NE(file.ReadAll(), opened);
    EXPECT_EQ(ReadBytesOf(Bak(file)), opened);
    EXPECT_TRUE(view.IsEnabled(CommandId::RevertToBackup));
    const ino_t first = InodeOf(Bak(file));

    // Several more writes of every kind: the copy is still the ROM as it was opened, the very
    // same file (it was not written again).
    for (int i = 0; i < 3; ++i) {
      view.ClickRow(window, 1);
      view.Type(window, "Again " + std::to_string(i) + "[02]");
      window.TogglePreventOverwrites();
      EXPECT_EQ(view.PressApply(window), ApplyResult::Written);
      window.TogglePreventOverwrites();
    }
    EXPECT_EQ(ReadBytesOf(Bak(file)), opened);
    EXPECT_EQ(InodeOf(Bak(file)), first);

    // A new opening keeps the ROM as it is then, at its first write.
    const std::vector<uint8_t> reopened = file.ReadAll();
    OpenFile(file);
    ASSERT_TRUE(window.IsRomOpen());
    EXPECT_EQ(ReadBytesOf(Bak(file)), opened) << "opening alone writes nothing";
    view.ClickRow(window, 1);
    view.Type(window, "Third[02]");
    window.TogglePreventOverwrites();
    EXPECT_EQ(view.PressApply(window), ApplyResult::Written);
    window.TogglePreventOverwrites();
    EXPECT_EQ(ReadBytesOf(Bak(file)), reopened);
    window.OnCommand(CommandId::Close);
  }
}

// Ways the copy's place can be unusable. Root may write into any folder, so the read-only
// folder is tried only for other users.
struct BadPlace {
  const char* name;
  std::function<void(const TempFile& rom, const std::string& bak)> make;
  bool needsNonRoot = false;
};

TEST_F(EditorBackup, AFailedBackupWritesNothingOnAnyPathAndSaysSo) {
  TempDir missing;
  const BadPlace places[] = {
      {"a folder at the copy's path", [](const TempFile&, const std::string& bak) { fs::create_directory(bak); }},
  };
  for (const BadPlace& place : places) {
    for (const WritePath& path : WritePaths()) {
      SCOPED_TRACE(std::string(place.name) + ", " + path.name);
      TempFile& file = Open(ImageFor(path));
      place.make(file, Bak(file));
      const std::vector<uint8_t> opened = file.ReadAll();
      view.TakeMessages();
      EXPECT_FALSE(path.write(window, view));
      EXPECT_EQ(file.ReadAll(), opened) << "the ROM was written without its copy";
      const std::vector<FakeEditorView::Message> said = view.TakeMessages();
      ASSERT_EQ(said.size(), 1u);
      EXPECT_EQ(said[0].caption, editor_text::kBackupFailedCaption);
      EXPECT_NE(said[0].text.find(fs::path(Bak(file)).filename().string()), std::string::npos) << said[0].text;
      EXPECT_NE(said[0].text.find("Nothing was written"), std::string::npos);

      // Without a backup the same write goes through and leaves the bad place alone.
      window.OnCommand(CommandId::KeepBackup);
      EXPECT_FALSE(view.IsChecked(CommandId::KeepBackup));
      EXPECT_TRUE(path.write(window, view));
      EXPECT_NE(file.ReadAll(), opened);
      window.OnCommand(CommandId::KeepBackup);
      window.OnCommand(CommandId::Close);
      std::error_code ec;
      fs::remove(Bak(file), ec);
    }
  }
}

// A change whose rollback journal cannot be made (no room beside the ROM, here as the journal's
// first write failing) writes nothing on any path, and says so naming the journal; the pointer
// entry editor used to close without a word.
TEST_F(EditorBackup, AJournalThatCannotBeMadeWritesNothingOnAnyPathAndSaysSo) {
  struct NoRoom {
    NoRoom() { SetIoStepHook([] { return ENOSPC; }); }
    ~NoRoom() { SetIoStepHook(nullptr); }
  };
  window.SetKeepBackup(false);
  for (const WritePath& path : WritePaths()) {
    SCOPED_TRACE(path.name);
    TempFile& file = Open(ImageFor(path));
    const std::vector<uint8_t> opened = file.ReadAll();
    const std::string journal = "." + file.Name() + ".journal";
    view.TakeMessages();
    {
      NoRoom noRoom;
      EXPECT_FALSE(path.write(window, view));
    }
    EXPECT_EQ(file.ReadAll(), opened);
    EXPECT_FALSE(fs::exists(fs::path(file.Path()).parent_path() / journal));
    const std::vector<FakeEditorView::Message> said = view.TakeMessages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].caption, editor_text::kWriteFailedCaption);
    EXPECT_NE(said[0].text.find(journal), std::string::npos) << said[0].text;
    window.OnCommand(CommandId::Close);
  }
}

// A link at the copy's name is replaced by the copy, never written through: a link to the ROM
// used to empty the ROM, and a link elsewhere would write there.
TEST_F(EditorBackup, ALinkAtTheCopysNameIsReplacedByTheCopy) {
  TempDir missing;
  const BadPlace places[] = {
      {"a link to the ROM itself",
       [](const TempFile& rom, const std::string& bak) { fs::create_symlink(rom.Path(), bak); }},
      {"a link into a missing folder",
       [&](const TempFile&, const std::string& bak) { fs::create_symlink(missing.Path() + "/gone/x.bak", bak); }},
  };
  for (const BadPlace& place : places) {
    for (const WritePath& path : WritePaths()) {
      SCOPED_TRACE(std::string(place.name) + ", " + path.name);
      TempFile& file = Open(ImageFor(path));
      place.make(file, Bak(file));
      const std::vector<uint8_t> opened = file.ReadAll();
      view.TakeMessages();
      EXPECT_TRUE(path.write(window, view));
      EXPECT_NE(file.ReadAll(), opened);
      EXPECT_FALSE(fs::is_symlink(Bak(file)));
      EXPECT_EQ(ReadBytesOf(Bak(file)), opened);
      EXPECT_FALSE(fs::exists(missing.Path() + "/gone"));
      window.OnCommand(CommandId::Close);
      std::error_code ec;
      fs::remove(Bak(file), ec);
    }
  }
}

TEST_F(EditorBackup, AReadOnlyFolderFailsTheBackupAndTheWrite) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempDir dir;
  const std::string path = dir.File("rom.smc");
  ASSERT_TRUE(WriteBytesTo(path, StandardRom().Bytes()));
  fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  view.PickRom(path);
  window.OnCommand(CommandId::Open);
  view.ClickRow(window, 0);
  view.Type(window, "Hi[02]");
  EXPECT_EQ(view.PressApply(window), ApplyResult::BackupFailed);
  fs::permissions(dir.Path(), fs::perms::owner_all);
  EXPECT_EQ(ReadBytesOf(path), StandardRom().Bytes());
  EXPECT_FALSE(fs::exists(path + ".bak"));
}

TEST_F(EditorBackup, WithoutKeepABackupNoCopyIsMade) {
  EXPECT_TRUE(view.IsChecked(CommandId::KeepBackup));  // on at first
  window.SetKeepBackup(false);
  TempFile& file = OpenStandard();
  view.ClickRow(window, 0);
  view.Type(window, "Hi[02]");
  EXPECT_EQ(view.PressApply(window), ApplyResult::Written);
  EXPECT_FALSE(fs::exists(Bak(file)));
  EXPECT_FALSE(view.IsEnabled(CommandId::RevertToBackup));
}

TEST_F(EditorBackup, RevertPutsTheCopyBackByteForByteAndRefillsTheList) {
  for (bool headerless : {false, true}) {
    SCOPED_TRACE(headerless ? "headerless" : "headed");
    SyntheticRom image = StandardRom();
    if (headerless) image.Bytes().erase(image.Bytes().begin(), image.Bytes().begin() + 0x200);
    TempFile& file = Open(image);
    ASSERT_TRUE(window.IsRomOpen());
    const std::vector<uint8_t> opened = file.ReadAll();
    const std::vector<std::string> rows = view.rows;
    // Edits, then an expansion: the copy is from before all of them.
    view.ClickRow(window, 0);
    view.Type(window, "Howdy[02]");
    ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
    ASSERT_EQ(window.ExpandRom(), GrowResult::Grown);
    window.OnCommand(CommandId::ExpandedRomListing);
    view.TakeMessages();

    view.answers = {false};  // No: nothing happens
    EXPECT_EQ(window.RevertToBackup(), RevertResult::NotAsked);
    EXPECT_NE(file.ReadAll(), opened);

    view.selectionMark = 0;
    window.OnCommand(CommandId::PointerTableListing);
    view.ClickRow(window, 3);
    view.answers = {true};
    view.questions.clear();
    window.OnCommand(CommandId::RevertToBackup);
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0].caption, editor_text::kRevertCaption);
    EXPECT_EQ(file.ReadAll(), opened);
    EXPECT_EQ(view.rows, rows);
    EXPECT_EQ(view.SelectionMark(), 3);  // the marked row stays marked
    EXPECT_EQ(view.editText, layout::kText3);
    // The first row too.
    view.ClickRow(window, 0);
    view.Type(window, "Howdy[02]");
    ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
    view.answers = {true};
    window.OnCommand(CommandId::RevertToBackup);
    EXPECT_EQ(file.ReadAll(), opened);
    EXPECT_EQ(view.SelectionMark(), 0);
    EXPECT_EQ(view.editText, layout::kText0);
    EXPECT_FALSE(view.IsEnabled(CommandId::ExpandedRomListing));
    EXPECT_TRUE(view.IsEnabled(CommandId::ExpandRom));
    EXPECT_TRUE(view.TakeMessages().empty());
    // Still the same layout: a headerless file is never given a header.
    EXPECT_EQ(window.Rom().handle->IsHeaderless(), headerless);
    window.OnCommand(CommandId::Close);
  }
}

TEST_F(EditorBackup, RevertRefusesACopyThatIsNotARomOfTheOpenLayout) {
  const std::vector<uint8_t> good = StandardRom().Bytes();
  struct Case {
    const char* name;
    std::function<std::vector<uint8_t>()> copy;
  };
  const Case cases[] = {
      {"cut short", [&] { return std::vector<uint8_t>(good.begin(), good.end() - 0x1000); }},
      {"one byte more",
       [&] {
         std::vector<uint8_t> b = good;
         b.push_back(0);
         return b;
       }},
      {"no title",
       [&] {
         std::vector<uint8_t> b = good;
         b[kTitleOffset] = 'X';
         return b;
       }},
      {"headerless", [&] { return std::vector<uint8_t>(good.begin() + 0x200, good.end()); }},
      {"empty", [] { return std::vector<uint8_t>(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile& file = OpenStandard();
    view.ClickRow(window, 0);
    view.Type(window, "Howdy[02]");
    ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
    const std::vector<uint8_t> edited = file.ReadAll();
    ASSERT_TRUE(WriteBytesTo(Bak(file), c.copy()));
    view.TakeMessages();
    view.answers = {true};
    EXPECT_EQ(window.RevertToBackup(), RevertResult::BadBackup);
    EXPECT_EQ(file.ReadAll(), edited);
    const std::vector<FakeEditorView::Message> said = view.TakeMessages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].text.find("Nothing was changed"), std::string::npos);
    window.OnCommand(CommandId::Close);
  }
  // No copy at all: said, and the item grays.
  TempFile& file = OpenStandard();
  EXPECT_EQ(window.RevertToBackup(), RevertResult::NoBackup);
  EXPECT_FALSE(view.IsEnabled(CommandId::RevertToBackup));
  (void)file;
}

// Any writer through the ROM file gets the copy, without asking for it.
TEST(RomFileBackup, TheFirstChangeOfAnyKindKeepsTheFileAsItWasThen) {
  for (bool extendFirst : {false, true}) {
    std::unique_ptr<TempFile> file = StandardRom().Save();
    const std::vector<uint8_t> opened = file->ReadAll();
    std::unique_ptr<RomFile> rom = OpenRomFile(file->Path());
    ASSERT_TRUE(rom);
    rom->KeepBackupAt(file->Path() + ".bak");
    const uint8_t byte[] = {0x42};
    if (extendFirst) {
      ASSERT_TRUE(rom->Extend(0x300300, [](int64_t size) { return std::vector<uint8_t>(0x300300 - size, 0x07); }));
    }
    ASSERT_TRUE(rom->Write(0x51D12, byte));
    ASSERT_TRUE(rom->Write(0x51D13, byte));
    EXPECT_TRUE(rom->BackupMade());
    EXPECT_EQ(ReadBytesOf(file->Path() + ".bak"), opened) << extendFirst;
  }
}

TEST(RestorableRom, SizesAndTitlesOfBothLayouts) {
  const std::vector<uint8_t> headed = StandardRom().Bytes();
  const std::vector<uint8_t> expanded = StandardRom(0x400200).Bytes();
  const std::vector<uint8_t> bare(headed.begin() + 0x200, headed.end());
  EXPECT_TRUE(IsRestorableRom(headed, false));
  EXPECT_TRUE(IsRestorableRom(expanded, false));
  EXPECT_TRUE(IsRestorableRom(bare, true));
  EXPECT_FALSE(IsRestorableRom(headed, true));   // a headed copy for a headerless file
  EXPECT_FALSE(IsRestorableRom(bare, false));    // and the other way round
  EXPECT_FALSE(IsRestorableRom(std::vector<uint8_t>(headed.begin(), headed.begin() + 0x200000), false));
}

}  // namespace
}  // namespace lettermoor::test

#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "editor/editor_window.h"
#include "rom/snes_address.h"
#include "support/fake_editor_view.h"
#include "support/synthetic_rom.h"

namespace lettermoor::test {

// The script of the standard test ROM: four strings back to back at the start of the first raw
// text range, so the raw listing shows them as its rows 0 to 3.
//   S0 "Hello there" WAIT NEWLINE END   14 bytes
//   S1 "Good morning" PAUSE 1E END      15 bytes
//   S2 "My " <dictionary word 1> END     6 bytes, shown as "My friend[02]"
//   S3 "Shared words" END               13 bytes
// The pointer table listing has six rows: records 0-4 and one plain pointer.
//   row 0 -> S0 (sprite 5, movement 1)   row 1 -> S3 (sprite 0, movement 3)
//   row 2 -> S1 (sprite 7, movement 2)   row 3 -> S3 (sprite 2, movement 0)
//   row 4 -> S2 (sprite 1, movement 1)   row 5 -> S1 (plain pointer)
namespace layout {
inline constexpr int64_t kS0 = 0x51D12;
inline constexpr int64_t kS1 = kS0 + 14;
inline constexpr int64_t kS2 = kS1 + 15;
inline constexpr int64_t kS3 = kS2 + 6;
inline constexpr int64_t kScriptEnd = kS3 + 13;
inline constexpr int kPointerRows = 6;
inline const char* const kText0 = "Hello there[03 00 02]";
inline const char* const kText1 = "Good morning[10 1E 02]";
inline const char* const kText2 = "My friend[02]";
inline const char* const kText3 = "Shared words[02]";
}  // namespace layout

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline SyntheticRom StandardRom(size_t size = SyntheticRom::kStandardSize) {
  using namespace layout;
  SyntheticRom rom(size);
  rom.Dictionary({"friend"});
  rom.Put(kS0, Concat(ScriptText("Hello there"), {0x03, 0x00, 0x02}));
  rom.Put(kS1, Concat(ScriptText("Good morning"), {0x10, 0x1E, 0x02}));
  rom.Put(kS2, Concat(ScriptText("My "), {0x15, 0x01, 0x02}));
  rom.Put(kS3, Concat(ScriptText("Shared words"), {0x02}));
  rom.PointerRecord(0, FileOffsetToSnes(kS0), 5, 1);
  rom.PointerRecord(1, FileOffsetToSnes(kS3), 0, 3);
  rom.PointerRecord(2, FileOffsetToSnes(kS1), 7, 2);
  rom.PointerRecord(3, FileOffsetToSnes(kS3), 2, 0);
  rom.PointerRecord(4, FileOffsetToSnes(kS2), 1, 1);
  rom.PlainPointer(0, FileOffsetToSnes(kS1));
  return rom;
}

// "[" then each byte as two upper-case hexadecimal digits, blank-separated, then "]".
inline std::string HexView(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out = "[";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out.push_back(' ');
    out.push_back(digits[bytes[i] >> 4]);
    out.push_back(digits[bytes[i] & 0xF]);
  }
  return out + "]";
}

inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, int64_t offset, size_t n) {
  return {bytes.begin() + offset, bytes.begin() + offset + static_cast<int64_t>(n)};
}

// Every menu command, for checking whole menu states.
inline const std::vector<CommandId>& AllCommands() {
  static const std::vector<CommandId> all = {
      CommandId::Open,          CommandId::Close,
      CommandId::Exit,          CommandId::Undo,
      CommandId::Cut,           CommandId::Copy,
      CommandId::Paste,         CommandId::Search,
      CommandId::ExpandRom,     CommandId::EditTptEntry,
      CommandId::ViewDetails,   CommandId::DumpToTextFile,
      CommandId::PointerTableListing, CommandId::RawTextListing,
      CommandId::ExpandedRomListing,  CommandId::DisplayTextAndCodes,
      CommandId::DisplayCodesOnly,    CommandId::UseCompression,
      CommandId::PreventOverwrites,   CommandId::Help,
      CommandId::About,         CommandId::FindReferences,
      CommandId::MoveToFreeSpace, CommandId::CompressWithDictionary,
      CommandId::ExportScript,  CommandId::ImportScript,
      CommandId::RevertToBackup,  CommandId::KeepBackup,
      CommandId::CreatePatch,   CommandId::ApplyPatchToCopy,
      CommandId::OriginalRom,
      CommandId::ReplaceInAllTexts,
      CommandId::ForgetOriginal,     CommandId::FindNextUntranslated,
      CommandId::KeepChecksumRight, CommandId::RunInEmulator,
  };
  return all;
}

// Checks every command: enabled exactly when in `enabled`, checked exactly when in `checked`.
inline void ExpectMenus(const FakeEditorView& view, const std::set<CommandId>& enabled,
                        const std::set<CommandId>& checked) {
  for (CommandId id : AllCommands()) {
    EXPECT_EQ(view.IsEnabled(id), enabled.count(id) == 1) << "enabled, command " << static_cast<int>(id);
    EXPECT_EQ(view.IsChecked(id), checked.count(id) == 1) << "checked, command " << static_cast<int>(id);
  }
}

inline const std::set<CommandId>& NoRomEnabled() {
  static const std::set<CommandId> s = {CommandId::Open, CommandId::Exit, CommandId::Help,
                                        CommandId::About, CommandId::KeepBackup,
                                        CommandId::KeepChecksumRight};
  return s;
}

// The open-only items, without "Expand ROM", "Expanded ROM listing" and "Edit TPT entry", as the
// pointer table listing has them ("Move to Free Space" is enabled there only).
inline std::set<CommandId> RomOpenEnabled() {
  std::set<CommandId> s = NoRomEnabled();
  s.insert({CommandId::Close, CommandId::Search, CommandId::ViewDetails, CommandId::DumpToTextFile,
            CommandId::PointerTableListing, CommandId::RawTextListing,
            CommandId::DisplayTextAndCodes, CommandId::DisplayCodesOnly,
            CommandId::UseCompression, CommandId::PreventOverwrites, CommandId::FindReferences,
            CommandId::MoveToFreeSpace, CommandId::CompressWithDictionary, CommandId::ExportScript,
            CommandId::ImportScript, CommandId::CreatePatch, CommandId::ApplyPatchToCopy,
            CommandId::OriginalRom, CommandId::ReplaceInAllTexts,
            CommandId::RunInEmulator});
  return s;
}

inline std::set<CommandId> DefaultChecks() {
  return {CommandId::PointerTableListing, CommandId::DisplayTextAndCodes,
          CommandId::PreventOverwrites, CommandId::KeepBackup};
}

// Runs the test body in a private working directory (the dump writes there).
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::string& dir) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedWorkingDirectory() {
    std::error_code ec;
    std::filesystem::current_path(saved_, ec);
  }

 private:
  std::filesystem::path saved_;
};

// A window over the fake view, initialised as the program does at start.
class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override { window.Initialise(); }

  // Saves the image and opens it through File > Open; keeps the file alive for the test.
  TempFile& Open(const SyntheticRom& rom) {
    files_.push_back(rom.Save());
    OpenFile(*files_.back());
    return *files_.back();
  }
  void OpenFile(const TempFile& file) {
    view.PickRom(file.Path());
    window.OnCommand(CommandId::Open);
  }
  TempFile& OpenStandard() { return Open(StandardRom()); }

  // The row whose entry points at the file offset, or -1.
  int RowOf(int64_t offset) const {
    const auto& t = window.Table();
    for (int i = 0; i < t.count(); ++i) {
      if (SnesToFileOffset(t.entries[static_cast<size_t>(i)].textAddress) == offset) return i;
    }
    return -1;
  }

  // How often the whole list was replaced or emptied.
  int ListRebuilds() const { return view.setAllRowsCalls + view.deleteAllCalls; }

  FakeEditorView view;
  EditorWindow window{view};

 private:
  std::vector<std::unique_ptr<TempFile>> files_;
};

}  // namespace lettermoor::test

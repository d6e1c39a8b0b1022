// File > Export Script and Import Script in the window's logic.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "editor/editor_window.h"
#include "editor_fixture.h"
#include "document/document_text.h"
#include "script/script_file.h"

namespace lettermoor::test {
namespace {

class EditorScript : public EditorTest {
 protected:
  // Replaces the line that holds exactly `from` below its original by `to`.
  static std::string Replaced(std::string script, const std::string& from, const std::string& to) {
    const std::string line = "\n" + from + "\n";
    const size_t at = script.find(line, script.find("#< " + from));
    EXPECT_NE(at, std::string::npos) << from;
    return script.replace(at + 1, from.size(), to);
  }

  TempDir dir;
};

TEST_F(EditorScript, ExportEditImportKeepsTheMarkedRow) {
  const TempFile& rom = OpenStandard();
  view.scriptPath = dir.File("standard.txt");
  window.OnCommand(CommandId::ExportScript);
  ASSERT_EQ(view.scriptDialogs.size(), 1u);
  EXPECT_TRUE(view.scriptDialogs[0].first);
  EXPECT_EQ(BareFileName(view.scriptDialogs[0].second), BareFileName(rom.Path()).substr(0, rom.Name().rfind('.')) + "-pointer.txt");
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].text.find("standard.txt"), std::string::npos) << view.messages[0].text;
  // From the first block to the last, then closed.
  const std::vector<std::pair<int, int>> progress = {{0, 4}, {4, 4}, {1, 1}};
  EXPECT_EQ(view.progress, progress);
  const std::string script = ReadText(view.scriptPath);
  EXPECT_NE(script.find("# lines 2, 4; Pointer record 1; Pointer record 3\n#< Shared words[02]\nShared words[02]\n"),
            std::string::npos)
      << script;

  // Unchanged: nothing written, the list left alone.
  const std::vector<uint8_t> before = rom.ReadAll();
  const int fills = ListRebuilds();
  std::optional<ImportResult> r = window.ImportScriptFile();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->unchanged, 4);
  EXPECT_EQ(rom.ReadAll(), before);
  EXPECT_EQ(ListRebuilds(), fills);
  ASSERT_EQ(view.reports.size(), 1u);
  EXPECT_EQ(view.reports[0].title, "Import Script: standard.txt");
  EXPECT_EQ(view.reports[0].text, "4 blocks: 0 changed (0 written, 0 moved, 0 too large, 0 stale), 4 unchanged.\n");

  // Two texts changed, row 3 marked: the list shows them and row 3 stays marked and shown.
  std::ofstream(view.scriptPath, std::ios::binary)
      << Replaced(Replaced(script, "Shared words[02]", "Shared![02]"), layout::kText1, "Good day[10 1E 02]");
  view.ClickRow(window, 3);
  window.OnCommand(CommandId::ImportScript);
  ASSERT_EQ(view.reports.size(), 2u);
  EXPECT_NE(view.reports[1].text.find(": written, 11 of 15 bytes\n"), std::string::npos) << view.reports[1].text;
  EXPECT_NE(view.reports[1].text.find("2 changed (2 written"), std::string::npos) << view.reports[1].text;
  EXPECT_EQ(view.rows[1], "Shared!");
  EXPECT_EQ(view.rows[2], "Good day");
  EXPECT_EQ(view.rows[5], "Good day");
  EXPECT_EQ(view.SelectionMark(), 3);
  EXPECT_EQ(view.editText, "Shared![02]");

  // The first row, marked, stays marked too.
  const std::string edited = Replaced(ReadText(view.scriptPath), layout::kText0, "Hi there[03 00 02]");
  std::ofstream(view.scriptPath, std::ios::binary) << edited;
  view.ClickRow(window, 0);
  window.OnCommand(CommandId::ImportScript);
  ASSERT_EQ(view.reports.size(), 3u);
  EXPECT_EQ(view.SelectionMark(), 0);
  EXPECT_EQ(view.editText, "Hi there[03 00 02]");
}

TEST_F(EditorScript, RefusedFilesAndCancelledDialogsWriteNothing) {
  const TempFile& rom = OpenStandard();
  const std::vector<uint8_t> before = rom.ReadAll();
  view.scriptPath = dir.File("s.txt");
  window.OnCommand(CommandId::ExportScript);
  const std::string script = ReadText(view.scriptPath);
  view.messages.clear();
  struct Case {
    std::string content;
    const char* message;  // a piece of it
  };
  const Case cases[] = {
      {Replaced(script, layout::kText0, "Hello[03 00"), "s.txt:"},
      {script + "stray text\n", "expected a block header"},
  };
  for (const Case& c : cases) {
    std::ofstream(view.scriptPath, std::ios::binary) << c.content;
    EXPECT_FALSE(window.ImportScriptFile());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].text.find(c.message), std::string::npos) << view.messages[0].text;
    EXPECT_NE(view.messages[0].text.find(editor_text::kImportRefused), std::string::npos);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Warning);
    view.messages.clear();
    EXPECT_EQ(rom.ReadAll(), before);
  }
  // Cancelled: no file, no message.
  view.scriptPath.clear();
  EXPECT_FALSE(window.ImportScriptFile());
  EXPECT_FALSE(window.ExportScriptFile());
  EXPECT_TRUE(view.messages.empty());
  // The ROM itself is no script file.
  view.scriptPath = rom.Path();
  EXPECT_FALSE(window.ExportScriptFile());
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].caption, editor_text::kExportCaption);
  EXPECT_EQ(rom.ReadAll(), before);
}

// File > Import Script read the picked file with no bound and waited on a FIFO for a writer that
// never came. Only a regular file is read, and none larger than the script limit.
TEST_F(EditorScript, AScriptIsReadOnlyFromARegularFileOfBoundedSize) {
  const TempFile& rom = OpenStandard();
  const std::vector<uint8_t> before = rom.ReadAll();
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  ASSERT_TRUE(WriteBytesTo(dir.File("huge.txt"), {}));
  std::filesystem::resize_file(dir.File("huge.txt"), kScriptFileLimit + 1);  // sparse
  struct Case {
    std::string path;
    const char* says;
  };
  const Case cases[] = {
      {dir.File("fifo"), "not a regular file"},
      {dir.File("folder"), "not a regular file"},
      {"/dev/zero", "not a regular file"},
      {dir.File("huge.txt"), "larger than"},
      {dir.File("missing.txt"), "could not be read"},
  };
  ::alarm(60);  // a read that waits would otherwise hang the suite
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    view.scriptPath = c.path;
    view.messages.clear();
    EXPECT_FALSE(window.ImportScriptFile());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].caption, editor_text::kImportCaption);
    EXPECT_NE(view.messages[0].text.find(c.says), std::string::npos) << view.messages[0].text;
    EXPECT_EQ(rom.ReadAll(), before);
  }
  ::alarm(0);
}

// Export Script and Dump refused only the ROM itself: the ROM's backup copy, by its name or by a
// link to it, was replaced by a script or a dump.
TEST_F(EditorScript, NoScriptOrDumpIsWrittenOverTheBackup) {
  const std::string path = dir.File("game.smc");
  ASSERT_TRUE(WriteBytesTo(path, StandardRom().Bytes()));
  view.PickRom(path);
  window.OnCommand(CommandId::Open);
  ASSERT_TRUE(window.IsRomOpen());
  window.SetDumpFolder(dir.Path());
  const std::string bak = window.BackupPath();
  const std::string dump = dir.File("ptrlist.txt");

  // Before the first write there is no copy yet: its name is kept free for it.
  view.scriptPath = bak;
  EXPECT_FALSE(window.ExportScriptFile());
  EXPECT_FALSE(std::filesystem::exists(bak));

  view.ClickRow(window, 0);
  view.Type(window, "Hi[02]");
  ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
  const std::vector<uint8_t> kept = ReadBytesOf(bak);
  ASSERT_FALSE(kept.empty());
  enum class By { Name, HardLink, SymbolicLink };
  for (By by : {By::Name, By::HardLink, By::SymbolicLink}) {
    SCOPED_TRACE(static_cast<int>(by));
    const std::string link = dir.File("link.txt");
    std::filesystem::remove(link);
    std::filesystem::remove(dump);
    if (by == By::HardLink) { ASSERT_EQ(::link(bak.c_str(), link.c_str()), 0); }
    if (by == By::SymbolicLink) { ASSERT_EQ(::symlink(bak.c_str(), link.c_str()), 0); }
    view.messages.clear();
    view.scriptPath = by == By::Name ? bak : link;
    EXPECT_FALSE(window.ExportScriptFile());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].caption, editor_text::kExportCaption);
    EXPECT_NE(view.messages[0].text.find("backup"), std::string::npos) << view.messages[0].text;
    if (by != By::Name) {
      std::filesystem::rename(link, dump);
      view.messages.clear();
      EXPECT_EQ(window.DumpToTextFile().outcome, DumpResult::Outcome::IsTheBackup);
      ASSERT_EQ(view.messages.size(), 1u);
      EXPECT_EQ(view.messages[0].caption, editor_text::kDumpFailedCaption);
    }
    EXPECT_EQ(ReadBytesOf(bak), kept);
  }
  // Any other file takes them as ever.
  std::filesystem::remove(dump);
  EXPECT_TRUE(window.DumpToTextFile().Written());
  view.scriptPath = dir.File("script.txt");
  EXPECT_TRUE(window.ExportScriptFile());
  EXPECT_EQ(ReadBytesOf(bak), kept);
}

TEST_F(EditorScript, PoFilesAndTheConsistencyWindow) {
  using namespace layout;
  const TempFile& rom = OpenStandard();
  const std::unique_ptr<TempFile> original = StandardRom().Save();
  // Without an original there is nothing to compare with: said, and no window.
  window.OnCommand(CommandId::CheckConsistency);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, editor_text::kConsistencyNeedsOriginal);
  EXPECT_FALSE(view.consistencyPage);
  ASSERT_TRUE(window.Doc().SetOriginal(original->Path()).Accepted());

  view.scriptPath = dir.File("standard.po");
  window.OnCommand(CommandId::ExportScript);
  std::string po = ReadText(view.scriptPath);
  const std::string entry = "msgid \"" + std::string(kText3) + "\"\nmsgstr \"\"";
  ASSERT_NE(po.find("#: line:2 line:4 record:1 record:3\nmsgctxt \"$"), std::string::npos) << po;
  ASSERT_NE(po.find(entry), std::string::npos) << po;
  std::ofstream(view.scriptPath, std::ios::binary)
      << po.replace(po.find(entry), entry.size(), "msgid \"" + std::string(kText3) + "\"\nmsgstr \"Shared![02]\"");
  const std::optional<ImportResult> r = window.ImportScriptFile();
  ASSERT_TRUE(r);
  ASSERT_EQ(view.reports.size(), 1u);
  EXPECT_EQ(view.reports[0].text.rfind("PO file: 1 translated message, 0 fuzzy translations, 3 untranslated", 0), 0u)
      << view.reports[0].text;
  EXPECT_EQ(r->Count(BlockOutcome::Written), 1);
  EXPECT_EQ(view.rows[1], "Shared!");
  EXPECT_NE(rom.ReadAll(), original->ReadAll());

  // The lines with letters left as they were are listed, each with its line; the translated one is not.
  view.messages.clear();
  window.OnCommand(CommandId::CheckConsistency);
  EXPECT_TRUE(view.messages.empty());
  ASSERT_TRUE(view.consistencyPage);
  std::vector<int> lines;
  for (const ReferenceRow& row : view.consistencyPage->rows) {
    EXPECT_EQ(row.kind, "Left as the original");
    lines.push_back(row.line);
  }
  EXPECT_EQ(lines, (std::vector<int>{1, 3, 6, 5}));  // by each original text's first line
}

}  // namespace
}  // namespace lettermoor::test

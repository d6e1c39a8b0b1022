// The history of changes beside a ROM and undoing them, through the document: each kind of
// change taken back gives the bytes from before it; an undo whose bytes a later change wrote over
// is refused and writes nothing; the history stays under its limit.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "document/document.h"
#include "document/document_text.h"
#include "rom/rom_image.h"
#include "sample/sample_rom.h"
#include "script/script_file.h"
#include "support/synthetic_rom.h"
#include "support/syscall_trace.h"

namespace lettermoor::test {
namespace {

using Bytes = std::vector<uint8_t>;

class History : public ::testing::Test {
 protected:
  // The sample ROM (expanded or not) in the test's folder, opened for update in `doc_`.
  Bytes Open(bool expanded) {
    EXPECT_TRUE(SaveSampleRom(path_, expanded));
    doc_.SetKeepBackup(false);
    doc_.Adopt(Document::OpenFile(path_, RomOpenMode::Update));
    doc_.Fill();
    return ReadBytesOf(path_);
  }

 public:
  // `row`'s text made longer, so that it must move.
  std::string Longer(int row) {
    std::string text = doc_.EntryText(row);
    return text.insert(text.size() - 4, " and a good deal longer than it ever was before");
  }
 protected:
  // The first history entry's id.
  uint64_t Newest() { return doc_.History().at(0).id; }

  TempDir dir_;
  std::string path_ = dir_.File("game.smc");
  Document doc_;
};

// Each kind of change, undone with nothing written after it, gives the file its bytes from before
// it, size included; the entry is listed with its kind and shown undone; Undo Last Change then
// finds nothing more to take back.
TEST_F(History, UndoOfEachKindOfChangeGivesTheBytesFromBeforeIt) {
  struct Kind {
    const char* name;
    bool expanded;
    ChangeKind kind;
    std::function<bool(Document&, History&)> change;
  };
  const std::vector<Kind> kinds = {
      {"apply", false, ChangeKind::Apply,
       [](Document& d, History&) { return d.Apply(3, "Hi there.[02]", {}).result == ApplyResult::Written; }},
      {"move", true, ChangeKind::Move, [](Document& d, History& t) { return d.Move(3, t.Longer(3), false).Moved(); }},
      {"import that moves texts", true, ChangeKind::Import,
       [](Document& d, History& t) {
         ParsedScript script = ParseScript(*d.Export());
         int changed = 0;
         for (ScriptBlock& b : script.blocks) {
           if (changed < 3 && b.text.ends_with("[02]")) {
             b.text.insert(b.text.size() - 4, " Rewritten, and a good deal longer than it was before.");
             ++changed;
           }
         }
         (void)t;
         const ImportResult r = d.Import(script.blocks, ImportOptions{});
         return r.status == ImportStatus::Done && r.Count(BlockOutcome::Moved) > 0;
       }},
      {"pointer edit", false, ChangeKind::PointerEdit,
       [](Document& d, History&) {
         PointerEntryForm form = *d.PointerFormFor(5);
         form.spriteNumber += 3;
         form.movementNumber ^= 1;
         WriteResult written;
         return d.EditPointer(5, form, &written) == PointerEditResult::Written;
       }},
      {"expansion", false, ChangeKind::Expansion,
       [](Document& d, History&) { return d.Expand().result == GrowResult::Grown; }},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    const Bytes before = Open(k.expanded);
    std::filesystem::remove(HistoryPathFor(path_));
    ASSERT_TRUE(k.change(doc_, *this));
    ASSERT_NE(ReadBytesOf(path_), before);
    const std::vector<HistoryEntry> written = doc_.History();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].kind, k.kind);

    const UndoOutcome undone = doc_.UndoLast();
    EXPECT_EQ(undone.result, UndoResult::Undone);
    EXPECT_EQ(undone.entry, written[0].id);
    EXPECT_TRUE(ReadBytesOf(path_) == before) << "not the bytes from before";
    const std::vector<HistoryEntry> after = doc_.History();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].kind, ChangeKind::Undo);
    EXPECT_EQ(after[0].undoes, written[0].id);
    EXPECT_TRUE(after[1].undone);
    EXPECT_EQ(doc_.UndoLast().result, UndoResult::NothingToUndo);
    doc_.Close();
  }
}

// Three applies on different lines: Undo Last Change gives exactly the bytes after the second;
// undoing the first then gives its line back and nothing else. An undo whose bytes a later change
// wrote over is refused, naming that change, and leaves the file as it was; once that later
// change is undone, it goes through.
TEST_F(History, ThreeAppliesAreTakenBackOneByOneAndAnOverwrittenOneIsRefused) {
  const Bytes start = Open(false);
  const int rows[] = {3, 5, 7};
  std::vector<Bytes> after;
  for (int row : rows) {
    ASSERT_EQ(doc_.Apply(row, "Fixed.[02]", {}).result, ApplyResult::Written);
    after.push_back(ReadBytesOf(path_));
  }
  const std::vector<HistoryEntry> entries = doc_.History();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].lines, std::vector<int32_t>{3});
  EXPECT_EQ(entries[2].after, "Fixed.[02]");
  EXPECT_FALSE(entries[2].before.empty());

  ASSERT_EQ(doc_.UndoLast().result, UndoResult::Undone);
  EXPECT_TRUE(ReadBytesOf(path_) == after[1]);

  ASSERT_EQ(doc_.Undo(entries[2].id).result, UndoResult::Undone);
  // The start with the second apply alone.
  Bytes expected = start;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (after[1][i] != after[0][i]) expected[i] = after[1][i];
  }
  EXPECT_TRUE(ReadBytesOf(path_) == expected);
  EXPECT_NE(doc_.EntryText(3), "Fixed.[02]");

  // The second apply's line written again: its undo is refused by name, and nothing changes.
  ASSERT_EQ(doc_.Apply(5, "Again.[02]", {}).result, ApplyResult::Written);
  const uint64_t later = Newest();
  const Bytes held = ReadBytesOf(path_);
  const UndoOutcome refused = doc_.Undo(entries[1].id);
  EXPECT_EQ(refused.result, UndoResult::ChangedLater);
  EXPECT_EQ(refused.by, later);
  EXPECT_TRUE(ReadBytesOf(path_) == held);
  EXPECT_EQ(doc_.History().at(0).id, later) << "a refusal is no change";
  // Undone twice: the second time its bytes are no longer the ROM's.
  EXPECT_EQ(doc_.Undo(entries[2].id).result, UndoResult::ChangedLater);
  ASSERT_EQ(doc_.Undo(later).result, UndoResult::Undone);
  EXPECT_EQ(doc_.Undo(entries[1].id).result, UndoResult::Undone);
  EXPECT_TRUE(ReadBytesOf(path_) == start);
  // Another program's change is no entry's: refused all the same.
  ASSERT_EQ(doc_.Apply(3, "Third.[02]", {}).result, ApplyResult::Written);
  Bytes outside = ReadBytesOf(path_);
  outside[static_cast<size_t>(doc_.EntryOffset(3))] ^= 0x11;
  ASSERT_TRUE(WriteBytesTo(path_, outside));
  EXPECT_EQ(doc_.UndoLast().result, UndoResult::ChangedOutside);
  EXPECT_TRUE(ReadBytesOf(path_) == outside);
  EXPECT_EQ(doc_.Undo(9999).result, UndoResult::NoEntry);
}

// An expansion's undo cuts the file back only while its added space is as it left it: a move into
// that space since is named, and the file keeps its size.
TEST_F(History, AnExpansionWhoseSpaceWasWrittenSinceIsNotCut) {
  Open(false);
  ASSERT_EQ(doc_.Expand().result, GrowResult::Grown);
  const uint64_t expansion = Newest();
  ASSERT_TRUE(doc_.Move(3, Longer(3), false).Moved());
  const uint64_t move = Newest();
  const Bytes held = ReadBytesOf(path_);
  const UndoOutcome refused = doc_.Undo(expansion);
  EXPECT_EQ(refused.result, UndoResult::ChangedLater);
  EXPECT_EQ(refused.by, move);
  EXPECT_TRUE(ReadBytesOf(path_) == held);
}

// The history survives a restart, and a torn tail a crash left is cut by the next record; past
// its limit the oldest entries go, whole, the newest stay undoable, and the user is told once.
TEST_F(History, TheHistoryLastsIsCutAtATornTailAndStaysUnderItsLimit) {
  Open(false);
  ASSERT_EQ(doc_.Apply(3, "One.[02]", {}).result, ApplyResult::Written);
  doc_.Close();
  const std::string history = HistoryPathFor(path_);
  const auto whole = std::filesystem::file_size(history);
  {
    std::FILE* f = std::fopen(history.c_str(), "ab");
    std::fputs("torn tail of a record", f);
    std::fclose(f);
  }
  doc_.Adopt(Document::OpenFile(path_, RomOpenMode::Update));
  doc_.Fill();
  ASSERT_EQ(doc_.History().size(), 1u);
  ASSERT_EQ(doc_.Apply(5, "Two.[02]", {}).result, ApplyResult::Written);
  EXPECT_EQ(doc_.History().size(), 2u);
  EXPECT_LT(std::filesystem::file_size(history), 2 * whole + 1);

  const int64_t limit = static_cast<int64_t>(3 * whole);
  doc_.Rom().handle->SetHistoryLimit(limit);
  int told = 0;
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(doc_.Apply(7 + i, "Many.[02]", {}).result, ApplyResult::Written);
    told += doc_.TakeHistoryTrimmed();
    EXPECT_LE(static_cast<int64_t>(std::filesystem::file_size(history)), limit);
  }
  EXPECT_GE(told, 1);
  EXPECT_FALSE(doc_.TakeHistoryTrimmed());
  const std::vector<HistoryEntry> kept = doc_.History();
  ASSERT_GE(kept.size(), 2u);
  EXPECT_LT(kept.size(), 8u);
  EXPECT_EQ(kept.back().id, 8 - kept.size() + 1) << "the oldest went first";
  EXPECT_EQ(doc_.UndoLast().result, UndoResult::Undone);
}

// Keeping the history costs an apply at most two more syncs (fsync, fdatasync) than without;
// both counts are recorded.
TEST_F(History, AnApplyWithTheHistoryTakesAtMostTwoMoreSyncs) {
  Open(false);
  doc_.Close();
  auto syncsOfOneApply = [&](bool keepHistory, int row) {
    int syncs = 0;
    const TraceOutcome outcome = TraceChild(
        [&] {
          Document doc;
          doc.SetKeepBackup(false);
          doc.Adopt(Document::OpenFile(path_, RomOpenMode::Update));
          doc.Fill();
          doc.Rom().handle->KeepHistory(keepHistory);
          ::_exit(doc.Apply(row, "Synced.[02]", {}).result == ApplyResult::Written ? 0 : 4);
        },
        [&](const SyscallReturn& call) {
          syncs += call.nr == SYS_fsync || call.nr == SYS_fdatasync;
          return false;
        });
    EXPECT_TRUE(outcome.traced);
    EXPECT_TRUE(WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0);
    return syncs;
  };
  syncsOfOneApply(true, 9);  // the history's file made once, as it is by the first change
  const int without = syncsOfOneApply(false, 3);
  const int with = syncsOfOneApply(true, 5);
  RecordProperty("syncs_without_history", without);
  RecordProperty("syncs_with_history", with);
  EXPECT_GE(without, 4);  // the journal, its folder, the ROM, the folder again
  EXPECT_LE(with, without + 2);
  EXPECT_GT(with, without) << "the history's record is synced";
}

// The words the window and the tool show for an entry.
TEST_F(History, AnEntryIsDescribedByNumberKindLinesAndPreview) {
  HistoryEntry e;
  e.id = 12;
  e.kind = ChangeKind::Apply;
  e.lines = {4, 9};
  e.before = "Old";
  e.after = "New";
  EXPECT_EQ(HistoryLines(e), "5, 10");
  EXPECT_EQ(HistoryPreview(e), "\"Old\" -> \"New\"");
  e.before.clear();
  e.after.clear();
  e.oldBytes = {0x01, 0xAB};
  e.newBytes = {0x02};
  e.undone = true;
  EXPECT_EQ(HistoryPreview(e), "01 AB -> 02 (undone)");
  EXPECT_EQ(DescribeHistoryEntry(e).substr(0, 3), "12\t");
}

}  // namespace
}  // namespace lettermoor::test

// Every kind of change, cut short at each of its writes and syncs in turn (and once by a real
// SIGKILL, and once more in the middle of the rollback): the ROM, opened again as the programs
// open it, is always wholly as it was before the change or wholly as after it, and its history
// holds the change's records exactly when the ROM holds the change.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "codec/text_compressor.h"
#include "codec/text_decoder.h"
#include "codec/text_encoder.h"
#include "entries/reference_index.h"
#include "entries/text_entry_table.h"
#include "entries/text_move.h"
#include "rom/header_checksum.h"
#include "rom/rollback_journal.h"
#include "rom/rom_image.h"
#include "sample/sample_rom.h"
#include "script/script_file.h"
#include "script/script_import.h"
#include "editor/editor_window.h"
#include "support/child_process.h"
#include "support/fake_editor_view.h"
#include "support/reference_scenario.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using Bytes = std::vector<uint8_t>;

// The step at which the child ends, counted by the hook; 0 counts without ending.
int gSteps = 0;
int gCrashAt = 0;
int CountOrCrash() {
  if (++gSteps == gCrashAt) ::_exit(77);
  return 0;
}

struct Kind {
  const char* name;
  bool expanded;     // on the expanded sample (else the plain one)
  bool reference;    // on the reference scenario (jump codes) instead of the sample
  std::function<bool(RomFile& rom)> change;  // true when the change reports success
  bool keepsChecksum = false;  // Keep the Checksum Right is on: the pair is part of the change
};

std::vector<ScriptBlock> RewrittenScript(RomFile& rom, int count) {
  TextDictionary dictionary;
  LoadTextDictionary(rom, dictionary);
  DecoderState state;
  TextDecoder decoder(dictionary, state);
  TextEntryTable table;
  BuildTextEntries(rom, ListingMode::PointerTableListing, table, decoder);
  const ReferenceIndex index = ReferenceIndex::Build(rom);
  ParsedScript parsed =
      ParseScript(*ExportScript(rom, table, ListingMode::PointerTableListing, dictionary, state, &index, "s.smc"));
  int changed = 0;
  for (ScriptBlock& b : parsed.blocks) {
    if (changed == count || !b.text.ends_with("[02]")) continue;
    b.text.insert(b.text.size() - 4, " Rewritten, and a good deal longer than it was before.");
    ++changed;
  }
  return parsed.blocks;
}

bool Import(RomFile& rom, const std::vector<ScriptBlock>& blocks) {
  TextDictionary dictionary;
  LoadTextDictionary(rom, dictionary);
  DecoderState state;
  const ImportResult r = ImportScript(rom, blocks, dictionary, state, ImportOptions{});
  return r.status == ImportStatus::Done && r.Count(BlockOutcome::Moved) > 0;
}

std::vector<Kind> Kinds() {
  static std::vector<ScriptBlock> script;  // made once, from the expanded sample, in the parent
  auto firstText = [](RomFile& rom) {
    TextDictionary dictionary;
    DecoderState state;
    TextDecoder decoder(dictionary, state);
    TextEntryTable table;
    BuildTextEntries(rom, ListingMode::PointerTableListing, table, decoder);
    return SnesToFileOffset(table.entries.at(3).textAddress);
  };
  return {
      {"apply", false, false, [=](RomFile& rom) { return WriteText(rom, firstText(rom), "Hi there.[02]").status == WriteStatus::Written; }},
      {"compressed apply", false, false,
       [=](RomFile& rom) {
         TextDictionary dictionary;
         LoadTextDictionary(rom, dictionary);
         const TextCompressor compressor(dictionary);
         return WriteCompressedText(rom, firstText(rom), "the the the[02]", compressor).status == WriteStatus::Written;
       }},
      {"move with jump codes", true, true,
       [](RomFile& rom) {
         const Bytes text = TextEncoder("A much longer line than the old one[02]");
         return MoveTextToFreeSpace(rom, test::ReferenceScenario::kTextAddress, text).outcome == MoveOutcome::Moved;
       }},
      {"import that moves texts", true, false,
       [](RomFile& rom) {
         if (script.empty()) script = RewrittenScript(rom, 4);
         return Import(rom, script);
       }},
      {"pointer edit", false, false,
       [](RomFile& rom) { return WriteTextPointerRecord(rom, kPointerTableStart + 5 * kPointerRecordSize, 0xC51C06, 7, 9).Ok(); }},
      {"revert", false, false,
       [](RomFile& rom) {
         Bytes copy(static_cast<size_t>(rom.Size()));
         rom.Read(0, copy);
         for (int i = 0; i < 40; ++i) copy[0x51000 + static_cast<size_t>(i) * 97] ^= 0x5A;
         return rom.ReplaceContents(copy).Ok();
       }},
      {"expansion", false, false,
       [](RomFile& rom) {
         RomImage image{std::unique_ptr<RomFile>(&rom), "s.smc", rom.OpenedPath()};
         const GrowResult grown = GrowRom(image, kExpandedRomSize);
         (void)image.handle.release();
         return grown == GrowResult::Grown;
       }},
      {"apply keeping the checksum right", false, false,
       [=](RomFile& rom) {
         rom.KeepChecksumRight(true);
         return WriteText(rom, firstText(rom), "Hi there.[02]").status == WriteStatus::Written;
       },
       true},
  };
}

class CrashTest : public ::testing::Test {
 protected:
  // How many whole records the history holds (a torn tail is no record).
  size_t Recorded() { return ReadHistory(HistoryPathFor(path_)).records.size(); }

  // Writes the kind's starting ROM into the test's file, with no history yet, and gives its bytes.
  Bytes Start(const Kind& kind) {
    std::filesystem::remove(HistoryPathFor(path_));
    if (kind.reference) {
      const Bytes bytes = test::ReferenceScenario::Image(true).Bytes();
      EXPECT_TRUE(test::WriteBytesTo(path_, bytes));
      return bytes;
    }
    EXPECT_TRUE(SaveSampleRom(path_, kind.expanded));
    return test::ReadBytesOf(path_);
  }

  // The file as the programs see it after opening it again (which undoes an interrupted change).
  Bytes Reopened(Recovery* recovery = nullptr) {
    auto rom = OpenRomFile(path_, RomAccess::ReadWrite, nullptr);
    EXPECT_TRUE(rom);
    if (rom && recovery) *recovery = rom->TakeRecovery();
    return test::ReadBytesOf(path_);
  }

  // Runs the change in a child that ends at step `crashAt` (0: never); gives its exit status.
  int RunInChild(const Kind& kind, int crashAt) {
    return test::InChild([&] {
      auto rom = OpenRomFile(path_, RomAccess::ReadWrite, nullptr);
      if (!rom) return 3;
      gSteps = 0;
      gCrashAt = crashAt;
      SetIoStepHook(CountOrCrash);
      return kind.change(*rom) ? 0 : 1;
    });
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("crash.smc");
};

TEST_F(CrashTest, EveryKindOfChangeIsWholeOrAbsentWhereverItStops) {
  for (const Kind& kind : Kinds()) {
    SCOPED_TRACE(kind.name);
    // The whole change once, counting its steps.
    const Bytes before = Start(kind);
    int steps = 0;
    {
      auto rom = OpenRomFile(path_, RomAccess::ReadWrite, nullptr);
      ASSERT_TRUE(rom);
      gSteps = 0;
      gCrashAt = 0;
      SetIoStepHook(CountOrCrash);
      ASSERT_TRUE(kind.change(*rom));
      SetIoStepHook(nullptr);
      steps = gSteps;
    }
    const Bytes after = test::ReadBytesOf(path_);
    ASSERT_NE(before, after);
    const size_t records = Recorded();
    ASSERT_GE(records, 1u);
    if (kind.keepsChecksum) {
      ASSERT_EQ(ReadHeaderChecksum(std::span(after).subspan(RomFile::kCopierHeaderSize)).state, ChecksumState::Right);
    }
    ASSERT_GE(steps, 5);  // the journal's write and two syncs, the change, its sync, the removal
    for (int k = 1; k <= steps; ++k) {
      SCOPED_TRACE("stopped at step " + std::to_string(k) + " of " + std::to_string(steps));
      ASSERT_TRUE(test::WriteBytesTo(path_, before));
      std::filesystem::remove(HistoryPathFor(path_));
      ASSERT_EQ(RunInChild(kind, k), 77);
      Recovery recovery;
      const Bytes seen = Reopened(&recovery);
      EXPECT_TRUE(seen == before || seen == after) << "a mix of before and after";
      EXPECT_EQ(Recorded(), seen == after ? records : 0) << "the history disagrees with the ROM";
      EXPECT_FALSE(std::filesystem::exists(JournalPathFor(path_)));
      if (seen == before && recovery.status != RecoveryStatus::None) {
        EXPECT_EQ(recovery.status, RecoveryStatus::RolledBack);
      }
    }
  }
}

// A rollback cut short is finished by the next opening.
TEST_F(CrashTest, ARollbackCutShortIsFinishedByTheNextOpening) {
  const Kind kind = Kinds()[3];  // the import: many ranges to put back
  const Bytes before = Start(kind);
  ASSERT_EQ(RunInChild(kind, 0), 0);
  const Bytes after = test::ReadBytesOf(path_);
  // Stop it after the journal is synced and some ranges are written: step 6 is well inside.
  for (int j = 1; j <= 8; ++j) {
    SCOPED_TRACE("rollback stopped at step " + std::to_string(j));
    ASSERT_TRUE(test::WriteBytesTo(path_, before));
    ASSERT_EQ(RunInChild(kind, 8), 77);
    ASSERT_TRUE(std::filesystem::exists(JournalPathFor(path_)));
    const int status = test::InChild([&] {
      gSteps = 0;
      gCrashAt = j;
      SetIoStepHook(CountOrCrash);
      auto rom = OpenRomFile(path_, RomAccess::ReadOnly, nullptr);  // a reading command undoes it too
      return rom ? 0 : 3;
    });
    EXPECT_TRUE(status == 77 || status == 0) << status;
    EXPECT_EQ(Reopened(), before);
    EXPECT_FALSE(std::filesystem::exists(JournalPathFor(path_)));
  }
}

// A real kill at a random moment of a long import.
TEST_F(CrashTest, AKillAtAnyMomentLeavesTheRomWholeOrAbsent) {
  const Kind kind = Kinds()[3];
  const Bytes before = Start(kind);
  ASSERT_EQ(RunInChild(kind, 0), 0);
  const Bytes after = test::ReadBytesOf(path_);
  std::mt19937 random(12345);
  int cut = 0;
  const size_t records = Recorded();
  for (int run = 0; run < 12; ++run) {
    ASSERT_TRUE(test::WriteBytesTo(path_, before));
    std::filesystem::remove(HistoryPathFor(path_));
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      auto rom = OpenRomFile(path_, RomAccess::ReadWrite, nullptr);
      ::_exit(rom && kind.change(*rom) ? 0 : 1);
    }
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 60000)(random));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    cut += WIFSIGNALED(status);
    const Bytes seen = Reopened();
    EXPECT_TRUE(seen == before || seen == after) << "run " << run;
    EXPECT_EQ(Recorded(), seen == after ? records : 0) << "run " << run;
  }
  RecordProperty("killed", cut);
}

// A journal cut short while it was written is thrown away (the ROM was not touched yet); one
// made for another file is left alone and said.
TEST_F(CrashTest, TornAndForeignJournals) {
  const Kind kind = Kinds()[0];
  const Bytes before = Start(kind);
  ASSERT_EQ(RunInChild(kind, 2), 77);  // after the journal's write, before its sync
  const std::string journal = JournalPathFor(path_);
  ASSERT_TRUE(std::filesystem::exists(journal));
  std::filesystem::resize_file(journal, std::filesystem::file_size(journal) - 3);
  Recovery recovery;
  EXPECT_EQ(Reopened(&recovery), before);
  EXPECT_EQ(recovery.status, RecoveryStatus::None);
  EXPECT_FALSE(std::filesystem::exists(journal));

  // A whole journal, then the ROM replaced by another file under the same name.
  ASSERT_EQ(RunInChild(kind, 4), 77);
  ASSERT_TRUE(std::filesystem::exists(journal));
  const std::string other = dir_.File("other.smc");
  ASSERT_TRUE(test::WriteBytesTo(other, before));
  std::filesystem::rename(other, path_);
  EXPECT_EQ(Reopened(&recovery), before);
  EXPECT_EQ(recovery.status, RecoveryStatus::Foreign);
  EXPECT_TRUE(std::filesystem::exists(journal));
}

// Where the file cannot be written, the interrupted change stays and the user is told; the
// window says what it undid when it can.
TEST_F(CrashTest, WhatOpeningFindsIsSaid) {
  const Kind kind = Kinds()[0];
  const Bytes before = Start(kind);
  ASSERT_EQ(RunInChild(kind, 5), 77);  // the change written, not yet synced or its journal removed
  const Bytes half = test::ReadBytesOf(path_);
  ASSERT_NE(half, before);
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                                std::filesystem::perms::others_exec);
  const int status = test::InChild([&] {
    if (!test::DropToUnprivilegedUser()) return 2;
    auto rom = OpenRomFile(path_, RomAccess::ReadOnly, nullptr);
    if (!rom) return 3;
    return rom->TakeRecovery().status == RecoveryStatus::Unwritable ? 0 : 4;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test::ReadBytesOf(path_), half) << "a user who may not write it changed it";

  test::FakeEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path_);
  const std::vector<test::FakeEditorView::Message> said = view.TakeMessages();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].caption, editor_text::kRecoveryCaption);
  EXPECT_EQ(test::ReadBytesOf(path_), before);
}

}  // namespace
}  // namespace lettermoor

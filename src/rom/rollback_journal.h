#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lettermoor {

// The old bytes of one range of the ROM, at the file's own offset (a headerless file's first
// byte is 0).
struct JournalRange {
  int64_t offset = 0;
  std::vector<uint8_t> old;
};

// What a change needs to be undone: which file, how long it was, and the bytes it overwrote.
// Everything past `oldSize` is new and goes when the file is cut back to it.
struct JournalContents {
  std::string romName;  // the ROM's file name, without its folder
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t oldSize = 0;  // the file's own size before the change
  int64_t historyLength = -1;  // the change history's length before its record was added; -1: none kept
  std::vector<JournalRange> ranges;
};

// `.game.smc.journal` beside `game.smc`: hidden, in the same folder, so that it stays on the
// same file system and goes wherever the folder goes.
std::string JournalPathFor(const std::string& romPath);

// Writes the journal, then syncs it and its folder: once this gives 0 the old bytes are on disk
// before any byte of the ROM changes. Gives the system's error number when it could not.
int WriteJournal(const std::string& path, const JournalContents& contents);

enum class JournalState {
  Missing,  // no journal: the last change finished (or never began)
  Torn,     // cut short or damaged: its change never began, since the ROM is written only after a whole journal is synced
  Whole,    // a complete journal: its change may be half done
};

// Reads a journal; `contents` is filled for a whole one.
JournalState ReadJournal(const std::string& path, JournalContents& contents);

// Removes the journal and syncs its folder, so that a finished change is never undone by a
// journal that comes back after a power loss. Gives the error number, or 0 (also when there was
// none to remove).
int RemoveJournal(const std::string& path);

// Syncs the folder that holds `path`, so that a created, renamed or removed name is on disk.
int SyncFolderOf(const std::string& path);

// A place where every write, sync, truncation and removal of a change or a rollback reports
// before it happens. Tests make a child process end there at the k-th step, to see that the ROM
// is whole whichever step a crash cuts, or make the step fail with the error number the hook
// gives; in the programs it is empty and costs one test of a pointer. Gives 0 to go on.
using IoStepHook = int (*)();
void SetIoStepHook(IoStepHook hook);
int NoteIoStep();

}  // namespace lettermoor

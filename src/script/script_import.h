#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "codec/decoder_state.h"
#include "codec/text_dictionary.h"
#include "codec/text_warnings.h"
#include "entries/text_plan.h"
#include "rom/rom_file.h"
#include "script/script_file.h"

namespace lettermoor {

class TextCompressor;

// What became of one block whose text differs from its original.
enum class BlockOutcome {
  Written,    // written in place
  Moved,      // written into free space, every indexed reference repointed
  TooLarge,   // does not fit in place and could not be moved (see `why`); left as it was
  Stale,      // the ROM holds neither the block's original nor its text there; left as it was
  Overwritten,  // was stale for a change made since the export, and written all the same (asked for)
};

// Why a block is stale.
enum class StaleReason {
  Changed,          // the ROM holds neither its original nor its new text: changed since the export
  Unreached,        // nothing leads to its address any more (moved since the export?)
  RecordsDisagree,  // the records and pointers it names lead to different texts now
};

struct BlockReport {
  SnesAddress address = 0;
  int line = 0;                // the text's line in the script file
  BlockOutcome outcome = BlockOutcome::Written;
  int32_t bytes = 0;           // what the text encodes to
  int32_t room = 0;            // the present size at the address
  SnesAddress to = 0;          // Moved: the new address
  int32_t repointed = 0;       // Moved: references changed
  SnesAddress now = 0;         // where its text is found now (differs from `address` after a move)
  SnesAddress shares = 0;      // another entry point its bytes are shared with (0 when none): it moves
  NotMovedReason notMoved = NotMovedReason::None;  // TooLarge: why it was not moved
  StaleReason stale = StaleReason::Changed;
  std::vector<TextWarning> warnings;  // what its text should be looked at for (TextWarnings)
};

// How an import writes.
struct ImportOptions {
  const TextCompressor* compressor = nullptr;  // dictionary words back as references; null for plain bytes
  bool relocate = true;  // move texts that do not fit into free space of an expanded ROM
  bool dryRun = false;   // work everything out, write nothing
  bool overwriteChanged = false;  // write blocks whose text the ROM holds changed since the export
  bool strict = false;   // a changed text with any warning refuses the whole import
  bool whole = false;    // a changed text that can be neither written nor moved refuses the whole import
};

enum class ImportStatus {
  Done,         // every planned change is in the file (or, on a dry run, would be)
  BadAddress,   // a changed block's address is not where a text starts; nothing was written
  SharedBytes,  // a changed text shares bytes with another entry point and cannot move; nothing was written
  TextTooLong,  // a changed text is longer than the editor shows or the decoder reads; nothing was written
  Warned,       // strict, and changed texts have warnings (the blocks in `changed` that have them); nothing was written
  LockFailed,   // another program holds the ROM; nothing was written
  WriteFailed,  // the write failed; the file holds its old bytes again (unless `damaged`)
  Stopped,      // the progress callback stopped the work; nothing was written
  Incomplete,   // whole, and changed texts are too large or stale (the blocks in `changed` say which); nothing was written
};

// The longest text the edit box shows, in characters and in bytes, and so the longest an import writes.
inline constexpr int64_t kLongestImportedText = 4000;

// The block that refused the whole import, and the numbers that say why.
struct ImportFailure {
  int line = 0;                // TextTooLong, SharedBytes: the text's line; BadAddress: its header's line
  SnesAddress address = 0;     // BadAddress, SharedBytes: where its text is now
  SnesAddress sharedWith = 0;  // SharedBytes: the other entry point into its bytes
  int sharedLine = 0;          // SharedBytes: that text's line in the script, 0 when only a reference leads there
  NotMovedReason notMoved = NotMovedReason::None;  // SharedBytes: why it could not move
  int64_t characters = 0;      // TextTooLong: the text's characters
  int64_t bytes = 0;           // TextTooLong: and bytes

  bool operator==(const ImportFailure&) const = default;
};

struct ImportResult {
  ImportStatus status = ImportStatus::Done;
  ImportFailure failure;            // TextTooLong, BadAddress, SharedBytes: which block refused it
  bool damaged = false;             // WriteFailed: not every old byte could be put back
  WriteStatus writeStatus = WriteStatus::Written;  // WriteFailed: what the file made of the write
  int error = 0;                    // WriteFailed: the system's error number
  int blocks = 0;                   // blocks in the file
  int unchanged = 0;                // blocks whose text is its original, or already in the ROM
  std::vector<BlockReport> changed; // every other block, in file order
  std::vector<ByteChange> changes;  // what was (or, on a dry run or for a copy, would be) written

  int Count(BlockOutcome outcome) const;
  // Every changed block was written or moved.
  bool AllWritten() const { return Count(BlockOutcome::TooLarge) + Count(BlockOutcome::Stale) == 0; }
};

// Works out what the blocks of a parsed script change in the ROM, as one plan (PlanTextWrites):
//   - a block whose text encodes to the same bytes as its original changes nothing, and is not
//     looked at any further;
//   - a block is found where the records and plain pointers it names lead now, so that a text an
//     earlier import moved is found at its new place; the same bytes there change nothing;
//   - a changed block must start where the ROM's listings or references find a text (else the
//     whole import is refused); one whose text the ROM holds changed since the export is stale
//     (unless overwriteChanged);
//   - a text whose bytes another entry point shares is never written in place: it moves, and
//     when it cannot the whole import is refused;
//   - a text that fits in the present string is written over it; one that does not is moved
//     into free space of an expanded ROM (relocate on, ending with the end code), else left;
//   - every changed block carries the warnings of its text against its original; they stop
//     nothing, except that with `strict` any of them refuses the whole import.
// Nothing is written.
ImportResult PlanScriptImport(const RomFile& rom, const std::vector<ScriptBlock>& blocks,
                              const TextDictionary& dictionary, DecoderState& state, const ImportOptions& options,
                              const ScriptProgress& progress = {});

// Plans the import and writes it into the ROM in place, under the file's lock from the first
// read to the last write, in one all-or-nothing write. A dry run writes nothing.
ImportResult ImportScript(RomFile& rom, const std::vector<ScriptBlock>& blocks, const TextDictionary& dictionary,
                          DecoderState& state, const ImportOptions& options, const ScriptProgress& progress = {});

// Writes the file `rom` was opened from, with the planned changes, into `fill`'s stream: the
// file's own bytes (a headerless file stays headerless). For writing an import into a copy.
bool WriteChangedCopy(const RomFile& rom, std::span<const ByteChange> changes, std::FILE* out);

// One line per changed block ("$C50010 (line 7): written, 20 of 24 bytes", "... moved to
// $F00200, 2 references repointed", "... too large by 4 bytes: ...", "... stale: ..."), each
// followed by a line per warning ("    warning: ..."), then a summary line. A dry run says "would
// be". For a strict refusal (Warned): the blocks with warnings, then why nothing was written; for
// a whole one (Incomplete): every block as a dry run tells it, then why nothing was written.
// With `listLine` (the line of the list that shows the text at an address, from 1, or 0), each
// block gives that line beside its line in the script file: "$C50010 (list line 3, script line 7)".
std::string DescribeImport(const ImportResult& result, bool dryRun,
                           const std::function<int(SnesAddress)>& listLine = {});

// The sentence for an import that was refused or failed before its report: TextTooLong,
// BadAddress, SharedBytes, LockFailed and WriteFailed (by its write status). Empty for the others.
std::string DescribeImportFailure(const ImportResult& result);

}  // namespace lettermoor

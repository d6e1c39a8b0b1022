#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/decoder_state.h"
#include "codec/text_compressor.h"
#include "codec/text_decoder.h"
#include "codec/text_dictionary.h"
#include "codec/text_encoder.h"
#include "dialogs/pointer_entry_editor.h"
#include "editor/case_fold.h"
#include "editor/editor_view.h"
#include "entries/reference_index.h"
#include "entries/text_entry.h"
#include "rom/rom_image.h"
#include "script/script_import.h"

namespace lettermoor {

// Texts the main window shows.
namespace editor_text {
inline constexpr const char* kTitleNoRom = "Lettermoor 3.7 - No File Loaded";
inline constexpr const char* kTitleRomOpen = "Lettermoor 3.7 - File Loaded";
inline constexpr const char* kBadRom = "This is an unrecognized ROM.";
inline constexpr const char* kBadRomCaption = "Bad ROM";
inline constexpr const char* kMother2 = "This program does not work with the Mother 2 ROM.";
inline constexpr const char* kMother2Caption = "Mother 2 ROM Not Supported";
inline constexpr const char* kExpanded = "ROM expanded to 0x4001FF bytes.\nHave a nice day!";
inline constexpr const char* kExpandedCaption = "ROM Expanded";
inline constexpr const char* kBracketError =
    "A bracket error was detected.  Make sure all brackets are correct and try again.";
inline constexpr const char* kTooLarge =
    "The new text is larger than the old text.\nShorten the text, or uncheck the Prevent Overwrite box.";
inline constexpr const char* kPreWriteCaption = "Pre-Write Error";
inline constexpr const char* kNotFound = "String not found.";
inline constexpr const char* kNotFoundCaption = "String not found";
inline constexpr const char* kDumped = "Text has been dumped to %s!\nHave a nice day!";
inline constexpr const char* kDumpedCaption = "Text dumped";
inline constexpr const char* kLineFormat = "Line: %d/%d";
inline constexpr const char* kSizeFormat = "Size: %d";
inline constexpr const char* kCurrentSizeFormat = "Current Size: %d (uncompressed)";
inline constexpr const char* kCurrentSizeUnknown = "Current Size: Unknown";
inline constexpr const char* kCurrentSizeCompressedFormat = "Current Size: %d (compressed)";
// Where a bracket error lies, as the size label's hint (columns counted from 1).
inline constexpr const char* kStrayCloseBracket = "Column %d: this \"]\" closes no \"[\".";
inline constexpr const char* kUnclosedOpenBracket = "Column %d: this \"[\" is never closed.";
// Our own texts, for failures the original never reported.
inline constexpr const char* kListingCut =
    "The ROM holds more strings than the list can show: only the first 8000 are listed.";
inline constexpr const char* kListingCutCaption = "Listing incomplete";
inline constexpr const char* kPastEndOfFile =
    "The new text would be written past the end of the ROM file.\nNothing was written.";
inline constexpr const char* kWriteFailed =
    "The text could not be written to the ROM file.\nCheck that the file is still there and writable.";
inline constexpr const char* kWriteFailedCaption = "Write Error";
inline constexpr const char* kWriteFailedRestored =
    "The text could not be written to the ROM file (%s).\nThe file holds its old bytes again.";
inline constexpr const char* kWriteFailedDamaged =
    "The text could not be written to the ROM file (%s), and its old bytes could not all be put back yet.\n"
    "They are kept in a journal beside it and are put back the next time the file is opened.";
inline constexpr const char* kJournalFailed =
    "The change was not written: its rollback journal %s could not be made beside the ROM (%s).\n"
    "Nothing was written to the ROM. Make room or permission in the ROM's folder.";
// What opening (or the next command) found of a change that a crash or kill interrupted.
inline constexpr const char* kRecoveryCaption = "Interrupted Change";
inline constexpr const char* kRecovered = "An interrupted change was undone: %d ranges restored.";
inline constexpr const char* kRecoveryUnwritable =
    "The ROM holds an interrupted change that could not be undone here (%s): what is shown may be "
    "half changed.\nTo recover it, open the ROM where the file and its folder can be written: the "
    "change is then undone from its journal %s.";
inline constexpr const char* kRecoveryForeign =
    "A rollback journal %s lies beside the ROM, but it was made for another file (the ROM was "
    "replaced after a change was interrupted?). It was left alone, and the ROM is shown as it is.\n"
    "Remove the journal once you are sure it is not needed.";
inline constexpr const char* kFileReplaced =
    "The ROM file was moved, replaced or deleted after it was opened. Open it again to go on.";
inline constexpr const char* kFileReplacedCaption = "ROM File Changed";
inline constexpr const char* kReopenQuestion = "Open the file now at %s?";
inline constexpr const char* kReadOnlyRom = "The ROM file is open read-only: nothing was written.";
inline constexpr const char* kTitleRomOpenReadOnly = "Lettermoor 3.7 - File Loaded (read-only)";
inline constexpr const char* kExpandFailedDamaged =
    "The ROM could not be expanded, and the file could not be cut back to its old size.\n"
    "Check the file before going on.";
inline constexpr const char* kDumpIsRom =
    "The dump file %s is the open ROM file itself.\nNothing was dumped: dump to another file.";
inline constexpr const char* kDumpIsBackup =
    "The dump file %s is the ROM's backup copy.\nNothing was dumped: dump to another file.";
inline constexpr const char* kExpandFailed = "The ROM could not be expanded.\nThe file was left as it was.";
inline constexpr const char* kExpandFailedCaption = "Expansion Failed";
inline constexpr const char* kDumpFailed = "The dump file %s could not be written.\nNothing was dumped.";
inline constexpr const char* kDumpFailedCaption = "Dump Failed";
inline constexpr const char* kApplyQuestion = "Apply the changes to line %d?";
inline constexpr const char* kApplyQuestionCaption = "Unapplied Changes";
// Other lines whose text an apply changes (bytes a second entry point shares, or that a longer
// text runs on into): the size label's hint before the write, and after it.
inline constexpr const char* kAlsoChanges = "Writing this also changes the text of %s.";
inline constexpr const char* kAlsoChanged = "This write also changed the text of %s.";
// Moving a text into free space.
inline constexpr const char* kMoveCaption = "Move to Free Space";
inline constexpr const char* kMoved = "Moved line %d to $%06X: %d references repointed.";
inline constexpr const char* kMoveNoEndCode =
    "The text must end with the end code [02] to be moved.\nNothing was written.";
inline constexpr const char* kMoveOfferExpand =
    "This ROM has not been expanded, so it has no free space.\nExpand it now?";
inline constexpr const char* kMoveNotExpanded = "This ROM has not been expanded, so it has no free space.\nNothing was written.";
inline constexpr const char* kMoveNoReferences =
    "Nothing the reference index sees points at this text, so it was not moved.\nNothing was written.";
inline constexpr const char* kMoveNoFreeSpace =
    "The expansion area has no free space left for the %d bytes of this text.\nNothing was written.";
inline constexpr const char* kMoveLockFailed =
    "The ROM file could not be locked for the move.\nNothing was written.";
inline constexpr const char* kMoveFailed =
    "The text could not be moved: a write to the ROM file failed.\nEverything written was put back.";
inline constexpr const char* kMoveFailedUnrestored =
    "The text could not be moved: a write to the ROM file failed, and not every byte could be put "
    "back yet.\nThey are kept in a journal beside it and are put back the next time the file is opened.";
// The script file.
inline constexpr const char* kExportCaption = "Export Script";
inline constexpr const char* kExported = "Exported %d texts of the %s listing to %s.";
inline constexpr const char* kExportFailed = "The script file %s could not be written (%s).\nNothing was exported.";
inline constexpr const char* kScriptIsRom = "The script file %s is the open ROM file itself.\nNothing was written.";
inline constexpr const char* kScriptIsBackup = "The script file %s is the ROM's backup copy.\nNothing was written.";
inline constexpr const char* kImportCaption = "Import Script";
inline constexpr const char* kImportUnreadable = "The script file %s could not be read (%s).\nNothing was written.";
inline constexpr const char* kImportRefused = "The script was not imported; nothing was written.";
inline constexpr const char* kImportOverwriteQuestion =
    "The ROM holds these texts changed since the script was exported (neither the original nor the "
    "script's text). Write the script's text over them?";
inline constexpr const char* kImportReportTitle = "Import Script: %s";
inline constexpr const char* kReadingScript = "Reading the script...";
inline constexpr const char* kWritingScript = "Exporting the script...";
// The copy kept beside the ROM before its first write, and putting it back.
inline constexpr const char* kBackupFailed =
    "The ROM file could not be backed up to %s (%s).\nNothing was written to the ROM.\n"
    "Make room or permission for the copy, or uncheck Options > Keep a Backup to write without one.";
inline constexpr const char* kBackupNotAFile =
    "The ROM file could not be backed up to %s: something that is not a regular file (a folder, a "
    "FIFO, a device) has that name.\nNothing was written to the ROM.\n"
    "Remove or rename it, or uncheck Options > Keep a Backup to write without one.";
inline constexpr const char* kBackupFailedCaption = "Backup Failed";
inline constexpr const char* kRevertCaption = "Revert to Backup";
inline constexpr const char* kRevertQuestion =
    "Put the ROM back as it is kept in %s?\nEvery change written since that copy was made will be lost.";
inline constexpr const char* kRevertNoBackup = "There is no backup %s to revert to.";
inline constexpr const char* kRevertBadBackup =
    "The backup %s is not a ROM this program can put back: its size or layout is not that of a ROM "
    "opened the way this one is.\nNothing was changed.";
inline constexpr const char* kRevertFailed =
    "The backup could not be written to the ROM file (%s).\nThe file holds its old bytes again.";
inline constexpr const char* kRevertFailedDamaged =
    "The backup could not be written to the ROM file (%s), and its old bytes could not be put back.\n"
    "Check the file before going on.";
}  // namespace editor_text

inline constexpr int kEditTextLimit = 4000;
inline constexpr int kListColumnWidth = 439;
inline constexpr size_t kRowPreviewLength = 149;

// How OpenRomPath opens the file.
enum class RomOpenMode {
  UpdateOrView,  // for update, else read-only when writing is not permitted
  Update,        // for update only
  View,          // read-only
};

// What Apply Changes did. Every refusal and failure is also shown in its message box.
enum class ApplyResult {
  Written,        // the text is in the file and the list shows it
  NoEntry,        // no ROM open or no such row: nothing happened and nothing was said
  BracketError,   // refused: the counts of "[" and "]" differ
  TooLarge,       // refused: larger than the old text while Prevent Overwrites is on
  PastEndOfFile,  // refused: the bytes would reach past the end of the file
  NonGameCharacter,  // refused: a character outside brackets is not a game character
  ReadOnly,       // refused: the ROM was opened read-only
  FileReplaced,   // refused: the path no longer names the open file
  WriteFailed,    // the system refused the write; the file holds its old bytes again
  WriteDamaged,   // the system refused the write and the old bytes could not be put back
  BackupFailed,   // the copy to keep before the first write could not be made; nothing was written
  JournalFailed,  // the rollback journal could not be made beside the ROM; nothing was written
};

// What Revert to Backup did.
enum class RevertResult {
  Reverted,    // the file holds the backup's bytes and the list was filled again
  NotAsked,    // no ROM open, read-only, or the user said No: nothing changed
  NoBackup,    // there is no backup file beside the ROM
  BadBackup,   // refused: the backup is not a ROM of the open file's layout
  Failed,      // the write failed (the file holds its old bytes again, or was reported damaged)
};

// What Dump to text file did.
struct DumpResult {
  enum class Outcome {
    Written,  // every row went into the file
    NoRom,    // no ROM open: nothing happened and nothing was said
    Failed,   // the file could not be created or written; an earlier dump is left whole
    IsTheRom, // refused: the dump file is the open ROM itself
    IsTheBackup,  // refused: the dump file is the ROM's backup copy
  };
  Outcome outcome = Outcome::NoRom;
  std::string fileName;  // the dump file's name, as its messages show it
  std::string path;      // where it was (or would have been) written

  bool Written() const { return outcome == Outcome::Written; }
};

// The main window's logic: owner of the open ROM, the modes, the overwrite guard and the entry
// table, driving an EditorView. Every user command and notification enters through a method here.
class EditorWindow {
 public:
  explicit EditorWindow(EditorView& view);

  // Window initialisation: icon, list column, edit limit, defaults, check marks, then CloseRom.
  void Initialise();

  // Runs a menu command by id.
  void OnCommand(CommandId id);

  // File menu.
  void OpenRom();                              // asks the view's open-file dialog
  // As if `path` had been picked in the dialog. The window opens the file for update and, when
  // that is not permitted, read-only; the command-line tool's viewing commands ask for read-only.
  void OpenRomPath(const std::string& path, RomOpenMode mode = RomOpenMode::UpdateOrView);
  void CloseRom();
  void Exit();

  // Options and Tools. A menu command carries no row: those that work on one take the row the
  // list marks (OnCommand asks the view for it).
  void SetListingMode(ListingMode mode);
  void SetDisplayMode(int mode, int row);  // 1 text and codes, 0 codes only; `row` is re-shown
  void TogglePreventOverwrites();
  // Options > Compress with Dictionary: the live size, the overwrite guard and Apply then use
  // the compressed encoding. Off at first; SetCompressWithDictionary restores a remembered choice.
  void ToggleCompressWithDictionary() { SetCompressWithDictionary(!compressWithDictionary_); }
  void SetCompressWithDictionary(bool on);
  // Options > Keep a Backup: before the first write after a ROM is opened, a copy of it is kept
  // beside it (x.smc.bak). On at first; SetKeepBackup restores a remembered choice.
  void SetKeepBackup(bool on);
  bool KeepBackup() const { return keepBackup_; }
  // Where the open ROM's copy is kept; empty when no ROM is open.
  std::string BackupPath() const;
  // True when writing to `path` would replace the ROM's copy: the same file (by any name or
  // link), or its path while there is none yet. Outputs of the window refuse it.
  bool IsTheBackup(const std::string& path) const;
  // Every write path of the window calls this before it writes, so that the copy exists before
  // the first byte changes: gives true when writing may go on, false (after telling the user)
  // when the copy could not be made (or the file cannot be written now), with what the file said
  // in `status`. The ROM file refuses any write whose copy failed as well.
  bool EnsureBackup(WriteStatus* status = nullptr);
  // File > Revert to Backup: after a confirmation, writes the backup's bytes through the open
  // file and fills the list again, keeping the marked row where it can.
  RevertResult RevertToBackup();
  // Grays or enables Revert to Backup: a ROM open for update, with its backup beside it.
  void EnableRevertItem();
  // Grown or AlreadyLarge when the ROM is expanded now (then "ROM Expanded" was shown).
  GrowResult ExpandRom();
  DumpResult DumpToTextFile();
  // Edit TPT entry: the pointer entry editor over the row's record or plain pointer.
  PointerEditResult EditTextPointerEntry(int row);
  // View current details: gives false when there is no such row and nothing opened.
  bool OpenDetails(int row);
  // Tools > Find References: the references window for the text of `row`.
  void FindReferences(int row);
  // Tools > Move to Free Space: `text` into free space as row `row`'s text, every reference to
  // that text repointed to it. Gives whether the text was moved.
  bool MoveToFreeSpace(int row, std::string_view text);
  // File > Export Script...: the current listing's script file, written where the user picks.
  // Gives true when it was written.
  bool ExportScriptFile();
  // File > Import Script...: reads the script file the user picks and writes its changed texts
  // (compressed, moved to free space when they do not fit), then shows the report and fills the
  // list again with the marked row kept. Gives nothing when nothing was tried (no ROM, cancelled,
  // typed work kept, a file that could not be read or was refused).
  std::optional<ImportResult> ImportScriptFile();
  // The references window was closed by the user.
  void OnReferencesClosed();
  // Shows the references window's page again when it is open: after every write, and when the
  // window comes to the front (another program may have changed the file meanwhile).
  void RefreshReferencesWindow();

  // Where Dump to text file writes: the window sets the ROM's folder when a ROM is picked, the
  // command-line tool its working directory. Empty means the process's working directory.
  void SetDumpFolder(std::string folder) { dumpFolder_ = std::move(folder); }
  const std::string& DumpFolder() const { return dumpFolder_; }

  // List and edit box notifications, with the row the list marks and the edit box's text.
  // The user moved the selection mark, by whatever gesture: the marked entry is shown.
  void OnListMarkMoved(int row);
  void OnListClick(int row);
  void OnListKey(int row);
  void OnListDoubleClick(int row);
  void OnListRightClick(int row);
  void OnEditChanged(std::string_view text);
  void OnEditFocus(bool gained);
  // The window is about to end (close box, Escape): gives false when the user chose to stay.
  bool OnCloseRequest();

  // True when the edit box no longer holds what the entry view put there.
  bool HasUnappliedEdit() const;

  // The entry view.
  void ShowEntry(int row);
  void UpdateCurrentSize();
  // The Apply Changes button: writes `text` over the string of `row`.
  ApplyResult ApplyChanges(int row, std::string_view text);
  void SelectRow(int row);
  void RefreshSharedRows(int row);
  void FillEntryList();
  std::string RowPreview(int entry);

  // One press of Find in the search window: selects the first matching row after `after` and
  // gives it, or shows "String not found." and gives nothing.
  std::optional<int> FindNext(std::string_view query, int after);

  // State, for the dialogs, the command-line tool and tests.
  bool IsRomOpen() const { return rom_.IsLoaded(); }
  bool IsReadOnly() const { return rom_.IsLoaded() && rom_.handle->IsReadOnly(); }
  // The system's error number of the last open that found no file to open (0 after a success).
  int LastOpenError() const { return lastOpenError_; }
  RomImage& Rom() { return rom_; }
  const RomImage& Rom() const { return rom_; }
  ListingMode Listing() const { return listingMode_; }
  int Display() const { return displayMode_; }
  bool PreventOverwrites() const { return preventOverwrites_; }
  bool CompressWithDictionary() const { return compressWithDictionary_; }
  // The compressor for the dictionary loaded last, made on first use after each load.
  const TextCompressor& Compressor();
  // What the text encodes to with the current choice of encoder: MeasureText, or the compressed
  // size; negative when the brackets are refused.
  int32_t MeasureEdit(std::string_view text);
  TextEntryTable& Table() { return table_; }
  const TextEntryTable& Table() const { return table_; }
  TextDecoder& Decoder() { return decoder_; }
  DecoderState& State() { return state_; }
  EditorView& View() { return view_; }

  // The text of entry `row` as the edit box shows it in the text-and-codes mode (bracketed codes).
  std::string DecodeEntry(int row, int32_t* size = nullptr);

  // Who points where in the open ROM, rebuilt whenever the file has changed since it was made
  // (a write of ours or another program's). Empty when no ROM is open.
  const ReferenceIndex& References();

  // The rows of the listing whose strings (as they are now) have bytes in the `newSize` bytes
  // written at row `row`'s text past its present end: what an apply of that size overwrites.
  std::vector<int> RowsOverwrittenBy(int row, int32_t newSize);

  // The other rows whose text a write of `text` over row `row`'s string changes: the rows whose
  // strings, as they are now, hold a byte the write changes (a second entry point into the
  // string, a string it starts inside, or one that a longer text runs on into). Rows showing the
  // same text are not counted. Empty for a text that cannot be encoded.
  std::vector<int> RowsChangedBy(int row, std::string_view text);
  // What the last Apply Changes that wrote changed of other rows (RowsChangedBy before its write).
  const std::vector<int>& RowsChangedByLastApply() const { return changedByApply_; }

  // Writes the dump of the current listing (one bracketed text and "\n" per row) to `out`.
  // Gives false when a write failed.
  bool WriteDump(std::FILE* out);

 private:
  // The open file, first brought in step with changes other programs made to it; null when no
  // ROM is open.
  RomFile* SyncedRom();
  int64_t EntryOffset(int row) const;
  // Asks for a listed row's bytes ahead of its decode (searches and dumps look at the file once
  // per command, then decode row after row from the mirror).
  void PrefetchRow(const RomFile& rom, int row) const;
  static constexpr int kPrefetchDistance = 8;
  void ReplaceRow(int row, const std::string& text);
  // Apply's checks and write, without a word to the view.
  ApplyResult WriteEntry(RomFile& rom, int row, std::string_view text);
  // In the pointer listing, gives each row the text address its record or plain pointer holds
  // in the file now and shows that text in the row: another program may have moved texts since
  // the list was filled. Called under a Hold, so that a write that follows lands where they are.
  void FollowMovedTexts(const RomFile& rom);
  // Puts a text into the edit box and remembers it: the size label measures what the box holds.
  void SetEditText(std::string text);
  // Asks about unapplied edits before they would be dropped. Gives true when the caller may go
  // on (nothing to ask, discarded, or applied), false when the user cancelled or the apply was
  // refused.
  bool SettleUnappliedEdit();
  // Tells why a write went wrong; for a file that was moved or replaced, offers to open the file
  // now at the path.
  void ReportWriteFailure(WriteStatus status, int error);
  void EnableMoveItem();
  void ReportBackupFailure(int error);
  // Says what the last taking of the ROM's lock found of an interrupted change, if anything.
  void ReportRecovery(const Recovery& found);
  // The items that depend on whether the ROM is expanded.
  void EnableSizeItems();

  EditorView& view_;
  RomImage rom_;
  ListingMode listingMode_ = ListingMode::PointerTableListing;
  int displayMode_ = 1;
  bool preventOverwrites_ = true;
  std::string editText_;  // what the edit box holds: set here or reported by OnEditChanged
  std::string dumpFolder_;
  int lastOpenError_ = 0;
  WriteTextResult lastWrite_;  // the last write of Apply, for its message
  // The other rows the last apply changed: the size label's hint says so until another entry is
  // shown or the text is edited.
  std::vector<int> changedByApply_;
  bool compressWithDictionary_ = false;
  bool keepBackup_ = true;
  std::optional<TextCompressor> compressor_;
  TextCompressor::Scratch compressorScratch_;  // kept between keystrokes: measuring allocates nothing
  TextEntryTable table_;
  std::string shownText_;  // what the program last put there: typed work differs from it
  TextDictionary dictionary_;
  DecoderState state_;
  TextDecoder decoder_{dictionary_, state_};
  ReferenceIndex references_;
  uint64_t referencesVersion_ = 0;  // the file version the index was built at; 0 for none
  // The text the references window shows, while it is open.
  std::optional<SnesAddress> referencesShown_;
};

// The plain search: the first row after `mark` whose bracketed text, upper-cased (a-z only),
// contains the upper-cased query. `decode(row)` gives a row's bracketed text.
template <typename Decode>
std::optional<int> FindNextRow(std::string_view query, int mark, int rowCount, Decode&& decode);

// Where the first bracket fault of `text` lies ("Column %d: ..."), or empty when its brackets
// pair up.
std::string BracketFaultHint(std::string_view text);

// Why the copy at `backupPath` could not be kept (the message of a failed backup).
std::string DescribeBackupFailure(const std::string& backupPath, int error);

// "ptrlist.txt", "rawlist.txt" or "explist.txt".
const char* DumpFileName(ListingMode mode);

// True when the command line carries the embedding or automation switch: then no window is made.
bool HasEmbeddingSwitch(const std::vector<std::string>& arguments);

template <typename Decode>
std::optional<int> FindNextRow(std::string_view query, int mark, int rowCount, Decode&& decode) {
  const std::string needle = UpperCaseAscii(query);
  for (int row = mark + 1; row < rowCount; ++row) {
    if (row < 0) continue;
    if (UpperCaseAscii(decode(row)).find(needle) != std::string::npos) return row;
  }
  return std::nullopt;
}

}  // namespace lettermoor

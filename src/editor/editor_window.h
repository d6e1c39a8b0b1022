#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/document.h"
#include "document/case_fold.h"
#include "document/document_text.h"
#include "editor/editor_view.h"

namespace lettermoor {


inline constexpr int kListColumnWidth = 439;

// The main window's presenter: the open ROM is a Document; this shows its results to an
// EditorView (list rows, labels, message boxes) and keeps only what the window shows: the modes,
// the overwrite guard, the edit box's text. Every user command and notification enters here.
// Its methods live in one file per feature: editor_window.cpp (open, modes, entry, apply),
// editor_backup.cpp (backup, revert, expand), editor_search.cpp (search, dump),
// editor_references.cpp (references, move, pointer entry, details), editor_script.cpp,
// editor_patch.cpp, editor_replace.cpp, editor_original.cpp (the original ROM beside the open one).
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
  // that is not permitted, read-only.
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
  bool KeepBackup() const { return doc_.KeepBackup(); }
  // Options > Keep the Checksum Right: every write also fixes the SNES header's checksum pair, in
  // the same change. Off at first; SetKeepChecksumRight restores a remembered choice.
  void SetKeepChecksumRight(bool on);
  bool KeepChecksumRight() const { return doc_.KeepChecksumRight(); }
  // Tools > Run in Emulator: after asking about typed work not applied, the view starts the
  // emulator on the open ROM's file. Gives whether it was asked to.
  bool RunInEmulator();
  // Where the open ROM's copy is kept; empty when no ROM is open.
  std::string BackupPath() const { return doc_.BackupPath(); }
  // True when writing to `path` would replace the ROM's copy. Outputs of the window refuse it.
  bool IsTheBackup(const std::string& path) const { return doc_.IsTheBackup(path); }
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
  // File > Create Patch...: a patch from the ROM's original (Options > Original ROM, asked for
  // when none is remembered) to the ROM file on disk, written where the user picks. Typed work is
  // asked about first. Gives true when the patch was written.
  bool MakePatch();
  // File > Apply Patch to a Copy...: the ROM file patched into a new file the user picks, then
  // offered to be opened. Gives true when the copy was written.
  bool ApplyPatchToCopy();
  // Tools > Check Consistency: texts translated two ways, and texts left as the original, in the
  // consistency window; false (and a message) without an original ROM.
  bool CheckConsistency();
  // Edit > Replace in All Texts...: after typed work is settled, the window; the texts the user
  // leaves ticked there are written (ReplaceTexts). Gives nothing when nothing was tried.
  std::optional<ImportResult> ReplaceInAllTexts();
  // One Find of that window: the texts of the listing that hold the query. A replacement that
  // would make a text unwritable is told, and nothing is found.
  ReplaceSearch FindReplacements(const ReplaceQuery& query);
  // Writes the chosen texts as one change, all or none (compressed, moved to free space when they
  // do not fit, as an import), then fills the list again and shows the report.
  ImportResult ReplaceTexts(const ReplaceChoice& choice);
  // Options > Original ROM...: the unmodified ROM the user picks, checked against the open one
  // (a refusal says why and keeps the one in use) and remembered for this ROM.
  void ChooseOriginal();
  // Options > Forget Original ROM: no original, and none remembered for this ROM.
  void ForgetOriginal();
  // Options > Character Table...: the table the user picks (remembered for this ROM), or none.
  void ChooseTable();
  // Edit > Find Next Untranslated: selects the first row after the marked one (wrapping round)
  // whose text is still its original's, after asking about typed work; gives it, or says in the
  // status bar that none is left and gives nothing.
  std::optional<int> FindNextUntranslated();
  // File > History...: the history window (EditorView::RunHistoryWindow).
  void ShowHistory();
  // The history's entries, newest first, as the file holds them now.
  std::vector<HistoryEntry> HistoryEntries();
  // Takes back history entry `id` (0: Edit > Undo Last Change, the newest not undone) after typed
  // work is settled; the list and the shown entry are filled again, the mark kept. A refusal is
  // told and writes nothing.
  UndoOutcome UndoChange(uint64_t id);
  // The references window was closed by the user.
  void OnReferencesClosed();
  // A line chosen in the references window (double-click or Enter): `row` is selected, once
  // typed work on another row has been asked about.
  void GoToReferenceLine(int row);
  // Shows the references window's page again when it is open: after every write, and when the
  // window comes to the front (another program may have changed the file meanwhile).
  void RefreshReferencesWindow();

  // Where Dump to text file writes: the window sets the ROM's folder when a ROM is picked.
  // Empty means the process's working directory.
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
  // The status bar's line for the edit box's text, laid out as the preview lays it out. A view
  // calls it after a keystroke is drawn (it is not part of the keystroke's own work); a shown
  // entry updates it at once.
  void UpdateTextStatus();
  // The Apply Changes button: writes `text` over the string of `row`.
  ApplyResult ApplyChanges(int row, std::string_view text);
  void SelectRow(int row);
  void RefreshSharedRows(int row);
  void FillEntryList();
  std::string RowPreview(int entry) { return doc_.RowPreview(entry); }

  // One press of Find in the search window: selects the first matching row after `after` and
  // gives it, or shows "String not found." and gives nothing.
  std::optional<int> FindNext(std::string_view query, int after);

  // State, for the dialogs and tests.
  Document& Doc() { return doc_; }
  bool IsRomOpen() const { return doc_.IsOpen(); }
  bool IsReadOnly() const { return doc_.IsReadOnly(); }
  // The system's error number of the last open that found no file to open (0 after a success).
  int LastOpenError() const { return lastOpenError_; }
  RomImage& Rom() { return doc_.Rom(); }
  const RomImage& Rom() const { return doc_.Rom(); }
  ListingMode Listing() const { return doc_.Mode(); }
  int Display() const { return displayMode_; }
  bool PreventOverwrites() const { return preventOverwrites_; }
  bool CompressWithDictionary() const { return compressWithDictionary_; }
  const TextCompressor& Compressor() { return doc_.Compressor(); }
  // What the text encodes to with the current choice of encoder; negative when refused.
  int32_t MeasureEdit(std::string_view text) { return doc_.Measure(text, compressWithDictionary_); }
  TextEntryTable& Table() { return doc_.Table(); }
  const TextEntryTable& Table() const { return doc_.Table(); }
  TextDecoder& Decoder() { return doc_.Decoder(); }
  DecoderState& State() { return doc_.State(); }
  EditorView& View() { return view_; }

  // The text of entry `row` as the edit box shows it in the text-and-codes mode (bracketed codes).
  std::string DecodeEntry(int row, int32_t* size = nullptr) { return doc_.EntryText(row, size); }

  // Who points where in the open ROM. Empty when no ROM is open.
  const ReferenceIndex& References() { return doc_.References(); }

  // The rows of the listing whose strings (as they are now) have bytes in the `newSize` bytes
  // written at row `row`'s text past its present end: what an apply of that size overwrites.
  std::vector<int> RowsOverwrittenBy(int row, int32_t newSize) { return doc_.RowsOverwrittenBy(row, newSize); }

  // The other rows whose text a write of `text` over row `row`'s string changes (Document).
  std::vector<int> RowsChangedBy(int row, std::string_view text) {
    return doc_.RowsChangedBy(row, text, compressWithDictionary_);
  }
  // What the last Apply Changes that wrote changed of other rows (RowsChangedBy before its write).
  const std::vector<int>& RowsChangedByLastApply() const { return changedByApply_; }

  // Writes the dump of the current listing (one bracketed text and "\n" per row) to `out`.
  // Gives false when a write failed.
  bool WriteDump(std::FILE* out) { SyncedRom(); return doc_.WriteDump(out); }

 private:
  // The open file, first brought in step with changes other programs made to it (and what that
  // found of an interrupted change told); null when no ROM is open.
  RomFile* SyncedRom();
  void ReplaceRow(int row, const std::string& text);
  void ReplaceRows(const std::vector<int>& rows);
  // Puts a text into the edit box and remembers it: the size label measures what the box holds.
  void SetEditText(std::string text);
  // Asks about unapplied edits before they would be dropped. Gives true when the caller may go
  // on (nothing to ask, discarded, or applied), false when the user cancelled or the apply was
  // refused.
  bool SettleUnappliedEdit();
  void ShowWarning(const std::string& text, const char* caption);
  // Says in the status bar when the last write dropped the history's oldest entries.
  void NoteHistoryTrimmed();
  // Tells why a write went wrong; for a file that was moved or replaced, offers to open the file
  // now at the path.
  void ReportWriteFailure(WriteStatus status, int error);
  std::string JournalPath() const;
  void ReportApplyRefusal(const ApplyOutcome& outcome);
  void EnableMoveItem();
  // Says what the last taking of the ROM's lock found of an interrupted change, if anything.
  void ReportRecovery(const Recovery& found);
  // The items that depend on whether the ROM is expanded.
  void EnableSizeItems();
  void CheckListingItems();
  // The size label's hint: other lines the write changes, and the end code.
  std::string SizeHint(std::string_view text, int32_t size, const std::vector<uint8_t>& plain);
  // The text a moved text's rows lead to now; the references window follows it.
  void ShowMovedText(int row, const TextMoveOutcome& moved);
  bool RefuseMove(const TextMoveOutcome& moved);
  // `head` goes above the report (a PO file's counts); `caption` heads a refusal's message.
  void AfterImport(const ImportResult& result, int mark, const std::string& title, const char* caption,
                   const std::string& head = "");
  // The original remembered for the ROM just opened; one now refused or gone is forgotten.
  void LoadRememberedOriginal();
  // The open ROM's table: the one remembered for it, else the one beside it (game.tbl).
  void LoadTable();
  void AfterOriginalChange();
  void EnableOriginalItems();
  // The original text of `row` above the edit box, or none shown without an original.
  void ShowOriginal(int row);
  // The list's translated marks and the progress line, for the whole listing as it is now.
  void ShowTranslations();

  EditorView& view_;
  Document doc_;
  int displayMode_ = 1;
  bool preventOverwrites_ = true;
  bool compressWithDictionary_ = false;
  std::string editText_;   // what the edit box holds: set here or reported by OnEditChanged
  std::string shownText_;  // what the program last put there: typed work differs from it
  std::string dumpFolder_;
  int lastOpenError_ = 0;
  // The other rows the last apply changed: the size label's hint says so until another entry is
  // shown or the text is edited.
  std::vector<int> changedByApply_;
  // The fonts the status bar's fit is measured with, read again once the file has changed.
  TextPreviewer previewer_;
  uint64_t fontsVersion_ = 0;  // the file version the previewer's fonts were read at; 0 for none
  TextPreview fit_;
  // The text the references window shows, while it is open.
  std::optional<SnesAddress> referencesShown_;
};

// The plain search: the first row after `mark` whose bracketed text, upper-cased (a-z only),
// contains the upper-cased query. `decode(row)` gives a row's bracketed text.
template <typename Decode>
std::optional<int> FindNextRow(std::string_view query, int mark, int rowCount, Decode&& decode);

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

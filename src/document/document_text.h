#pragma once

// The words of the editor's messages, made at the edges (the window's message boxes, the
// command-line tool's lines) from the document's result values. Each sentence is written once.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "codec/font_sheet.h"
#include "codec/text_spans.h"
#include "document/document.h"
#include "document/references_page.h"
#include "rom/rom_file.h"

namespace lettermoor {

// Texts the main window shows (the tool prints the same ones).
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
// The edit box's hints over a code, a fault or a character, and the size label's for a fault.
inline constexpr const char* kNotAGameCharacter =
    "Column %d: %s is not a game character. Write its byte as a bracketed code, for example [02].";
inline constexpr const char* kUndescribedCode = "Code %s: not described";
inline constexpr const char* kCharacterByte = "The character \"%c\"";
inline constexpr const char* kDictionaryWordBytes = "A dictionary word (%s)";
// The status bar's line about the edit box's text.
inline constexpr const char* kTextStatusFits = "%s, %s: fits the text window";
inline constexpr const char* kTextStatusRunsOver = "%s, %s: %s not fit the text window";
inline constexpr const char* kTextStatusNoFont = "%s: the text window's font cannot be read";
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
// The last %s is "s" for any count but 1.
inline constexpr const char* kMoved = "Moved line %d to $%06X: %d reference%s repointed.";
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
inline constexpr const char* kReplaceCaption = "Replace in All Texts";
inline constexpr const char* kReplaceReportTitle = "Replace in All Texts: \"%s\" by \"%s\"";
inline constexpr const char* kReplacing = "Replacing...";
inline constexpr const char* kReplaceFault =
    "With the replacement, the text of line %d would not be one the ROM can hold (column %d: %s).\n"
    "Nothing was replaced.";
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
inline constexpr const char* kConsistencyCaption = "Check Consistency";
inline constexpr const char* kConsistencyTitle = "Consistency";
inline constexpr const char* kConsistencyNeedsOriginal =
    "Choose the original ROM first (Options > Original ROM...): the check compares each text with it.";
inline constexpr const char* kConsistencyClean = "Every original text is translated one way, and no line with letters is left as the original.";
inline constexpr const char* kOriginalCaption = "Original ROM";
inline constexpr const char* kOriginalForgotten = "The remembered original ROM was forgotten: %s";
inline constexpr const char* kTableCaption = "Character Table";
inline constexpr const char* kTableInUse = "Table: %s";
inline constexpr const char* kNoUntranslated = "Every line differs from the original: none is left untranslated.";
inline constexpr const char* kTranslatedProgress = "Translated: %d of %d lines (%d%%)";
inline constexpr const char* kOriginalUnreadable = "The original ROM %s could not be opened (%s).";
inline constexpr const char* kOriginalNotARom = "%s is not a ROM of this game, so it cannot be the original.";
inline constexpr const char* kOriginalIsTheRom = "%s is the open ROM itself: choose an unmodified copy as the original.";
inline constexpr const char* kOriginalIsTheBackup =
    "%s is the open ROM's backup, a copy made before some write, not the unmodified original: "
    "choose the ROM as it was before any change.";
inline constexpr const char* kOriginalTitleDiffers = "The title in %s is not the open ROM's, so it cannot be its original.";
inline constexpr const char* kOriginalSizeDiffers =
    "%s holds %lld bytes; the open ROM holds %lld, so it cannot be its original (an original may also be the "
    "size the ROM had before it was expanded).";
// The history of changes and undoing one.
inline constexpr const char* kHistoryTitle = "History";
inline constexpr const char* kUndoCaption = "Undo";
inline constexpr const char* kUndone = "Change %llu was undone.";
inline constexpr const char* kUndoChangedLater =
    "Change %llu was not undone: change %llu, made after it, changed the same bytes since.\n"
    "Undo that one first. Nothing was written.";
inline constexpr const char* kUndoChangedOutside =
    "Change %llu was not undone: the ROM no longer holds the bytes it wrote (another program changed them).\n"
    "Nothing was written.";
inline constexpr const char* kUndoNoEntry = "There is no change %llu in the history.";
inline constexpr const char* kNothingToUndo = "There is no change left to undo.";
inline constexpr const char* kHistoryTrimmed =
    "The history of changes reached its limit of 64 MB: its oldest entries were dropped.";
inline constexpr const char* kHistoryEmpty = "No change has been written to this ROM yet.";
}  // namespace editor_text

namespace detail {
inline const char* FormatArg(const std::string& s) { return s.c_str(); }
template <typename T>
T FormatArg(T v) {
  return v;
}
}  // namespace detail

// printf-style text with std::string arguments taken as their characters.
template <typename... Args>
std::string FormatText(const char* format, const Args&... args) {
  const int n = std::snprintf(nullptr, 0, format, detail::FormatArg(args)...);
  std::string out(static_cast<size_t>(n), '\0');
  std::snprintf(out.data(), out.size() + 1, format, detail::FormatArg(args)...);
  return out;
}

// "line 2" or "lines 2, 5" for rows counted from 0.
std::string LineNames(const std::vector<int>& rows);

// Where the first bracket fault of `text` lies ("Column %d: ..."), or empty when its brackets
// pair up.
std::string BracketFaultHint(std::string_view text);

// "1 line", "2 lines": a count and its noun, singular or plural.
std::string CountOf(int count, const char* singular, const char* plural);

// The status bar's line for the edit box's text of `characters` laid out as `preview` (null when
// the window's font cannot be read).
std::string DescribeTextStatus(int characters, const TextPreview* preview);

// What one span of the edit box's text is, in words: a code's description with its arguments
// filled in (as the details window's listing gives it), or what is wrong. Empty for a bracket.
std::string DescribeTextSpan(const TextSpan& span);
// The hint over the character at `position` (counted from 0): each span there, one per line.
std::string TextHintAt(const std::vector<TextSpan>& spans, int32_t position);
// The size label's hint for a text the encoder refuses: what is wrong and where; empty when
// nothing is.
std::string EditFaultHint(std::string_view text, const CharacterTable* characters = nullptr);

// Why the copy at `backupPath` could not be kept (the message of a failed backup).
std::string DescribeBackupFailure(const std::string& backupPath, int error);

// What a refused or failed write says, for a file whose journal is `journalPath`; empty for a
// write that was done, and for a file that was replaced (the window offers to open it again).
std::string DescribeWriteFailure(WriteStatus status, int error, const std::string& backupPath,
                                 const std::string& journalPath);

// The caption of a refused or failed write's message box.
const char* WriteFailureCaption(WriteStatus status);

// Why Apply Changes wrote nothing (or failed); empty for a write that was done or nothing tried,
// and for a file that was replaced (see DescribeWriteFailure).
std::string DescribeApplyRefusal(const ApplyOutcome& outcome, const std::string& backupPath,
                                 const std::string& journalPath);

// Why Move to Free Space moved nothing; empty when it moved the text, for nothing tried, and for a
// file that was replaced.
std::string DescribeMoveRefusal(const TextMoveOutcome& moved, const std::string& backupPath,
                                const std::string& journalPath);

// What Expand ROM did: "ROM expanded..." or why not (empty for a replaced file or nothing tried).
std::string DescribeExpand(const ExpandOutcome& outcome, const std::string& backupPath,
                           const std::string& journalPath);

// What the taking of the ROM's lock found of an interrupted change; empty when nothing.
std::string DescribeRecovery(const Recovery& found);

// "Translated: 812 of 2359 lines (34%)": the share rounded down, so 100% means every line.
std::string DescribeProgress(const Document::Progress& progress);

// Why an original ROM was refused; empty when it was taken. `name` is how the file is called.
std::string DescribeOriginalRefusal(const OriginalOutcome& outcome, const std::string& name);

// "Translated 2 ways: ORIGINAL" or "Left as the original: ORIGINAL".
std::string DescribeConsistencyHeading(const ConsistencyFinding& finding);

// The consistency window's page: for each finding a row per text and line (an original translated
// two ways gets a row of its own first, without a line).
ReferencesPage ConsistencyPage(const std::vector<ConsistencyFinding>& findings);

// A history entry's kind, time ("2026-12-08 14:05:00", local), lines ("6, 9" counted from 1) and
// preview ("old" -> "new", or the first bytes in hexadecimal), "(undone)" added when it was.
const char* ChangeKindName(ChangeKind kind);
std::string HistoryTime(int64_t time);
std::string HistoryLines(const HistoryEntry& entry);
std::string HistoryPreview(const HistoryEntry& entry);
// One line of `history`: number, time, kind, lines, preview.
std::string DescribeHistoryEntry(const HistoryEntry& entry);
// What an undo did: "Change 3 was undone." or why not.
std::string DescribeUndo(const UndoOutcome& outcome, const std::string& backupPath, const std::string& journalPath);

// "3 original texts translated more than one way, 12 texts left as the original."
std::string DescribeConsistencyCount(const std::vector<ConsistencyFinding>& findings);

// Why a font picture was not taken, with what was expected; empty when it was.
std::string DescribeSheetRefusal(const FontSheetReading& reading);

// What writing a font did: "3 bytes of the font changed." or "Nothing changed ...", or why it failed.
std::string DescribeFontWrite(const FontWriteOutcome& outcome, const std::string& backupPath,
                              const std::string& journalPath);
// Why the character table at `path` was not loaded: its file name, line and the reason.
std::string DescribeTableLoad(const std::string& path, const TableLoad& load);

}  // namespace lettermoor

#pragma once

// An open ROM as one object: its file, listing, dictionary, decoder and reference index, with
// every operation the window and the command-line tool offer. Operations take their inputs as
// arguments and give results as values; no words, no view. The window presents the results (its
// message boxes, list rows); the tool prints them.

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/character_table.h"
#include "codec/decoder_state.h"
#include "entries/layout_check.h"
#include "codec/text_compressor.h"
#include "codec/text_decoder.h"
#include "codec/text_encoder.h"
#include "codec/text_dictionary.h"
#include "codec/text_preview.h"
#include "dialogs/details_page.h"
#include "dialogs/pointer_entry_editor.h"
#include "document/consistency.h"
#include "document/original_rom.h"
#include "document/row_list.h"
#include "document/text_replace.h"
#include "entries/reference_index.h"
#include "entries/text_entry.h"
#include "entries/text_entry_table.h"
#include "entries/text_move.h"
#include "rom/header_checksum.h"
#include "rom/rom_image.h"
#include "script/script_file.h"
#include "script/script_import.h"

namespace lettermoor {

inline constexpr int kEditTextLimit = 4000;
inline constexpr size_t kRowPreviewLength = 149;

// How a ROM is opened.
enum class RomOpenMode {
  UpdateOrView,  // for update, else read-only when writing is not permitted
  Update,        // for update only
  View,          // read-only
};

// A file opened as a ROM, not yet the document's: the window settles typed work before it takes it.
struct OpenedRom {
  std::unique_ptr<RomFile> file;  // null when it could not be opened
  std::string path;
  int error = 0;                  // the system's error number when there is no file
  RomType type = RomType::Unrecognized;
  Recovery recovery;              // what opening found of an interrupted change
  // A recognised ROM: the document may take it.
  bool Usable() const { return file && (type == RomType::EarthBound || type == RomType::EarthBoundBad); }
};

// What Apply Changes did.
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

// How a text is written: the window's options, the tool's flags.
struct WriteOptions {
  bool preventOverwrites = true;  // a text larger than the old one is refused
  bool compress = false;          // dictionary words go back as references
};

struct ApplyOutcome {
  ApplyResult result = ApplyResult::NoEntry;
  WriteStatus status = WriteStatus::Written;  // what the file said, for the write failures
  int error = 0;
  // BracketError, NonGameCharacter: where (counted in characters from 1), and which character.
  int column = 0;
  NonGameCharacter character;
  // Other rows whose text the write changed (bytes they share with it), worked out before it.
  std::vector<int> changedRows;
  // Rows whose text another program moved since the list was filled: they lead there now.
  std::vector<int> followedRows;
};

// One change of the history, as the History window and `history` list it.
struct HistoryEntry {
  uint64_t id = 0;  // what Undo takes
  int64_t time = 0;  // seconds since 1970
  ChangeKind kind = ChangeKind::Change;
  std::vector<int32_t> lines;  // the listing's rows, from 0
  std::string before, after;   // its texts, when the writer had them
  std::vector<uint8_t> oldBytes, newBytes;  // the first bytes of its first range, for a preview without texts
  int64_t bytes = 0;           // how many bytes it changed
  uint64_t undoes = 0;         // an Undo: the entry it took back
  bool undone = false;         // a later undo took it back
};

enum class UndoResult {
  Undone,          // the entry's old bytes are back, written as a new change
  NoEntry,         // no ROM open or no such entry: nothing happened
  NothingToUndo,   // Undo Last Change with no change left to take back
  ChangedLater,    // refused: a later entry (`by`) changed its bytes since; nothing written
  ChangedOutside,  // refused: the bytes differ, though no later entry touched them; nothing written
  WriteFailed,     // the write was refused or failed (`status`)
};

struct UndoOutcome {
  UndoResult result = UndoResult::NoEntry;
  uint64_t entry = 0;  // the entry taken back (or refused)
  uint64_t by = 0;     // ChangedLater: the later entry
  WriteStatus status = WriteStatus::Written;
  int error = 0;
  bool listingReset = false;  // the expanded listing went with the expansion: the pointer one shows
};

// What Revert to Backup did.
enum class RevertResult {
  Reverted,    // the file holds the backup's bytes and the list was filled again
  NotAsked,    // no ROM open, read-only, or the user said No: nothing changed
  NoBackup,    // there is no backup file beside the ROM
  BadBackup,   // refused: the backup is not a ROM of the open file's layout
  Failed,      // the write failed (the file holds its old bytes again, or was reported damaged)
};

struct RevertOutcome {
  RevertResult result = RevertResult::NotAsked;
  WriteStatus status = WriteStatus::Written;
  int error = 0;
  bool listingReset = false;  // the expanded listing went with the expansion: the pointer one shows
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
  int error = 0;

  bool Written() const { return outcome == Outcome::Written; }
};

struct ExpandOutcome {
  GrowResult result = GrowResult::NotOpen;
  WriteStatus backupStatus = WriteStatus::Written;  // the copy kept first
  int error = 0;
  // The file was left as it was because it could not be written now (the copy failed, opened
  // read-only, replaced, no journal): the refusal as a write's status, told as any refused write
  // is. Written when it is not such a refusal.
  WriteStatus RefusedWrite() const;
};

// Move to Free Space: refused before the move (`refusal`), or the move's own result.
enum class MoveRefusal { None, NoEntry, BracketError, NonGameCharacter, NoEndCode, NotExpanded };
struct TextMoveOutcome {
  MoveRefusal refusal = MoveRefusal::None;
  NonGameCharacter character;  // NonGameCharacter: which one
  WriteResult backup;  // the copy kept before the move
  MoveResult move;     // when not refused
  SnesAddress from = 0;
  int32_t bytes = 0;   // the encoded size
  std::vector<int> followedRows;
  bool Moved() const { return refusal == MoveRefusal::None && backup && move.outcome == MoveOutcome::Moved; }
  // A write refused before anything was written (the copy, a replaced file, no journal), as a
  // write's status; Written when the move was not refused so.
  WriteStatus RefusedWrite() const;
};

// What writing a font's glyphs and widths did.
struct FontWriteOutcome {
  bool unreadable = false;  // the font table does not lead to that font: nothing was written
  WriteResult written;      // what the file said (Written also when nothing differed)
  int changedBytes = 0;     // glyph and width bytes that differed from the file's
};

class CaseFold;

// A listing filled from the file.
struct FilledListing {
  RowList rows;            // each row's preview
  bool truncated = false;  // more strings than the list holds
};

class Document {
 public:
  // Opens `path` as asked (update, else read-only when that is not permitted, for UpdateOrView).
  static OpenedRom OpenFile(const std::string& path, RomOpenMode mode);

  // Takes a usable opened ROM as the open one (the old one is closed).
  void Adopt(OpenedRom opened);
  void Close();
  bool IsOpen() const { return rom_.IsLoaded(); }
  bool IsReadOnly() const { return rom_.IsLoaded() && rom_.handle->IsReadOnly(); }
  bool IsExpanded() const { return rom_.IsLoaded() && IsExpandedRom(*rom_.handle); }
  RomImage& Rom() { return rom_; }
  const RomImage& Rom() const { return rom_; }

  // The open file, first brought in step with changes other programs made to it; null when none.
  // What the taking of its lock found of an interrupted change waits in TakeRecovery.
  RomFile* Synced();
  Recovery TakeRecovery();

  // Keep a Backup: before the first write, a copy of the ROM beside it (x.smc.bak).
  void SetKeepBackup(bool on);
  bool KeepBackup() const { return keepBackup_; }
  std::string BackupPath() const;  // empty when no ROM is open
  bool IsTheBackup(const std::string& path) const;
  bool IsTheRom(const std::string& path) const;
  bool HasBackup() const;      // a regular file at BackupPath
  bool BackupPresent() const;  // anything at BackupPath
  // The copy, made before the first write; what the file said.
  WriteResult EnsureBackup();

  // Keep the Checksum Right: every write from now on also fixes the header's checksum pair in
  // the same journaled change. Off at first.
  void SetKeepChecksumRight(bool on);
  bool KeepChecksumRight() const { return keepChecksumRight_; }
  // The header's checksum pair and what the bytes call for, as the file is now.
  HeaderChecksum Checksum();
  // Writes the pair the bytes call for (after the backup, through the journal). Gives what the
  // header held before; a pair that was right or is not computed is left alone (`written` then
  // stays Written, nothing changed).
  HeaderChecksum FixChecksum(WriteResult& written);

  // The character table texts are shown and taken through (none: the game's own characters).
  // Closing the ROM drops it: each ROM has its own.
  void SetCharacterTable(std::optional<CharacterTable> table) {
    characters_ = std::move(table);
    state_.characters = Characters();
  }
  const CharacterTable* Characters() const { return characters_ ? &*characters_ : nullptr; }
  // The user's text as the encoder reads it, for a preview: through the table, or as it is when
  // there is none or it cannot spell the text (Apply refuses such a text).
  std::string GameTextOf(std::string_view text) const;
  // The table a ROM takes by default: beside it, its name with ".tbl" (game.smc: game.tbl).
  static std::string DefaultTablePath(const std::string& romPath);

  // Which strings the listing holds; Fill makes it so.
  void SetMode(ListingMode mode) { mode_ = mode; }
  ListingMode Mode() const { return mode_; }
  // Fills the table from the file in the listing's mode and gives each row's preview.
  FilledListing Fill();
  TextEntryTable& Table() { return table_; }
  const TextEntryTable& Table() const { return table_; }
  int RowCount() const { return table_.count(); }
  int64_t EntryOffset(int row) const;

  // A row's text with bracketed codes and its size in bytes; empty for no such row.
  std::string EntryText(int row, int32_t* size = nullptr);
  // A row's `size` bytes (EntryText's size) as hexadecimal (Display codes only).
  std::string EntryCodes(int row, int32_t size) const;
  std::string RowPreview(int row);
  // The rows other than `row` that lead to the same text.
  std::vector<int> RowsSharingText(int row) const;

  // The dictionary's compressor, made on first use after each fill.
  const TextCompressor& Compressor();
  TextDecoder& Decoder() { return decoder_; }
  DecoderState& State() { return state_; }
  const TextDictionary& Dictionary() const { return dictionary_; }
  // What the text encodes to (compressed or not); negative when refused (kMeasure* values).
  int32_t Measure(std::string_view text, bool compress);
  std::vector<uint8_t> Encode(std::string_view text, bool compress);

  // Writes `text` over the string of `row`, under the file's lock from reading where the row
  // leads to the write.
  ApplyOutcome Apply(int row, std::string_view text, const WriteOptions& options);
  // The rows whose strings, as they are now, hold a byte a write of `text` at `row` changes.
  std::vector<int> RowsChangedBy(int row, std::string_view text, bool compress);
  // The same for bytes already encoded.
  std::vector<int> RowsChangedBy(int row, std::span<const uint8_t> bytes);
  // The rows whose strings lie in the `newSize` bytes from `row`'s text past its present end.
  std::vector<int> RowsOverwrittenBy(int row, int32_t newSize);
  // The size of `row`'s string, walked as the decoder walks it, in the file as it was at the last
  // sync (every keystroke asks: the caller has just synced).
  int32_t PresentSize(int row) const;

  // The first row after `after` whose text holds `query` (letters of either case).
  std::optional<int> Find(std::string_view query, int after);
  // The dump of the listing (one bracketed text and "\n" per row) to `out`; false when a write failed.
  bool WriteDump(std::FILE* out);
  // The dump into `folder` (empty: the working directory) under the listing's file name.
  DumpResult Dump(const std::string& folder);

  ExpandOutcome Expand();
  // Reads the backup and writes its bytes through the open file; fills the table again.
  RevertOutcome Revert();

  // The history of changes beside the ROM, newest first.
  std::vector<HistoryEntry> History();
  // Writes entry `id`'s old bytes back as a new change, when the file still holds its new ones.
  UndoOutcome Undo(uint64_t id);
  // The same for the newest entry that is no undo and has not been undone.
  UndoOutcome UndoLast();
  // True once after a change for which the history's oldest entries were dropped.
  bool TakeHistoryTrimmed() { return rom_.handle && rom_.handle->TakeHistoryTrimmed(); }

  std::optional<PointerEntryForm> PointerFormFor(int row) const;
  PointerEditResult EditPointer(int row, const PointerEntryForm& form, WriteResult* written);

  std::optional<DetailsRequest> Details(int row);

  // Who points where, rebuilt whenever the file changed since it was made.
  const ReferenceIndex& References();

  // `text` into free space as row `row`'s text, every reference repointed to it.
  TextMoveOutcome Move(int row, std::string_view text, bool compress);

  // Replace in All Texts: every text of the listing that holds query.find, once per text.
  ReplaceSearch FindReplacements(const ReplaceQuery& query);
  // Writes the new texts of `chosen` as one import (each text's line is its first row's): all
  // of them or, when one can be neither written nor moved, none (ImportStatus::Incomplete).
  ImportResult Replace(std::span<const ReplaceCandidate> chosen, ImportOptions options,
                       const std::function<bool(int, int)>& progress = {});

  // The script of the listing; nothing when `progress` cancelled.
  std::optional<std::string> Export(const std::function<bool(int, int)>& progress = {});
  ImportResult Import(const std::vector<ScriptBlock>& blocks, ImportOptions options,
                      const std::function<bool(int, int)>& progress = {});

  // The unmodified ROM the open one is compared with (a translation's source): opened read-only
  // and checked against the open ROM; the old one is kept when the new one is refused.
  OriginalOutcome SetOriginal(const std::string& path);
  void ClearOriginal() { original_.reset(); }
  bool HasOriginal() const { return original_ != nullptr; }
  std::string OriginalPath() const { return original_ ? original_->Path() : std::string(); }
  // `row`'s original text and where it lies; nothing without an original or a text there.
  std::optional<OriginalTextOf> Original(int row) const;
  // Whether `row`'s text is its original's (NoOriginal also when no original is set).
  RowTranslation Translation(int row);
  // Every row's, in listing order.
  std::vector<RowTranslation> Translations();
  // How many rows of the listing differ from their originals (a row the original has no text for
  // counts as translated), and how many rows there are.
  struct Progress {
    int translated = 0;
    int lines = 0;
  };
  static Progress CountProgress(const std::vector<RowTranslation>& rows);
  // The first row after `after` (wrapping round) whose text equals its original's.
  std::optional<int> NextUntranslated(int after);
  // The listing as a gettext PO file (script/po_file.h), against the original when one is set;
  // nothing when `progress` cancelled.
  std::optional<PoExport> ExportPo(const std::function<bool(int, int)>& progress = {});
  // The original's text at `address` as a script file writes it; nothing without an original or a text there.
  std::optional<std::string> OriginalScriptText(SnesAddress address);
  // Original texts translated two ways, and texts with letters left as their original, by first row.
  std::vector<ConsistencyFinding> Consistency();

  // The layout of `row`'s text in a text window of `kind`, with the fonts `previewer` read from
  // the open file (TextPreviewer(*Rom().handle)).
  PreviewRefusal Preview(const TextPreviewer& previewer, int row, TextWindowKind kind, TextPreview& out) const;
  // Every row whose layout runs over, cuts a word or has no end code.
  PreviewRefusal Check(const TextPreviewer& previewer, TextWindowKind kind, bool estimates,
                       std::vector<LayoutCheckHit>& hits) const;

  // The fonts as the file holds them now.
  RomFonts Fonts();
  // Writes the glyphs and widths of `edited` over font `id` as one change: only the bytes that
  // differ from the file, as it is under the lock, are written; none when none differ.
  FontWriteOutcome WriteFont(text_window::FontId id, const RomFont& edited);

 private:
  void PrefetchRow(const RomFile& rom, int row) const;
  static constexpr int kPrefetchDistance = 8;
  // Reads the dictionary from the file unless it is read already from the file as it is now.
  void LoadDictionary(const RomFile& rom);
  // Lists the raw areas into the table, the later ones on a second core, `preview` making the
  // earlier ones' rows and giving their size counts.
  void FillRaw(const RomFile& rom, const std::function<int32_t(int64_t)>& preview, RowList& rows,
               std::vector<int32_t>& sizes);
  // The size counts the fill's previews gave, kept for the comparisons with the original that
  // follow each fill; a row's is known while the file and the row's text address are unchanged.
  void KeepRowSizes(const RomFile& rom, const std::vector<int32_t>& sizes);
  std::optional<int32_t> KnownRowSize(int row) const;
  // The first row of [first, end) whose text holds `needle` (folded by `fold` when there is one,
  // and upper-cased), or nothing; nothing as well once `stop` is set. Reads, changes nothing.
  std::optional<int> FindInRows(const RomFile& rom, TextDecoder& decoder, int first, int end,
                                const std::string& needle, const CaseFold* fold,
                                const std::atomic<bool>& stop) const;
  // Leaves the carry-over state as decoding rows [first, end) in order would have left it.
  void CarryOverFrom(const RomFile& rom, int first, int end);
  // In the pointer listing, each row takes the text address its record or plain pointer holds in
  // the file now. Gives the rows that changed.
  std::vector<int> FollowMovedTexts(const RomFile& rom);
  RowTranslation TranslationOf(int row) const;  // on the file as last synced
  ApplyResult WriteEntry(RomFile& rom, int row, std::span<const uint8_t> bytes, bool preventOverwrites,
                         WriteTextResult& written);

  // A text of the decoder's as the user sees it, and the user's text as the encoder reads it
  // (false with the character refused; `text` then points into `buffer`).
  std::string Shown(std::string text) const;
  bool ToGameText(std::string_view& text, std::string& buffer, NonGameCharacter& refused) const;

  RomImage rom_;
  std::optional<CharacterTable> characters_;
  std::unique_ptr<OriginalRom> original_;
  ListingMode mode_ = ListingMode::PointerTableListing;
  bool keepBackup_ = true;
  bool keepChecksumRight_ = false;
  TextEntryTable table_;
  TextDictionary dictionary_;
  uint64_t dictionaryVersion_ = 0;  // the file version the dictionary was read at; 0 for none
  struct RowSize {
    SnesAddress address;
    int32_t size;
  };
  std::vector<RowSize> rowSizes_;    // by row, as the last fill found them
  uint64_t rowSizesVersion_ = 0;     // the file version they were found at
  DecoderState state_;
  TextDecoder decoder_{dictionary_, state_};
  std::optional<TextCompressor> compressor_;
  TextCompressor::Scratch compressorScratch_;  // kept between keystrokes: measuring allocates nothing
  ReferenceIndex references_;
  uint64_t referencesVersion_ = 0;  // the file version the index was built at; 0 for none
};

// "ptrlist.txt", "rawlist.txt" or "explist.txt".
const char* DumpFileName(ListingMode mode);

}  // namespace lettermoor

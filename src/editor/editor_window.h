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
#include "dialogs/pointer_entry_editor.h"
#include "editor/editor_view.h"
#include "entries/text_entry.h"
#include "rom/rom_image.h"

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
inline constexpr const char* kExpandFailed = "The ROM could not be expanded.\nThe file was left as it was.";
inline constexpr const char* kExpandReopenFailed =
    "The ROM file could not be opened again after the expansion, so it has been closed.\nOpen it again to go on.";
inline constexpr const char* kExpandFailedCaption = "Expansion Failed";
inline constexpr const char* kDumpFailed = "The dump file %s could not be written.\nNothing was dumped.";
inline constexpr const char* kDumpFailedCaption = "Dump Failed";
}  // namespace editor_text

inline constexpr int kEditTextLimit = 4000;
inline constexpr int kListColumnWidth = 439;
inline constexpr size_t kRowPreviewLength = 149;

// What Apply Changes did. Every refusal and failure is also shown in its message box.
enum class ApplyResult {
  Written,        // the text is in the file and the list shows it
  NoEntry,        // no ROM open or no such row: nothing happened and nothing was said
  BracketError,   // refused: the counts of "[" and "]" differ
  TooLarge,       // refused: larger than the old text while Prevent Overwrites is on
  PastEndOfFile,  // refused: the bytes would reach past the end of the file
  WriteFailed,    // the system refused the write; nothing was written
};

// What Dump to text file did.
struct DumpResult {
  enum class Outcome {
    Written,  // every row went into the file
    NoRom,    // no ROM open: nothing happened and nothing was said
    Failed,   // the file could not be created or written
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
  void OpenRomPath(const std::string& path);   // as if `path` had been picked in the dialog
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
  // Grown or AlreadyLarge when the ROM is expanded now (then "ROM Expanded" was shown).
  GrowResult ExpandRom();
  DumpResult DumpToTextFile();
  // Edit TPT entry: the pointer entry editor over the row's record or plain pointer.
  PointerEditResult EditTextPointerEntry(int row);
  // View current details: gives false when there is no such row and nothing opened.
  bool OpenDetails(int row);

  // Where Dump to text file writes: the window sets the ROM's folder when a ROM is picked, the
  // command-line tool its working directory. Empty means the process's working directory.
  void SetDumpFolder(std::string folder) { dumpFolder_ = std::move(folder); }
  const std::string& DumpFolder() const { return dumpFolder_; }

  // List and edit box notifications, with the row the list marks and the edit box's text.
  void OnListClick(int row);
  void OnListKey(int row);
  void OnListDoubleClick(int row);
  void OnListRightClick(int row);
  void OnEditChanged(std::string_view text);
  void OnEditFocus(bool gained);

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
  const TextDecoder& Decoder() const { return decoder_; }
  DecoderState& State() { return state_; }
  EditorView& View() { return view_; }

  // The text of entry `row` as the edit box shows it in the text-and-codes mode (bracketed codes).
  std::string DecodeEntry(int row, int32_t* size = nullptr);

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
  // Puts a text into the edit box and remembers it: the size label measures what the box holds.
  void SetEditText(std::string text);

  EditorView& view_;
  RomImage rom_;
  ListingMode listingMode_ = ListingMode::PointerTableListing;
  int displayMode_ = 1;
  bool preventOverwrites_ = true;
  std::string editText_;  // what the edit box holds: set here or reported by OnEditChanged
  std::string dumpFolder_;
  bool compressWithDictionary_ = false;
  std::optional<TextCompressor> compressor_;
  TextEntryTable table_;
  TextDictionary dictionary_;
  DecoderState state_;
  TextDecoder decoder_{dictionary_, state_};
};

// The plain search: the first row after `mark` whose bracketed text, upper-cased (a-z only),
// contains the upper-cased query. `decode(row)` gives a row's bracketed text.
template <typename Decode>
std::optional<int> FindNextRow(std::string_view query, int mark, int rowCount, Decode&& decode);

// Where the first bracket fault of `text` lies ("Column %d: ..."), or empty when its brackets
// pair up.
std::string BracketFaultHint(std::string_view text);

// "ptrlist.txt", "rawlist.txt" or "explist.txt".
const char* DumpFileName(ListingMode mode);

// True when the command line carries the embedding or automation switch: then no window is made.
bool HasEmbeddingSwitch(const std::vector<std::string>& arguments);

// Upper-cases the letters a to z only.
std::string UpperCaseAscii(std::string_view text);
void UpperCaseAsciiInPlace(std::string& text);

// True when UpperCaseAscii(text) contains `needle`, which is upper-cased already; no copy is made.
bool ContainsUpperCased(std::string_view text, std::string_view needle);

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

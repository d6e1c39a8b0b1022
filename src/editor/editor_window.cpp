#include "editor/editor_window.h"

#include <algorithm>
#include <cstdio>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "codec/bracket_check.h"
#include "codec/text_encoder.h"
#include "entries/text_entry_table.h"
#include "rom/snes_address.h"

namespace lettermoor {

namespace {

std::string Format(const char* format, int a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}

std::string Format(const char* format, int a, int b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

std::string Format(const char* format, const std::string& s) {
  const int n = std::snprintf(nullptr, 0, format, s.c_str());
  std::string out(static_cast<size_t>(n), '\0');
  std::snprintf(out.data(), out.size() + 1, format, s.c_str());
  return out;
}

// Items that every successful open enables and every close grays.
constexpr CommandId kOpenOnlyItems[] = {
    CommandId::ViewDetails,         CommandId::DumpToTextFile,   CommandId::Close,
    CommandId::Search,              CommandId::PointerTableListing, CommandId::RawTextListing,
    CommandId::DisplayTextAndCodes, CommandId::DisplayCodesOnly, CommandId::PreventOverwrites,
    CommandId::UseCompression,      CommandId::CompressWithDictionary,
};

constexpr CommandId kClipboardItems[] = {CommandId::Undo, CommandId::Cut, CommandId::Copy,
                                         CommandId::Paste};

constexpr CommandId kListingItems[] = {CommandId::PointerTableListing, CommandId::RawTextListing,
                                       CommandId::ExpandedRomListing};

}  // namespace

EditorWindow::EditorWindow(EditorView& view) : view_(view) {}

RomFile* EditorWindow::SyncedRom() {
  if (!rom_.handle) return nullptr;
  rom_.handle->Refresh();
  return rom_.handle.get();
}

int64_t EditorWindow::EntryOffset(int row) const {
  return SnesToFileOffset(table_.entries[static_cast<size_t>(row)].textAddress);
}

void EditorWindow::PrefetchRow(const RomFile& rom, int row) const {
  // The pointer table listing jumps about the file: asking for a row's bytes a few rows ahead
  // keeps the walk from waiting on memory at every row.
  if (!table_.Contains(row)) return;
  const int64_t offset = EntryOffset(row);
  if (offset >= 0 && offset + 64 < rom.MirrorSize()) {
    __builtin_prefetch(rom.MirrorData() + offset);
    __builtin_prefetch(rom.MirrorData() + offset + 64);  // most strings reach into a second line
  }
}

void EditorWindow::Initialise() {
  view_.SetIcon();
  view_.InsertListColumn(kListColumnWidth);
  view_.LimitEditText(kEditTextLimit);
  rom_.handle.reset();
  preventOverwrites_ = true;
  listingMode_ = ListingMode::PointerTableListing;
  displayMode_ = 1;
  for (CommandId id : {CommandId::Open, CommandId::Exit, CommandId::Help, CommandId::About}) {
    view_.EnableMenuItem(id, true);
  }
  view_.CheckMenuItem(CommandId::PointerTableListing, true);
  view_.CheckMenuItem(CommandId::RawTextListing, false);
  view_.CheckMenuItem(CommandId::UseCompression, false);
  view_.CheckMenuItem(CommandId::DisplayTextAndCodes, true);
  view_.CheckMenuItem(CommandId::DisplayCodesOnly, false);
  view_.CheckMenuItem(CommandId::PreventOverwrites, true);
  view_.CheckMenuItem(CommandId::CompressWithDictionary, compressWithDictionary_);
  CloseRom();
}

void EditorWindow::OnCommand(CommandId id) {
  switch (id) {
    case CommandId::Open: OpenRom(); break;
    case CommandId::Close: CloseRom(); break;
    case CommandId::Exit: Exit(); break;
    case CommandId::Undo: view_.EditUndo(); break;
    case CommandId::Cut: view_.EditCut(); break;
    case CommandId::Copy: view_.EditCopy(); break;
    case CommandId::Paste: view_.EditPaste(); break;
    case CommandId::Search:
      if (IsRomOpen()) view_.RunSearchWindow();
      break;
    case CommandId::ExpandRom: ExpandRom(); break;
    case CommandId::EditTptEntry: EditTextPointerEntry(view_.SelectionMark()); break;
    case CommandId::ViewDetails: OpenDetails(view_.SelectionMark()); break;
    case CommandId::DumpToTextFile: DumpToTextFile(); break;
    case CommandId::PointerTableListing: SetListingMode(ListingMode::PointerTableListing); break;
    case CommandId::RawTextListing: SetListingMode(ListingMode::RawTextListing); break;
    case CommandId::ExpandedRomListing: SetListingMode(ListingMode::ExpandedRomListing); break;
    case CommandId::DisplayTextAndCodes: SetDisplayMode(1, view_.SelectionMark()); break;
    case CommandId::DisplayCodesOnly: SetDisplayMode(0, view_.SelectionMark()); break;
    case CommandId::UseCompression:
      if (IsRomOpen()) view_.RunGizmoDialog();
      break;
    case CommandId::PreventOverwrites: TogglePreventOverwrites(); break;
    case CommandId::CompressWithDictionary: ToggleCompressWithDictionary(); break;
    case CommandId::Help: view_.OpenHelp(); break;
    case CommandId::About: view_.RunAboutBox(); break;
  }
}

void EditorWindow::OpenRom() {
  RomChoice choice = view_.ChooseRomFile();
  if (choice.path.empty()) return;
  OpenRomPath(choice.path);
}

void EditorWindow::OpenRomPath(const std::string& path) {
  std::unique_ptr<RomFile> file = OpenRomFile(path);
  if (!file) return;  // cancelled, missing or not writable: nothing changes, nothing is said
  switch (DetectRomType(*file)) {
    case RomType::Unrecognized:
      view_.ShowMessage(editor_text::kBadRom, editor_text::kBadRomCaption, MessageIcon::None);
      return;
    case RomType::Mother2:
      view_.ShowMessage(editor_text::kMother2, editor_text::kMother2Caption, MessageIcon::None);
      return;
    case RomType::EarthBound:
    case RomType::EarthBoundBad:
      break;
  }
  CloseRom();
  rom_.fileName = BareFileName(path);
  rom_.path = path;
  rom_.handle = std::move(file);
  view_.SetTitle(editor_text::kTitleRomOpen);
  view_.DeleteAllRows();
  view_.EnableList(true);
  view_.EnableEditBox(true);
  for (CommandId id : kOpenOnlyItems) view_.EnableMenuItem(id, true);
  if (IsExpandedRom(*rom_.handle)) {
    view_.EnableMenuItem(CommandId::ExpandedRomListing, true);
  } else {
    view_.EnableMenuItem(CommandId::ExpandRom, true);
  }
  FillEntryList();
}

void EditorWindow::CloseRom() {
  CloseRomFile(rom_);
  view_.SetTitle(editor_text::kTitleNoRom);
  view_.DeleteAllRows();
  view_.EnableList(false);
  view_.EnableEditBox(false);
  SetEditText("");
  view_.SetLabel(LabelId::Size, "");
  view_.SetLabel(LabelId::CurrentSize, "");
  view_.SetLabel(LabelId::Line, "");
  for (CommandId id : kOpenOnlyItems) view_.EnableMenuItem(id, false);
  view_.EnableMenuItem(CommandId::ExpandRom, false);
  view_.EnableMenuItem(CommandId::EditTptEntry, false);
  view_.EnableMenuItem(CommandId::ExpandedRomListing, false);
  view_.CheckMenuItem(CommandId::PointerTableListing, true);
  view_.CheckMenuItem(CommandId::RawTextListing, false);
  view_.CheckMenuItem(CommandId::ExpandedRomListing, false);
  listingMode_ = ListingMode::PointerTableListing;
  for (CommandId id : kClipboardItems) view_.EnableMenuItem(id, false);
}

void EditorWindow::Exit() {
  CloseRom();
  view_.CloseWindow();
}

void EditorWindow::SetListingMode(ListingMode mode) {
  const ListingMode old = listingMode_;
  listingMode_ = mode;
  for (int i = 0; i < 3; ++i) view_.CheckMenuItem(kListingItems[i], i == static_cast<int>(mode));
  if (mode != old) FillEntryList();
}

void EditorWindow::SetDisplayMode(int mode, int row) {
  if (mode == displayMode_ || (mode != 0 && mode != 1)) return;
  view_.CheckMenuItem(CommandId::DisplayTextAndCodes, mode == 1);
  view_.CheckMenuItem(CommandId::DisplayCodesOnly, mode == 0);
  displayMode_ = mode;
  if (IsRomOpen()) {
    ShowEntry(row);
    UpdateCurrentSize();
  }
}

void EditorWindow::TogglePreventOverwrites() {
  preventOverwrites_ = !preventOverwrites_;
  ShowEntry(-1);
}

void EditorWindow::SetCompressWithDictionary(bool on) {
  compressWithDictionary_ = on;
  view_.CheckMenuItem(CommandId::CompressWithDictionary, on);
  if (IsRomOpen()) UpdateCurrentSize();
}

const TextCompressor& EditorWindow::Compressor() {
  if (!compressor_) compressor_.emplace(dictionary_);
  return *compressor_;
}

int32_t EditorWindow::MeasureEdit(std::string_view text) {
  return compressWithDictionary_ ? Compressor().Measure(text) : MeasureText(text);
}

GrowResult EditorWindow::ExpandRom() {
  if (!IsRomOpen()) return GrowResult::NotOpen;
  GrowResult result = GrowRom(rom_, kExpandedRomSize);
  if (!rom_.IsLoaded()) result = GrowResult::Closed;
  if (result != GrowResult::Closed && !IsExpandedRom(*rom_.handle)) result = GrowResult::Failed;
  switch (result) {
    case GrowResult::Grown:
    case GrowResult::AlreadyLarge:
      view_.EnableMenuItem(CommandId::ExpandRom, false);
      view_.EnableMenuItem(CommandId::ExpandedRomListing, true);
      view_.ShowMessage(editor_text::kExpanded, editor_text::kExpandedCaption, MessageIcon::None);
      break;
    case GrowResult::Closed:
      CloseRom();
      view_.ShowMessage(editor_text::kExpandReopenFailed, editor_text::kExpandFailedCaption,
                        MessageIcon::None);
      break;
    case GrowResult::Failed:
      view_.ShowMessage(editor_text::kExpandFailed, editor_text::kExpandFailedCaption,
                        MessageIcon::None);
      break;
    case GrowResult::NotOpen: break;
  }
  return result;
}

// The Tools > "Edit &TPT entry" command and the double-click of the pointer table listing.
PointerEditResult EditorWindow::EditTextPointerEntry(int row) {
  if (!IsRomOpen()) return PointerEditResult::NothingToEdit;
  std::optional<PointerEntryForm> form = PointerEntryFormFor(table_, row);
  if (!form) return PointerEditResult::NothingToEdit;
  if (!view_.RunPointerEntryEditor(*form)) return PointerEditResult::Cancelled;
  // The dialog is modal, but the ROM must still be there before anything is written through it.
  if (!IsRomOpen()) return PointerEditResult::Refused;
  const PointerEditResult result = ApplyPointerEdit(*rom_.handle, table_, row, *form);
  if (result == PointerEditResult::Moved) {
    ReplaceRow(row, RowPreview(row));
    view_.SetSelectionMark(row);
    ShowEntry(row);
    UpdateCurrentSize();
  }
  return result;
}

// Tools > "&View current details", a right-click on a row, and a double-click outside the pointer
// table listing. Decoding refills the interpreter listing for this entry and gives its size.
bool EditorWindow::OpenDetails(int row) {
  RomFile* rom = SyncedRom();
  if (!rom || !table_.Contains(row)) return false;
  const int32_t size = decoder_.Decode(*rom, EntryOffset(row), nullptr, DecodeFlags{false, true});
  const std::optional<DetailsRequest> request =
      MakeDetailsRequest(*rom, rom_.fileName, table_, row, size, state_.interpreterText);
  if (!request) return false;
  view_.RunDetailsWindow(*request);
  return true;
}

std::string EditorWindow::RowPreview(int entry) {
  RomFile* rom = SyncedRom();
  if (!rom || !table_.Contains(entry)) return {};
  std::string text;
  decoder_.DecodePreview(*rom, EntryOffset(entry), text, kRowPreviewLength);
  return text;
}

std::string EditorWindow::DecodeEntry(int row, int32_t* size) {
  std::string text;
  RomFile* rom = SyncedRom();
  int32_t n = 0;
  if (rom && table_.Contains(row)) {
    n = decoder_.Decode(*rom, EntryOffset(row), &text, DecodeFlags{true, false});
  }
  if (size) *size = n;
  return text;
}

void EditorWindow::FillEntryList() {
  RomFile* rom = SyncedRom();
  if (!rom) return;
  LoadTextDictionary(*rom, dictionary_);
  compressor_.reset();
  // Every listed string is decoded once, from this one look at the file, for its row preview.
  // The raw and expanded listings take each string's size count from that same decode instead
  // of decoding every string once more beforehand: the sizes are the same, and so is the decoder
  // state left at the end, since decoding the same strings twice over in the same order ends
  // where decoding them once does.
  std::vector<std::string> rows;
  auto preview = [&](int64_t offset) {
    return decoder_.DecodePreview(*rom, offset, rows.emplace_back(), kRowPreviewLength);
  };
  if (listingMode_ == ListingMode::PointerTableListing) {
    BuildTextEntries(*rom, listingMode_, table_, decoder_);
    rows.reserve(table_.entries.size());
    for (int i = 0; i < table_.count(); ++i) {
      PrefetchRow(*rom, i + kPrefetchDistance);
      preview(EntryOffset(i));
    }
  } else {
    rows.reserve(TextEntryTable::kCapacity);
    BuildTextEntries(*rom, listingMode_, table_, preview);
  }
  view_.SetAllRows(std::move(rows));
  view_.SetSelectionMark(0);
  ShowEntry(0);
  UpdateCurrentSize();
  if (table_.truncated) {
    view_.ShowMessage(editor_text::kListingCut, editor_text::kListingCutCaption, MessageIcon::None);
  }
}

void EditorWindow::ShowEntry(int row) {
  if (row != -1) {
    if (!IsRomOpen() || !table_.Contains(row)) {
      // No such entry: show nothing rather than a text that Apply could not write back.
      SetEditText("");
      view_.SetLabel(LabelId::Line, "");
      view_.SetLabel(LabelId::Size, "");
      view_.EnableMenuItem(CommandId::EditTptEntry, false);
    } else {
      int32_t size = 0;
      std::string text = DecodeEntry(row, &size);
      if (displayMode_ == 0) text = FormatRawBytes(*rom_.handle, EntryOffset(row), size);
      SetEditText(std::move(text));
      view_.SetLabel(LabelId::Line, Format(editor_text::kLineFormat, row + 1, table_.count()));
      view_.SetLabel(LabelId::Size, Format(editor_text::kSizeFormat, size));
      const TextEntry& e = table_.entries[static_cast<size_t>(row)];
      view_.EnableMenuItem(CommandId::EditTptEntry, listingMode_ == ListingMode::PointerTableListing &&
                                                        e.sprite != 0 && e.movement != 0);
    }
  }
  view_.CheckMenuItem(CommandId::PreventOverwrites, preventOverwrites_);
}

void EditorWindow::SetEditText(std::string text) {
  editText_ = std::move(text);
  view_.SetEditText(editText_);
}

void EditorWindow::UpdateCurrentSize() {
  const std::string& text = editText_;
  const int32_t size = MeasureEdit(text);
  if (size < 0) {
    view_.SetLabel(LabelId::CurrentSize, editor_text::kCurrentSizeUnknown);
    view_.SetLabelToolTip(LabelId::CurrentSize, BracketFaultHint(text));
    return;
  }
  view_.SetLabel(LabelId::CurrentSize,
                 Format(compressWithDictionary_ ? editor_text::kCurrentSizeCompressedFormat
                                                : editor_text::kCurrentSizeFormat,
                        size));
  view_.SetLabelToolTip(LabelId::CurrentSize, "");
}

std::string BracketFaultHint(std::string_view text) {
  const int column = BracketFaultColumn(text);
  if (column == 0) return "";
  const bool stray = text[static_cast<size_t>(column - 1)] == ']';
  return Format(stray ? editor_text::kStrayCloseBracket : editor_text::kUnclosedOpenBracket, column);
}

void EditorWindow::ReplaceRow(int row, const std::string& text) {
  view_.DeleteRow(row);
  view_.InsertRow(row, text);
}

ApplyResult EditorWindow::ApplyChanges(int row, std::string_view text) {
  RomFile* rom = SyncedRom();
  if (!rom || !table_.Contains(row)) return ApplyResult::NoEntry;
  const ApplyResult result = WriteEntry(*rom, row, text);
  switch (result) {
    case ApplyResult::Written:
      ReplaceRow(row, RowPreview(row));
      RefreshSharedRows(row);
      view_.SetSelectionMark(row);
      ShowEntry(row);
      UpdateCurrentSize();
      break;
    case ApplyResult::NoEntry: break;
    case ApplyResult::BracketError:
      view_.ShowMessage(editor_text::kBracketError, editor_text::kPreWriteCaption, MessageIcon::Warning);
      break;
    case ApplyResult::TooLarge:
      view_.ShowMessage(editor_text::kTooLarge, editor_text::kPreWriteCaption, MessageIcon::Warning);
      break;
    case ApplyResult::PastEndOfFile:
      view_.ShowMessage(editor_text::kPastEndOfFile, editor_text::kPreWriteCaption, MessageIcon::Warning);
      break;
    case ApplyResult::WriteFailed:
      view_.ShowMessage(editor_text::kWriteFailed, editor_text::kWriteFailedCaption, MessageIcon::Warning);
      break;
  }
  return result;
}

ApplyResult EditorWindow::WriteEntry(RomFile& rom, int row, std::string_view text) {
  const int32_t newSize = MeasureEdit(text);
  if (newSize < 0) return ApplyResult::BracketError;
  int32_t oldSize = 0;
  DecodeEntry(row, &oldSize);
  if (preventOverwrites_ && newSize > oldSize) return ApplyResult::TooLarge;
  // Only Expand ROM grows a file: bytes that would reach past its end are refused.
  const int64_t offset = EntryOffset(row);
  if (offset < 0 || offset + newSize > RomFileSize(rom)) return ApplyResult::PastEndOfFile;
  const bool written = compressWithDictionary_ ? WriteCompressedText(rom, offset, text, Compressor()).written
                                               : WriteText(rom, offset, text).written;
  if (!written) return ApplyResult::WriteFailed;
  return ApplyResult::Written;
}

void EditorWindow::RefreshSharedRows(int row) {
  if (listingMode_ != ListingMode::PointerTableListing || !table_.Contains(row)) return;
  const std::string preview = RowPreview(row);
  const SnesAddress address = table_.entries[static_cast<size_t>(row)].textAddress;
  for (int i = 0; i < table_.count(); ++i) {
    if (i != row && table_.entries[static_cast<size_t>(i)].textAddress == address) {
      ReplaceRow(i, preview);
    }
  }
}

void EditorWindow::SelectRow(int row) {
  view_.SetSelectionMark(row);
  view_.EnsureVisible(row);
  view_.SetRowSelected(row);
  ShowEntry(row);
  UpdateCurrentSize();
}

void EditorWindow::OnListClick(int row) {
  if (!IsRomOpen()) return;
  ShowEntry(row);
  UpdateCurrentSize();
}

void EditorWindow::OnListKey(int row) { OnListClick(row); }

void EditorWindow::OnListDoubleClick(int row) {
  if (listingMode_ == ListingMode::PointerTableListing) {
    EditTextPointerEntry(row);
  } else {
    OpenDetails(row);
  }
}

void EditorWindow::OnListRightClick(int row) {
  if (!IsRomOpen()) return;
  ShowEntry(row);
  UpdateCurrentSize();
  OpenDetails(row);
}

void EditorWindow::OnEditChanged(std::string_view text) {
  editText_.assign(text);
  UpdateCurrentSize();
}

void EditorWindow::OnEditFocus(bool gained) {
  for (CommandId id : kClipboardItems) view_.EnableMenuItem(id, gained && IsRomOpen());
}

std::optional<int> EditorWindow::FindNext(std::string_view query, int after) {
  const RomFile* rom = SyncedRom();
  if (!rom) return std::nullopt;
  // FindNextRow's search, with one look at the file for the whole walk and one text buffer
  // for every row.
  const std::string needle = UpperCaseAscii(query);
  std::optional<int> hit;
  for (int row = std::max(after + 1, 0); row < table_.count(); ++row) {
    PrefetchRow(*rom, row + kPrefetchDistance);
    if (ContainsUpperCased(decoder_.DecodeBracketedView(*rom, EntryOffset(row)), needle)) {
      hit = row;
      break;
    }
  }
  if (!hit) {
    view_.ShowMessage(editor_text::kNotFound, editor_text::kNotFoundCaption, MessageIcon::None);
    return std::nullopt;
  }
  SelectRow(*hit);
  return hit;
}

bool EditorWindow::WriteDump(std::FILE* out) {
  // One look at the file for the whole dump; the lines go out in large pieces.
  constexpr size_t kPiece = 64 * 1024;
  const RomFile* rom = SyncedRom();
  std::string piece;
  piece.reserve(kPiece + 4096);
  auto flush = [&] {
    const bool written = std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
    piece.clear();
    return written;
  };
  for (int i = 0; i < table_.count(); ++i) {
    if (rom) {
      PrefetchRow(*rom, i + kPrefetchDistance);
      piece += decoder_.DecodeBracketedView(*rom, EntryOffset(i));
    }
    piece += '\n';
    if (piece.size() >= kPiece && !flush()) return false;
  }
  return flush();
}

DumpResult EditorWindow::DumpToTextFile() {
  DumpResult result;
  if (!IsRomOpen()) return result;
  result.fileName = DumpFileName(listingMode_);
  result.path = dumpFolder_.empty() ? result.fileName : dumpFolder_ + "/" + result.fileName;
  std::FILE* out = std::fopen(result.path.c_str(), "w");
  bool ok = out != nullptr;
  if (out) {
    ok = WriteDump(out);
    ok = std::fclose(out) == 0 && ok;
  }
  result.outcome = ok ? DumpResult::Outcome::Written : DumpResult::Outcome::Failed;
  if (!ok) {
    view_.ShowMessage(Format(editor_text::kDumpFailed, result.fileName),
                      editor_text::kDumpFailedCaption, MessageIcon::None);
  } else {
    view_.ShowMessage(Format(editor_text::kDumped, result.fileName), editor_text::kDumpedCaption,
                      MessageIcon::None);
  }
  return result;
}

const char* DumpFileName(ListingMode mode) {
  switch (mode) {
    case ListingMode::RawTextListing: return "rawlist.txt";
    case ListingMode::ExpandedRomListing: return "explist.txt";
    case ListingMode::PointerTableListing: break;
  }
  return "ptrlist.txt";
}

bool HasEmbeddingSwitch(const std::vector<std::string>& arguments) {
  for (const std::string& a : arguments) {
    if (a == "-Embedding" || a == "/Embedding" || a == "-Automation" || a == "/Automation") return true;
  }
  return false;
}

std::string UpperCaseAscii(std::string_view text) {
  std::string out(text);
  UpperCaseAsciiInPlace(out);
  return out;
}

bool ContainsUpperCased(std::string_view text, std::string_view needle) {
  if (needle.empty()) return true;
  if (needle.size() > text.size()) return false;
  const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  const char first = needle[0];
  const bool letter = first >= 'A' && first <= 'Z';
  const char other = letter ? static_cast<char>(first - 'A' + 'a') : first;
  const size_t last = text.size() - needle.size();  // the last place a match can start
  auto matchesAt = [&](size_t p) {
    for (size_t j = 1; j < needle.size(); ++j) {
      if (fold(text[p + j]) != needle[j]) return false;
    }
    return true;
  };
  size_t p = 0;
#ifdef __SSE2__
  // The places where the first character stands, in either case, sixteen at a time.
  const __m128i a = _mm_set1_epi8(first);
  const __m128i b = _mm_set1_epi8(other);
  for (; p + 16 <= last + 1; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + p));
    auto hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b))));
    for (; hits != 0; hits &= hits - 1) {
      if (matchesAt(p + static_cast<size_t>(__builtin_ctz(hits)))) return true;
    }
  }
#endif
  for (; p <= last; ++p) {
    if ((text[p] == first || text[p] == other) && matchesAt(p)) return true;
  }
  return false;
}

void UpperCaseAsciiInPlace(std::string& text) {
  char* c = text.data();
  size_t n = text.size();
#ifdef __SSE2__
  // Sixteen at a time: a byte is a lower-case letter when byte - 'a' is at most 25, unsigned.
  const __m128i a = _mm_set1_epi8('a');
  const __m128i last = _mm_set1_epi8(25);
  const __m128i caseBit = _mm_set1_epi8(0x20);
  for (; n >= 16; c += 16, n -= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    const __m128i lower = _mm_cmpeq_epi8(_mm_max_epu8(_mm_sub_epi8(v, a), last), last);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(c), _mm_sub_epi8(v, _mm_and_si128(lower, caseBit)));
  }
#endif
  for (; n > 0; ++c, --n) {
    if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
  }
}

}  // namespace lettermoor

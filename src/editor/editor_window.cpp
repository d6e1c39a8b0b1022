#include "editor/editor_window.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "codec/bracket_check.h"
#include "codec/jump_codes.h"
#include "codec/text_encoder.h"
#include "codec/text_warnings.h"
#include "entries/text_entry_table.h"
#include "rom/safe_file.h"
#include "rom/snes_address.h"

namespace lettermoor {

namespace {

// Strings go to printf as their characters; everything else as it is.
const char* FormatArg(const std::string& s) { return s.c_str(); }
template <typename T>
T FormatArg(T v) {
  return v;
}

template <typename... Args>
std::string Format(const char* format, const Args&... args) {
  const int n = std::snprintf(nullptr, 0, format, FormatArg(args)...);
  std::string out(static_cast<size_t>(n), '\0');
  std::snprintf(out.data(), out.size() + 1, format, FormatArg(args)...);
  return out;
}

// "line 2" or "lines 2, 5" for rows counted from 0.
std::string LineNames(const std::vector<int>& rows) {
  std::string out = rows.size() == 1 ? "line " : "lines ";
  for (size_t i = 0; i < rows.size(); ++i) out += (i ? ", " : "") + std::to_string(rows[i] + 1);
  return out;
}

// Items that every successful open enables and every close grays.
constexpr CommandId kOpenOnlyItems[] = {
    CommandId::ViewDetails,         CommandId::DumpToTextFile,   CommandId::Close,
    CommandId::Search,              CommandId::PointerTableListing, CommandId::RawTextListing,
    CommandId::DisplayTextAndCodes, CommandId::DisplayCodesOnly, CommandId::PreventOverwrites,
    CommandId::UseCompression,      CommandId::CompressWithDictionary, CommandId::FindReferences,
    CommandId::ExportScript,        CommandId::ImportScript,
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
  ReportRecovery(rom_.handle->TakeRecovery());
  return rom_.handle.get();
}

void EditorWindow::ReportRecovery(const Recovery& found) {
  const std::string journal = BareFileName(found.journalPath);
  switch (found.status) {
    case RecoveryStatus::None: return;
    case RecoveryStatus::RolledBack:
      view_.ShowMessage(Format(editor_text::kRecovered, found.ranges), editor_text::kRecoveryCaption,
                        MessageIcon::Warning);
      return;
    case RecoveryStatus::Unwritable:
      view_.ShowMessage(Format(editor_text::kRecoveryUnwritable, std::strerror(found.error ? found.error : EACCES),
                               journal),
                        editor_text::kRecoveryCaption, MessageIcon::Warning);
      return;
    case RecoveryStatus::Foreign:
      view_.ShowMessage(Format(editor_text::kRecoveryForeign, journal), editor_text::kRecoveryCaption,
                        MessageIcon::Warning);
      return;
  }
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
  view_.CheckMenuItem(CommandId::KeepBackup, keepBackup_);
  view_.EnableMenuItem(CommandId::KeepBackup, true);
  CloseRom();
}

void EditorWindow::OnCommand(CommandId id) {
  switch (id) {
    case CommandId::Open: OpenRom(); break;
    case CommandId::Close:
      if (SettleUnappliedEdit()) CloseRom();
      break;
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
    case CommandId::FindReferences: FindReferences(view_.SelectionMark()); break;
    case CommandId::MoveToFreeSpace: MoveToFreeSpace(view_.SelectionMark(), view_.EditText()); break;
    case CommandId::ExportScript: ExportScriptFile(); break;
    case CommandId::ImportScript: ImportScriptFile(); break;
    case CommandId::RevertToBackup: RevertToBackup(); break;
    case CommandId::KeepBackup: SetKeepBackup(!keepBackup_); break;
  }
}

void EditorWindow::OpenRom() {
  RomChoice choice = view_.ChooseRomFile();
  if (choice.path.empty()) return;
  OpenRomPath(choice.path);
}

void EditorWindow::OpenRomPath(const std::string& path, RomOpenMode mode) {
  int error = 0;
  std::unique_ptr<RomFile> file =
      OpenRomFile(path, mode == RomOpenMode::View ? RomAccess::ReadOnly : RomAccess::ReadWrite, &error);
  if (!file && mode == RomOpenMode::UpdateOrView && (error == EACCES || error == EPERM || error == EROFS)) {
    // A master copy kept without write permission is still worth viewing.
    file = OpenRomFile(path, RomAccess::ReadOnly, &error);
  }
  lastOpenError_ = file ? 0 : error;
  if (!file) return;  // cancelled, missing or unreadable: nothing changes, nothing is said
  // Opening took the lock: a change a crash cut short was undone then, and is told now.
  ReportRecovery(file->TakeRecovery());
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
  // The pick is good: what was typed into the old ROM's entry is settled before it closes.
  if (!SettleUnappliedEdit()) return;
  CloseRom();
  rom_.fileName = BareFileName(path);
  rom_.path = path;
  rom_.handle = std::move(file);
  if (keepBackup_) rom_.handle->KeepBackupAt(BackupPath());
  const bool readOnly = rom_.handle->IsReadOnly();
  view_.SetTitle(readOnly ? editor_text::kTitleRomOpenReadOnly : editor_text::kTitleRomOpen);
  view_.DeleteAllRows();
  view_.EnableList(true);
  view_.EnableEditBox(true);
  view_.EnableApplyButton(!readOnly);
  for (CommandId id : kOpenOnlyItems) view_.EnableMenuItem(id, true);
  EnableSizeItems();
  EnableMoveItem();
  EnableRevertItem();
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
  view_.EnableApplyButton(true);
  for (CommandId id : kOpenOnlyItems) view_.EnableMenuItem(id, false);
  view_.EnableMenuItem(CommandId::ExpandRom, false);
  view_.EnableMenuItem(CommandId::EditTptEntry, false);
  view_.EnableMenuItem(CommandId::ExpandedRomListing, false);
  view_.EnableMenuItem(CommandId::RevertToBackup, false);
  view_.CheckMenuItem(CommandId::PointerTableListing, true);
  view_.CheckMenuItem(CommandId::RawTextListing, false);
  view_.CheckMenuItem(CommandId::ExpandedRomListing, false);
  listingMode_ = ListingMode::PointerTableListing;
  for (CommandId id : kClipboardItems) view_.EnableMenuItem(id, false);
  EnableMoveItem();
  if (referencesShown_) {
    referencesShown_.reset();
    view_.CloseReferences();
  }
}

void EditorWindow::Exit() {
  if (!SettleUnappliedEdit()) return;
  CloseRom();
  view_.CloseWindow();
}

void EditorWindow::SetListingMode(ListingMode mode) {
  const ListingMode old = listingMode_;
  listingMode_ = mode;
  for (int i = 0; i < 3; ++i) view_.CheckMenuItem(kListingItems[i], i == static_cast<int>(mode));
  EnableMoveItem();
  if (mode != old) {
    FillEntryList();
    RefreshReferencesWindow();  // its lines are those of the listing shown
  }
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
  return compressWithDictionary_ ? Compressor().Measure(text, compressorScratch_) : MeasureText(text);
}

void EditorWindow::SetKeepBackup(bool on) {
  keepBackup_ = on;
  view_.CheckMenuItem(CommandId::KeepBackup, on);
  if (rom_.handle) rom_.handle->KeepBackupAt(on ? BackupPath() : std::string());
}

std::string EditorWindow::BackupPath() const {
  // Beside the file that was opened, whatever the working directory is now.
  return rom_.handle ? rom_.handle->OpenedPath() + ".bak" : std::string();
}

bool EditorWindow::IsTheBackup(const std::string& path) const {
  const std::string backup = BackupPath();
  if (backup.empty() || path.empty()) return false;
  struct stat out {}, kept {};
  if (::stat(path.c_str(), &out) == 0 && ::stat(backup.c_str(), &kept) == 0) {
    return out.st_dev == kept.st_dev && out.st_ino == kept.st_ino;
  }
  std::error_code error;
  const auto resolved = [&](const std::string& p) {
    return std::filesystem::weakly_canonical(std::filesystem::absolute(p, error), error);
  };
  return resolved(path) == resolved(backup);
}

bool EditorWindow::EnsureBackup(WriteStatus* status) {
  if (!rom_.handle) return false;
  const WriteResult result = rom_.handle->BackUpIfDue();
  if (status) *status = result.status;
  if (result.status == WriteStatus::BackupFailed) {
    ReportBackupFailure(result.error);
    return false;
  }
  if (!result) {
    ReportWriteFailure(result.status, result.error);
    return false;
  }
  EnableRevertItem();
  return true;
}

void EditorWindow::ReportBackupFailure(int error) {
  view_.ShowMessage(DescribeBackupFailure(BackupPath(), error), editor_text::kBackupFailedCaption,
                    MessageIcon::Warning);
}

std::string DescribeBackupFailure(const std::string& backupPath, int error) {
  const std::string name = BareFileName(backupPath);
  if (error == kNotARegularFile) return Format(editor_text::kBackupNotAFile, name);
  return Format(editor_text::kBackupFailed, name, SafeWriteErrorText(error ? error : EIO));
}

void EditorWindow::EnableRevertItem() {
  struct stat st {};
  const bool present = IsRomOpen() && !IsReadOnly() && ::stat(BackupPath().c_str(), &st) == 0 && S_ISREG(st.st_mode);
  view_.EnableMenuItem(CommandId::RevertToBackup, present);
}

void EditorWindow::EnableSizeItems() {
  const bool expanded = IsExpandedRom(*rom_.handle);
  view_.EnableMenuItem(CommandId::ExpandedRomListing, expanded);
  view_.EnableMenuItem(CommandId::ExpandRom, !expanded && !IsReadOnly());
}

namespace {

// The whole of a kept copy, or false with the system's error number. A file far larger than any
// ROM is not read at all (`bytes` is left empty).
bool ReadBackupFile(const std::string& path, std::vector<uint8_t>& bytes, int& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = errno;
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok) error = EINVAL;
  if (ok && st.st_size <= 0x800000 + RomFile::kCopierHeaderSize) {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (ok && done < bytes.size()) {
      const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        error = got < 0 ? errno : EIO;
        ok = false;
      } else {
        done += static_cast<size_t>(got);
      }
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

RevertResult EditorWindow::RevertToBackup() {
  RomFile* rom = SyncedRom();
  if (!rom || rom->IsReadOnly()) return RevertResult::NotAsked;
  const std::string backup = BackupPath();
  const std::string name = BareFileName(backup);
  struct stat st {};
  if (::stat(backup.c_str(), &st) != 0) {
    view_.ShowMessage(Format(editor_text::kRevertNoBackup, name), editor_text::kRevertCaption, MessageIcon::None);
    EnableRevertItem();
    return RevertResult::NoBackup;
  }
  if (!view_.AskYesNo(Format(editor_text::kRevertQuestion, name), editor_text::kRevertCaption)) {
    return RevertResult::NotAsked;
  }
  std::vector<uint8_t> bytes;
  int error = 0;
  if (!ReadBackupFile(backup, bytes, error) || !IsRestorableRom(bytes, rom->IsHeaderless())) {
    view_.ShowMessage(Format(editor_text::kRevertBadBackup, name), editor_text::kRevertCaption,
                      MessageIcon::Warning);
    return RevertResult::BadBackup;
  }
  const WriteResult written = rom->ReplaceContents(bytes);
  switch (written.status) {
    case WriteStatus::Written:
    case WriteStatus::FailedDamaged:  // the file may hold anything now: the list shows what it holds
      break;
    case WriteStatus::FailedRestored:
      view_.ShowMessage(Format(editor_text::kRevertFailed, std::strerror(written.error ? written.error : EIO)),
                        editor_text::kRevertCaption, MessageIcon::Warning);
      return RevertResult::Failed;
    default:
      ReportWriteFailure(written.status, written.error);
      return RevertResult::Failed;
  }
  const int mark = view_.SelectionMark();
  // The copy may be from before an expansion: the expanded listing may be gone with it.
  if (listingMode_ == ListingMode::ExpandedRomListing && !IsExpandedRom(*rom)) {
    listingMode_ = ListingMode::PointerTableListing;
    for (int i = 0; i < 3; ++i) view_.CheckMenuItem(kListingItems[i], i == 0);
  }
  EnableSizeItems();
  EnableMoveItem();
  FillEntryList();
  if (mark > 0 && table_.Contains(mark)) SelectRow(mark);
  RefreshReferencesWindow();
  EnableRevertItem();
  if (!written) {
    view_.ShowMessage(Format(editor_text::kRevertFailedDamaged, std::strerror(written.error ? written.error : EIO)),
                      editor_text::kRevertCaption, MessageIcon::Warning);
    return RevertResult::Failed;
  }
  return RevertResult::Reverted;
}

GrowResult EditorWindow::ExpandRom() {
  if (!IsRomOpen()) return GrowResult::NotOpen;
  if (WriteStatus status; !EnsureBackup(&status)) {
    // Said already; the file was left as it was.
    return status == WriteStatus::FileReplaced ? GrowResult::FileReplaced : GrowResult::BackupFailed;
  }
  GrowResult result = GrowRom(rom_, kExpandedRomSize);
  const bool grown = result == GrowResult::Grown || result == GrowResult::AlreadyLarge;
  if (grown && !IsExpandedRom(*rom_.handle)) result = GrowResult::Failed;
  switch (result) {
    case GrowResult::Grown:
    case GrowResult::AlreadyLarge:
      view_.EnableMenuItem(CommandId::ExpandRom, false);
      view_.EnableMenuItem(CommandId::ExpandedRomListing, true);
      RefreshReferencesWindow();
      EnableRevertItem();
      view_.ShowMessage(editor_text::kExpanded, editor_text::kExpandedCaption, MessageIcon::None);
      break;
    case GrowResult::ReadOnly:
      ReportWriteFailure(WriteStatus::ReadOnly, 0);
      break;
    case GrowResult::FileReplaced:
      ReportWriteFailure(WriteStatus::FileReplaced, 0);
      break;
    case GrowResult::FailedDamaged:
      view_.ShowMessage(editor_text::kExpandFailedDamaged, editor_text::kExpandFailedCaption,
                        MessageIcon::None);
      break;
    case GrowResult::Failed:
      view_.ShowMessage(editor_text::kExpandFailed, editor_text::kExpandFailedCaption,
                        MessageIcon::None);
      break;
    case GrowResult::BackupFailed:
      ReportBackupFailure(0);
      break;
    case GrowResult::JournalFailed:
      ReportWriteFailure(WriteStatus::JournalFailed, 0);
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
  if (!IsRomOpen() || !EnsureBackup()) return PointerEditResult::Refused;
  WriteResult written;
  const PointerEditResult result = ApplyPointerEdit(*rom_.handle, table_, row, *form, &written);
  if (result == PointerEditResult::Refused && !written.Ok()) ReportWriteFailure(written.status, written.error);
  if (result == PointerEditResult::Moved) {
    ReplaceRow(row, RowPreview(row));
    view_.SetSelectionMark(row);
    ShowEntry(row);
    UpdateCurrentSize();
  }
  if (result == PointerEditResult::Moved || result == PointerEditResult::Written) RefreshReferencesWindow();
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
  TextBuffer text;
  decoder_.DecodePreview(*rom, EntryOffset(entry), text, kRowPreviewLength);
  return text.ToString();
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
  RowList rows;
  TextBuffer text(4 * kRowPreviewLength);
  auto preview = [&](int64_t offset) {
    const int32_t size = decoder_.DecodePreview(*rom, offset, text, kRowPreviewLength);
    rows.Append(text.View());
    return size;
  };
  if (listingMode_ == ListingMode::PointerTableListing) {
    BuildTextEntries(*rom, listingMode_, table_, decoder_);
    rows.Reserve(table_.entries.size(), table_.entries.size() * kRowPreviewLength / 2);
    for (int i = 0; i < table_.count(); ++i) {
      PrefetchRow(*rom, i + kPrefetchDistance);
      preview(EntryOffset(i));
    }
  } else {
    rows.Reserve(TextEntryTable::kCapacity, TextEntryTable::kCapacity * kRowPreviewLength / 2);
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
  changedByApply_.clear();
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
                                                        e.sprite != 0 && e.movement != 0 && !IsReadOnly());
    }
  }
  view_.CheckMenuItem(CommandId::PreventOverwrites, preventOverwrites_);
}

void EditorWindow::SetEditText(std::string text) {
  editText_ = std::move(text);
  shownText_ = editText_;
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
  // Other lines whose text the write changes come first: an apply may not undo that. Then a text
  // without its end code at the end, which writes fine, but the game would print it wrong. An
  // empty one writes nothing at all.
  std::string hint;
  const int row = view_.SelectionMark();
  if (text == shownText_) {
    if (!changedByApply_.empty()) hint = Format(editor_text::kAlsoChanged, LineNames(changedByApply_));
  } else if (RomFile* rom = SyncedRom(); rom && table_.Contains(row)) {
    // Only a write Apply would make: a larger text is refused while overwrites are prevented.
    const int32_t present = ScanJumpCodes(*rom, EntryOffset(row), [](const JumpCodeAt&) {});
    const std::vector<int> changed =
        preventOverwrites_ && size > present ? std::vector<int>() : RowsChangedBy(row, text);
    if (!changed.empty()) hint = Format(editor_text::kAlsoChanges, LineNames(changed));
  }
  if (!text.empty()) {
    const std::vector<TextWarning> warnings = EndCodeWarnings(TextEncoder(text));
    if (!warnings.empty()) hint += (hint.empty() ? "" : "\n") + DescribeTextWarning(warnings.front());
  }
  view_.SetLabelToolTip(LabelId::CurrentSize, hint);
}

std::string BracketFaultHint(std::string_view text) {
  const int column = BracketFaultColumn(text);
  if (column == 0) return "";
  const bool stray = text[static_cast<size_t>(column - 1)] == ']';
  return Format(stray ? editor_text::kStrayCloseBracket : editor_text::kUnclosedOpenBracket, column);
}

void EditorWindow::ReplaceRow(int row, const std::string& text) { view_.SetRowText(row, text); }

bool EditorWindow::HasUnappliedEdit() const {
  return IsRomOpen() && table_.Contains(view_.SelectionMark()) && editText_ != shownText_;
}

bool EditorWindow::SettleUnappliedEdit() {
  if (!HasUnappliedEdit()) return true;
  const int row = view_.SelectionMark();
  switch (view_.AskApplyChanges(Format(editor_text::kApplyQuestion, row + 1),
                                editor_text::kApplyQuestionCaption)) {
    case ChangesAnswer::Discard:
      return true;
    case ChangesAnswer::Cancel:
      return false;
    case ChangesAnswer::Apply: {
      // A refused apply has said why and leaves the edit as it was: the window stays.
      const std::string text = editText_;
      return ApplyChanges(row, text) == ApplyResult::Written;
    }
  }
  return false;
}

bool EditorWindow::OnCloseRequest() { return SettleUnappliedEdit(); }

ApplyResult EditorWindow::ApplyChanges(int row, std::string_view text) {
  RomFile* rom = SyncedRom();
  if (!rom || !table_.Contains(row)) return ApplyResult::NoEntry;
  std::vector<int> changed;
  ApplyResult result;
  {
    // From the row's address to the write, no other Lettermoor process can move the text:
    // another program may have moved it since the list was filled.
    RomFile::Hold hold(*rom);
    if (hold.Held()) {
      SyncedRom();
      FollowMovedTexts(*rom);
    }
    // Worked out before the write: after it, the bytes are the same.
    changed = RowsChangedBy(row, text);
    result = WriteEntry(*rom, row, text);
  }
  switch (result) {
    case ApplyResult::Written:
      ReplaceRow(row, RowPreview(row));
      RefreshSharedRows(row);
      for (int other : changed) ReplaceRow(other, RowPreview(other));
      view_.SetSelectionMark(row);
      ShowEntry(row);
      changedByApply_ = std::move(changed);
      UpdateCurrentSize();
      RefreshReferencesWindow();
      EnableRevertItem();
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
    case ApplyResult::NonGameCharacter:
      view_.ShowMessage(DescribeNonGameCharacter(*FindNonGameCharacter(text)), editor_text::kPreWriteCaption,
                        MessageIcon::Warning);
      break;
    case ApplyResult::ReadOnly:
    case ApplyResult::FileReplaced:
    case ApplyResult::WriteFailed:
    case ApplyResult::WriteDamaged:
    case ApplyResult::BackupFailed:
    case ApplyResult::JournalFailed:
      ReportWriteFailure(lastWrite_.status, lastWrite_.error);
      break;
  }
  return result;
}

ApplyResult EditorWindow::WriteEntry(RomFile& rom, int row, std::string_view text) {
  const int32_t newSize = MeasureEdit(text);
  if (newSize == kMeasureNonGameCharacter) return ApplyResult::NonGameCharacter;
  if (newSize < 0) return ApplyResult::BracketError;
  int32_t oldSize = 0;
  DecodeEntry(row, &oldSize);
  if (preventOverwrites_ && newSize > oldSize) return ApplyResult::TooLarge;
  // Only Expand ROM grows a file: bytes that would reach past its end are refused.
  const int64_t offset = EntryOffset(row);
  if (offset < 0 || offset + newSize > RomFileSize(rom)) return ApplyResult::PastEndOfFile;
  lastWrite_ = compressWithDictionary_ ? WriteCompressedText(rom, offset, text, Compressor())
                                       : WriteText(rom, offset, text);
  switch (lastWrite_.status) {
    case WriteStatus::Written: return ApplyResult::Written;
    case WriteStatus::OutsideFile: return ApplyResult::PastEndOfFile;
    case WriteStatus::ReadOnly: return ApplyResult::ReadOnly;
    case WriteStatus::FileReplaced: return ApplyResult::FileReplaced;
    case WriteStatus::FailedRestored: break;
    case WriteStatus::FailedDamaged: return ApplyResult::WriteDamaged;
    case WriteStatus::BackupFailed: return ApplyResult::BackupFailed;
    case WriteStatus::JournalFailed: return ApplyResult::JournalFailed;
  }
  return ApplyResult::WriteFailed;
}

void EditorWindow::ReportWriteFailure(WriteStatus status, int error) {
  const char* reason = std::strerror(error ? error : EIO);
  switch (status) {
    case WriteStatus::Written:
      return;
    case WriteStatus::OutsideFile:
      view_.ShowMessage(editor_text::kPastEndOfFile, editor_text::kPreWriteCaption, MessageIcon::Warning);
      return;
    case WriteStatus::ReadOnly:
      view_.ShowMessage(editor_text::kReadOnlyRom, editor_text::kWriteFailedCaption, MessageIcon::Warning);
      return;
    case WriteStatus::FailedRestored:
      view_.ShowMessage(Format(editor_text::kWriteFailedRestored, reason), editor_text::kWriteFailedCaption,
                        MessageIcon::Warning);
      return;
    case WriteStatus::FailedDamaged:
      view_.ShowMessage(Format(editor_text::kWriteFailedDamaged, reason), editor_text::kWriteFailedCaption,
                        MessageIcon::Warning);
      return;
    case WriteStatus::BackupFailed:
      ReportBackupFailure(error);
      return;
    case WriteStatus::JournalFailed:
      view_.ShowMessage(Format(editor_text::kJournalFailed, BareFileName(rom_.handle ? rom_.handle->JournalPath() : ""),
                               std::string(reason)),
                        editor_text::kWriteFailedCaption, MessageIcon::Warning);
      return;
    case WriteStatus::FileReplaced:
      break;
  }
  view_.ShowMessage(editor_text::kFileReplaced, editor_text::kFileReplacedCaption, MessageIcon::Warning);
  const std::string path = rom_.path;
  if (view_.AskYesNo(Format(editor_text::kReopenQuestion, path), editor_text::kFileReplacedCaption)) {
    OpenRomPath(path);
  }
}

void EditorWindow::FollowMovedTexts(const RomFile& rom) {
  if (listingMode_ != ListingMode::PointerTableListing) return;
  for (int i = 0; i < table_.count(); ++i) {
    TextEntry& e = table_.entries[static_cast<size_t>(i)];
    const std::optional<SnesAddress> now = CurrentTextAddress(rom, e);
    if (!now || *now == e.textAddress) continue;
    e.textAddress = *now;
    ReplaceRow(i, RowPreview(i));
  }
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

void EditorWindow::OnListMarkMoved(int row) { OnListClick(row); }

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
  // FindNextRow's search, with one look at the file for the whole walk. Rows are decoded one
  // after another into one piece of text, which is searched as a whole: a match counts only
  // where it lies within one row.
  constexpr size_t kPiece = 32 * 1024;
  const std::string needle = UpperCaseAscii(query);
  TextBuffer text(kPiece + 16 * 1024);
  std::vector<size_t> ends;  // where each row of the piece ends
  std::optional<int> hit;
  for (int row = std::max(after + 1, 0); row < table_.count() && !hit;) {
    const int pieceFirst = row;
    text.Clear();
    ends.clear();
    for (; row < table_.count() && text.Size() < kPiece; ++row) {
      PrefetchRow(*rom, row + kPrefetchDistance);
      decoder_.DecodeBracketed(*rom, EntryOffset(row), text);
      ends.push_back(text.Size());
    }
    size_t k = 0;  // the row of the piece where the match at `at` starts
    for (size_t at = FindUpperCased(text.View(), needle); at != std::string_view::npos;
         at = FindUpperCased(text.View(), needle, at + 1)) {
      while (ends[k] < at || (ends[k] == at && !needle.empty())) ++k;
      if (at + needle.size() <= ends[k]) {
        hit = pieceFirst + static_cast<int>(k);
        break;
      }
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
  // One look at the file for the whole dump; the rows are decoded straight into large pieces,
  // which go out one after another.
  constexpr size_t kPiece = 64 * 1024;
  const RomFile* rom = SyncedRom();
  TextBuffer piece(kPiece + 16 * 1024);
  auto flush = [&] {
    const bool written = std::fwrite(piece.Data(), 1, piece.Size(), out) == piece.Size();
    piece.Clear();
    return written;
  };
  for (int i = 0; i < table_.count(); ++i) {
    if (rom) {
      PrefetchRow(*rom, i + kPrefetchDistance);
      decoder_.DecodeBracketed(*rom, EntryOffset(i), piece);
    }
    piece.Put('\n');
    if (piece.Size() >= kPiece && !flush()) return false;
  }
  return flush();
}

DumpResult EditorWindow::DumpToTextFile() {
  DumpResult result;
  if (!IsRomOpen()) return result;
  result.fileName = DumpFileName(listingMode_);
  result.path = dumpFolder_.empty() ? result.fileName : dumpFolder_ + "/" + result.fileName;
  if (rom_.handle->IsSameFile(result.path) || IsTheBackup(result.path)) {
    const bool rom = rom_.handle->IsSameFile(result.path);
    result.outcome = rom ? DumpResult::Outcome::IsTheRom : DumpResult::Outcome::IsTheBackup;
    view_.ShowMessage(Format(rom ? editor_text::kDumpIsRom : editor_text::kDumpIsBackup, result.fileName),
                      editor_text::kDumpFailedCaption, MessageIcon::None);
    return result;
  }
  const SafeWriteResult written =
      WriteFileSafely(result.path, [&](std::FILE* out) { return WriteDump(out); });
  const bool ok = written.ok;
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

}  // namespace lettermoor

#include "editor/editor_window.h"

#include <algorithm>

#include "codec/text_encoder.h"
#include "codec/text_warnings.h"

namespace lettermoor {

namespace {

// Items that every successful open enables and every close grays.
constexpr CommandId kOpenOnlyItems[] = {
    CommandId::ViewDetails,         CommandId::DumpToTextFile,   CommandId::Close,
    CommandId::Search,              CommandId::PointerTableListing, CommandId::RawTextListing,
    CommandId::DisplayTextAndCodes, CommandId::DisplayCodesOnly, CommandId::PreventOverwrites,
    CommandId::UseCompression,      CommandId::CompressWithDictionary, CommandId::FindReferences,
    CommandId::ExportScript,        CommandId::ImportScript,     CommandId::CreatePatch,
    CommandId::ApplyPatchToCopy,    CommandId::OriginalRom,       CommandId::CheckConsistency,
    CommandId::ExportScript,        CommandId::ImportScript,     CommandId::RunInEmulator,
    CommandId::History,
    CommandId::CharacterTable,
};

constexpr CommandId kClipboardItems[] = {CommandId::Undo, CommandId::Cut, CommandId::Copy,
                                         CommandId::Paste};

constexpr CommandId kListingItems[] = {CommandId::PointerTableListing, CommandId::RawTextListing,
                                       CommandId::ExpandedRomListing};

}  // namespace

EditorWindow::EditorWindow(EditorView& view) : view_(view) {}

RomFile* EditorWindow::SyncedRom() {
  RomFile* rom = doc_.Synced();
  ReportRecovery(doc_.TakeRecovery());
  return rom;
}

void EditorWindow::ReportRecovery(const Recovery& found) {
  if (found.status == RecoveryStatus::None) return;
  view_.ShowMessage(DescribeRecovery(found), editor_text::kRecoveryCaption, MessageIcon::Warning);
}

void EditorWindow::ShowWarning(const std::string& text, const char* caption) {
  view_.ShowMessage(text, caption, MessageIcon::Warning);
}

void EditorWindow::Initialise() {
  view_.SetIcon();
  view_.InsertListColumn(kListColumnWidth);
  view_.LimitEditText(kEditTextLimit);
  doc_.Close();
  preventOverwrites_ = true;
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
  view_.CheckMenuItem(CommandId::KeepBackup, doc_.KeepBackup());
  view_.EnableMenuItem(CommandId::KeepBackup, true);
  view_.CheckMenuItem(CommandId::KeepChecksumRight, doc_.KeepChecksumRight());
  view_.EnableMenuItem(CommandId::KeepChecksumRight, true);
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
    case CommandId::CheckConsistency: CheckConsistency(); break;
    case CommandId::RevertToBackup: RevertToBackup(); break;
    case CommandId::KeepBackup: SetKeepBackup(!doc_.KeepBackup()); break;
    case CommandId::CreatePatch: MakePatch(); break;
    case CommandId::ApplyPatchToCopy: ApplyPatchToCopy(); break;
    case CommandId::ReplaceInAllTexts: ReplaceInAllTexts(); break;
    case CommandId::OriginalRom: ChooseOriginal(); break;
    case CommandId::CharacterTable: ChooseTable(); break;
    case CommandId::ForgetOriginal: ForgetOriginal(); break;
    case CommandId::FindNextUntranslated: FindNextUntranslated(); break;
    case CommandId::KeepChecksumRight: SetKeepChecksumRight(!doc_.KeepChecksumRight()); break;
    case CommandId::RunInEmulator: RunInEmulator(); break;
    case CommandId::History: ShowHistory(); break;
    case CommandId::UndoLastChange: UndoChange(0); break;
  }
  NoteHistoryTrimmed();
}

void EditorWindow::OpenRom() {
  RomChoice choice = view_.ChooseRomFile();
  if (choice.path.empty()) return;
  OpenRomPath(choice.path);
}

void EditorWindow::OpenRomPath(const std::string& path, RomOpenMode mode) {
  OpenedRom opened = Document::OpenFile(path, mode);
  lastOpenError_ = opened.error;
  if (!opened.file) return;  // cancelled, missing or unreadable: nothing changes, nothing is said
  ReportRecovery(opened.recovery);
  if (opened.type == RomType::Unrecognized) {
    view_.ShowMessage(editor_text::kBadRom, editor_text::kBadRomCaption, MessageIcon::None);
    return;
  }
  if (opened.type == RomType::Mother2) {
    view_.ShowMessage(editor_text::kMother2, editor_text::kMother2Caption, MessageIcon::None);
    return;
  }
  // The pick is good: what was typed into the old ROM's entry is settled before it closes.
  if (!SettleUnappliedEdit()) return;
  CloseRom();
  doc_.Adopt(std::move(opened));
  const bool readOnly = doc_.IsReadOnly();
  view_.SetTitle(readOnly ? editor_text::kTitleRomOpenReadOnly : editor_text::kTitleRomOpen);
  view_.DeleteAllRows();
  view_.EnableList(true);
  view_.EnableEditBox(true);
  view_.EnableApplyButton(!readOnly);
  for (CommandId id : kOpenOnlyItems) view_.EnableMenuItem(id, true);
  view_.EnableMenuItem(CommandId::ImportScript, !readOnly);
  view_.EnableMenuItem(CommandId::ReplaceInAllTexts, !readOnly);
  view_.EnableMenuItem(CommandId::UndoLastChange, !readOnly);
  EnableSizeItems();
  EnableMoveItem();
  EnableRevertItem();
  LoadRememberedOriginal();
  EnableOriginalItems();
  LoadTable();
  FillEntryList();
}

void EditorWindow::CloseRom() {
  doc_.Close();
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
  view_.EnableMenuItem(CommandId::ReplaceInAllTexts, false);
  view_.EnableMenuItem(CommandId::UndoLastChange, false);
  view_.EnableMenuItem(CommandId::ExpandRom, false);
  view_.EnableMenuItem(CommandId::EditTptEntry, false);
  view_.EnableMenuItem(CommandId::ExpandedRomListing, false);
  view_.EnableMenuItem(CommandId::RevertToBackup, false);
  CheckListingItems();
  for (CommandId id : kClipboardItems) view_.EnableMenuItem(id, false);
  EnableMoveItem();
  EnableOriginalItems();
  view_.ShowCharacterTable(nullptr);
  ShowTranslations();
  ShowOriginal(-1);
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

void EditorWindow::CheckListingItems() {
  const int mode = static_cast<int>(doc_.Mode());
  for (int i = 0; i < 3; ++i) view_.CheckMenuItem(kListingItems[i], i == mode);
}

void EditorWindow::SetListingMode(ListingMode mode) {
  const ListingMode old = doc_.Mode();
  // The list is filled again: typed work is asked about first, and a cancel keeps the listing.
  if (mode != old && !SettleUnappliedEdit()) {
    CheckListingItems();
    return;
  }
  doc_.SetMode(mode);
  CheckListingItems();
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

void EditorWindow::SetKeepBackup(bool on) {
  doc_.SetKeepBackup(on);
  view_.CheckMenuItem(CommandId::KeepBackup, on);
}

void EditorWindow::SetKeepChecksumRight(bool on) {
  doc_.SetKeepChecksumRight(on);
  view_.CheckMenuItem(CommandId::KeepChecksumRight, on);
}

bool EditorWindow::RunInEmulator() {
  // The emulator reads the file: typed work counts only once it is in there.
  if (!IsRomOpen() || !SettleUnappliedEdit()) return false;
  view_.StartEmulator(doc_.Rom().handle->OpenedPath());
  return true;
}

void EditorWindow::EnableSizeItems() {
  const bool expanded = doc_.IsExpanded();
  view_.EnableMenuItem(CommandId::ExpandedRomListing, expanded);
  view_.EnableMenuItem(CommandId::ExpandRom, !expanded && !IsReadOnly());
}

void EditorWindow::FillEntryList() {
  if (!SyncedRom()) return;
  FilledListing listing = doc_.Fill();
  ReportRecovery(doc_.TakeRecovery());
  view_.SetAllRows(std::move(listing.rows));
  ShowTranslations();
  view_.SetSelectionMark(0);
  ShowEntry(0);
  UpdateCurrentSize();
  if (listing.truncated) {
    view_.ShowMessage(editor_text::kListingCut, editor_text::kListingCutCaption, MessageIcon::None);
  }
}

void EditorWindow::ShowEntry(int row) {
  changedByApply_.clear();
  if (row != -1) {
    if (!IsRomOpen() || !Table().Contains(row)) {
      // No such entry: show nothing rather than a text that Apply could not write back.
      SetEditText("");
      view_.SetLabel(LabelId::Line, "");
      view_.SetLabel(LabelId::Size, "");
      view_.EnableMenuItem(CommandId::EditTptEntry, false);
      ShowOriginal(-1);
    } else {
      int32_t size = 0;
      std::string text = doc_.EntryText(row, &size);
      if (displayMode_ == 0) text = doc_.EntryCodes(row, size);
      SetEditText(std::move(text));
      view_.SetLabel(LabelId::Line, FormatText(editor_text::kLineFormat, row + 1, Table().count()));
      view_.SetLabel(LabelId::Size, FormatText(editor_text::kSizeFormat, size));
      const TextEntry& e = Table().entries[static_cast<size_t>(row)];
      view_.EnableMenuItem(CommandId::EditTptEntry, doc_.Mode() == ListingMode::PointerTableListing &&
                                                        e.sprite != 0 && e.movement != 0 && !IsReadOnly());
      ShowOriginal(row);
    }
  }
  view_.CheckMenuItem(CommandId::PreventOverwrites, preventOverwrites_);
}

void EditorWindow::SetEditText(std::string text) {
  editText_ = std::move(text);
  shownText_ = editText_;
  view_.SetEditText(editText_);
  UpdateTextStatus();
}

void EditorWindow::UpdateTextStatus() {
  if (!IsRomOpen()) {
    view_.ShowTextStatus("", false);
    return;
  }
  // The fonts are the file's: read again whenever its bytes may have changed.
  if (fontsVersion_ != Rom().handle->Version()) {
    previewer_.ReadFonts(*Rom().handle);
    fontsVersion_ = Rom().handle->Version();
  }
  // Characters as the edit box counts them: a UTF-8 sequence is one.
  const int characters = static_cast<int>(std::count_if(editText_.begin(), editText_.end(), [](char c) {
    return (static_cast<uint8_t>(c) & 0xC0) != 0x80;
  }));
  const std::string game = doc_.Characters() ? doc_.GameTextOf(editText_) : std::string();
  const bool laid = previewer_.LayText(doc_.Dictionary(), doc_.Characters() ? game : editText_,
                                       TextWindowKind::Dialogue, fit_) == PreviewRefusal::None;
  view_.ShowTextStatus(DescribeTextStatus(characters, laid ? &fit_ : nullptr), laid && fit_.notFitting == 0);
}

void EditorWindow::UpdateCurrentSize() {
  const std::string& text = editText_;
  // Checked and encoded once on each keystroke: the size, the other rows it changes and the end
  // code's hint all come from these bytes (the compressed size from the compressor's own walk).
  // Through a character table, the encoder reads the text as the table spells it.
  const CharacterTable* characters = doc_.Characters();
  if (characters && characters->ReadsAsItself(text)) characters = nullptr;  // nothing to spell
  std::string game;
  NonGameCharacter refused;
  const bool spelled = !characters || characters->ToGameText(text, game, refused);
  EncodedText encoded;
  if (spelled) {
    encoded = EncodeForWrite(characters ? game : text, nullptr);
  } else {
    encoded.refusal = TextRefusal::NonGameCharacter;
  }
  const int32_t size = !encoded.Ok()             ? kMeasureBracketError
                       : compressWithDictionary_ ? MeasureEdit(text)
                                                 : static_cast<int32_t>(encoded.bytes.size());
  if (size < 0) {
    view_.SetLabel(LabelId::CurrentSize, editor_text::kCurrentSizeUnknown);
    view_.SetLabelToolTip(LabelId::CurrentSize, EditFaultHint(text, doc_.Characters()));
    return;
  }
  view_.SetLabel(LabelId::CurrentSize,
                 FormatText(compressWithDictionary_ ? editor_text::kCurrentSizeCompressedFormat
                                                    : editor_text::kCurrentSizeFormat,
                            size));
  view_.SetLabelToolTip(LabelId::CurrentSize, SizeHint(text, size, encoded.bytes));
}

std::string EditorWindow::SizeHint(std::string_view text, int32_t size, const std::vector<uint8_t>& plain) {
  // Other lines whose text the write changes come first: an apply may not undo that. Then a text
  // without its end code at the end, which writes fine, but the game would print it wrong. An
  // empty one writes nothing at all.
  std::string hint;
  const int row = view_.SelectionMark();
  if (text == shownText_) {
    if (!changedByApply_.empty()) hint = FormatText(editor_text::kAlsoChanged, LineNames(changedByApply_));
  } else if (SyncedRom() && Table().Contains(row) && !(preventOverwrites_ && size > doc_.PresentSize(row))) {
    // Only a write Apply would make: a larger text is refused while overwrites are prevented.
    const std::vector<int> changed = compressWithDictionary_ ? RowsChangedBy(row, text) : doc_.RowsChangedBy(row, plain);
    if (!changed.empty()) hint = FormatText(editor_text::kAlsoChanges, LineNames(changed));
  }
  if (!text.empty()) {
    const std::vector<TextWarning> warnings = EndCodeWarnings(plain);
    if (!warnings.empty()) hint += (hint.empty() ? "" : "\n") + DescribeTextWarning(warnings.front());
  }
  return hint;
}

void EditorWindow::ReplaceRow(int row, const std::string& text) { view_.SetRowText(row, text); }

void EditorWindow::ReplaceRows(const std::vector<int>& rows) {
  for (int row : rows) ReplaceRow(row, RowPreview(row));
}

bool EditorWindow::HasUnappliedEdit() const {
  return IsRomOpen() && Table().Contains(view_.SelectionMark()) && editText_ != shownText_;
}

bool EditorWindow::SettleUnappliedEdit() {
  if (!HasUnappliedEdit()) return true;
  const int row = view_.SelectionMark();
  switch (view_.AskApplyChanges(FormatText(editor_text::kApplyQuestion, row + 1),
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
  if (!SyncedRom()) return ApplyResult::NoEntry;
  const ApplyOutcome outcome = doc_.Apply(row, text, WriteOptions{preventOverwrites_, compressWithDictionary_});
  ReportRecovery(doc_.TakeRecovery());
  ReplaceRows(outcome.followedRows);
  if (outcome.result != ApplyResult::Written) {
    ReportApplyRefusal(outcome);
    return outcome.result;
  }
  ReplaceRow(row, RowPreview(row));
  RefreshSharedRows(row);
  ReplaceRows(outcome.changedRows);
  ShowTranslations();
  view_.SetSelectionMark(row);
  ShowEntry(row);
  changedByApply_ = outcome.changedRows;
  UpdateCurrentSize();
  RefreshReferencesWindow();
  EnableRevertItem();
  NoteHistoryTrimmed();
  return outcome.result;
}

void EditorWindow::ReportApplyRefusal(const ApplyOutcome& outcome) {
  if (outcome.result == ApplyResult::NoEntry) return;
  const bool refused = outcome.result == ApplyResult::BracketError || outcome.result == ApplyResult::TooLarge ||
                       outcome.result == ApplyResult::PastEndOfFile || outcome.result == ApplyResult::NonGameCharacter;
  if (!refused) {
    ReportWriteFailure(outcome.status, outcome.error);
    return;
  }
  ShowWarning(DescribeApplyRefusal(outcome, BackupPath(), JournalPath()), editor_text::kPreWriteCaption);
}

std::string EditorWindow::JournalPath() const { return Rom().handle ? Rom().handle->JournalPath() : ""; }

void EditorWindow::ReportWriteFailure(WriteStatus status, int error) {
  if (status == WriteStatus::Written) return;
  if (status != WriteStatus::FileReplaced) {
    ShowWarning(DescribeWriteFailure(status, error, BackupPath(), JournalPath()), WriteFailureCaption(status));
    return;
  }
  ShowWarning(editor_text::kFileReplaced, editor_text::kFileReplacedCaption);
  const std::string path = Rom().path;
  if (view_.AskYesNo(FormatText(editor_text::kReopenQuestion, path), editor_text::kFileReplacedCaption)) {
    OpenRomPath(path);
  }
}

void EditorWindow::RefreshSharedRows(int row) {
  const std::vector<int> shared = doc_.RowsSharingText(row);
  if (shared.empty()) return;
  const std::string preview = RowPreview(row);
  for (int i : shared) ReplaceRow(i, preview);
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
  // A read-only ROM's record cannot be written: the double-click shows its details instead.
  if (doc_.Mode() == ListingMode::PointerTableListing && !IsReadOnly()) {
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

bool HasEmbeddingSwitch(const std::vector<std::string>& arguments) {
  for (const std::string& a : arguments) {
    if (a == "-Embedding" || a == "/Embedding" || a == "-Automation" || a == "/Automation") return true;
  }
  return false;
}

}  // namespace lettermoor

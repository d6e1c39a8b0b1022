// The main window's commands on one text and what leads to it: Find References, Move to Free
// Space, Edit TPT entry and View current details.

#include "codec/text_encoder.h"
#include "editor/editor_window.h"

namespace lettermoor {

void EditorWindow::FindReferences(int row) {
  if (!IsRomOpen() || !Table().Contains(row)) return;
  referencesShown_ = Table().entries[static_cast<size_t>(row)].textAddress;
  const ReferenceIndex& index = References();
  view_.ShowReferences(MakeReferencesPage(*Rom().handle, index, Table(), Listing(), *referencesShown_, row));
}

void EditorWindow::OnReferencesClosed() { referencesShown_.reset(); }

void EditorWindow::GoToReferenceLine(int row) {
  if (SettleUnappliedEdit()) SelectRow(row);
}

void EditorWindow::RefreshReferencesWindow() {
  if (!referencesShown_ || !IsRomOpen()) return;
  // The window follows the text it was opened for, wherever its row is now, if it has one.
  int row = -1;
  for (int i = 0; i < Table().count() && row < 0; ++i) {
    if (Table().entries[static_cast<size_t>(i)].textAddress == *referencesShown_) row = i;
  }
  const ReferenceIndex& index = References();
  if (!Rom().handle) return;
  view_.ShowReferences(MakeReferencesPage(*Rom().handle, index, Table(), Listing(), *referencesShown_, row));
}

void EditorWindow::EnableMoveItem() {
  view_.EnableMenuItem(CommandId::MoveToFreeSpace,
                       IsRomOpen() && !IsReadOnly() && Listing() == ListingMode::PointerTableListing);
}

bool EditorWindow::MoveToFreeSpace(int row, std::string_view text) {
  if (!SyncedRom()) return false;
  if (IsReadOnly()) {
    // Said before any offer to expand a file that cannot be written.
    ReportWriteFailure(WriteStatus::ReadOnly, 0);
    return false;
  }
  TextMoveOutcome moved = doc_.Move(row, text, compressWithDictionary_);
  if (moved.refusal == MoveRefusal::NotExpanded) {
    // The expansion first, when the user wants it; then the move as asked.
    if (!view_.AskYesNo(editor_text::kMoveOfferExpand, editor_text::kMoveCaption)) return false;
    ExpandRom();
    if (!doc_.IsExpanded()) return false;
    moved = doc_.Move(row, text, compressWithDictionary_);
  }
  ReportRecovery(doc_.TakeRecovery());
  ReplaceRows(moved.followedRows);
  if (RefuseMove(moved)) return false;
  ShowMovedText(row, moved);
  return true;
}

bool EditorWindow::RefuseMove(const TextMoveOutcome& moved) {
  if (moved.Moved()) return false;
  // A write refused before anything changed is told as any write is (a replaced file is offered
  // again); the move's own refusals have their captions.
  if (const WriteStatus refused = moved.RefusedWrite(); refused != WriteStatus::Written) {
    ReportWriteFailure(refused, !moved.backup ? moved.backup.error : moved.move.error);
    return true;
  }
  const std::string why = DescribeMoveRefusal(moved, BackupPath(), JournalPath());
  if (why.empty()) return true;
  const bool preWrite = moved.refusal != MoveRefusal::None ? moved.refusal != MoveRefusal::NotExpanded
                                                           : moved.move.outcome == MoveOutcome::NoEndCode;
  const bool failed = moved.refusal == MoveRefusal::None && moved.move.outcome == MoveOutcome::WriteFailed;
  ShowWarning(why, preWrite ? editor_text::kPreWriteCaption
                   : failed ? editor_text::kWriteFailedCaption
                            : editor_text::kMoveCaption);
  return true;
}

void EditorWindow::ShowMovedText(int row, const TextMoveOutcome& moved) {
  // The rows of the moved text lead to the new copy now; the rest of the list is as it was (a
  // repointed jump code is not part of any row's preview).
  if (referencesShown_ == moved.from) referencesShown_ = moved.move.to;
  ReplaceRow(row, RowPreview(row));
  RefreshSharedRows(row);
  ShowTranslations();
  SelectRow(row);
  RefreshReferencesWindow();
  EnableRevertItem();
  view_.ShowMessage(FormatText(editor_text::kMoved, row + 1, static_cast<unsigned>(moved.move.to), moved.move.repointed,
                               moved.move.repointed == 1 ? "" : "s"),
                    editor_text::kMoveCaption, MessageIcon::None);
}

// The Tools > "Edit &TPT entry" command and the double-click of the pointer table listing.
PointerEditResult EditorWindow::EditTextPointerEntry(int row) {
  std::optional<PointerEntryForm> form = doc_.PointerFormFor(row);
  if (!form) return PointerEditResult::NothingToEdit;
  if (IsReadOnly()) {
    // Not opened only to refuse what the user typed into it.
    ReportWriteFailure(WriteStatus::ReadOnly, 0);
    return PointerEditResult::Refused;
  }
  if (!view_.RunPointerEntryEditor(*form)) return PointerEditResult::Cancelled;
  WriteResult written;
  const PointerEditResult result = doc_.EditPointer(row, *form, &written);
  if (result == PointerEditResult::Refused && !written.Ok()) ReportWriteFailure(written.status, written.error);
  if (written.Ok()) EnableRevertItem();
  if (result == PointerEditResult::Moved) {
    ReplaceRow(row, RowPreview(row));
    ShowTranslations();  // the record leads to another text now
    view_.SetSelectionMark(row);
    ShowEntry(row);
    UpdateCurrentSize();
  }
  if (result == PointerEditResult::Moved || result == PointerEditResult::Written) RefreshReferencesWindow();
  return result;
}

// Tools > "&View current details", a right-click on a row, and a double-click outside the pointer
// table listing.
bool EditorWindow::OpenDetails(int row) {
  if (!SyncedRom()) return false;
  const std::optional<DetailsRequest> request = doc_.Details(row);
  if (!request) return false;
  view_.RunDetailsWindow(*request);
  return true;
}

}  // namespace lettermoor

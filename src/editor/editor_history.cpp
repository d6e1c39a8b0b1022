// The main window's history of changes: the list of what was written, and undoing one of them.

#include "editor/editor_window.h"

namespace lettermoor {

void EditorWindow::ShowHistory() {
  if (IsRomOpen()) view_.RunHistoryWindow();
}

std::vector<HistoryEntry> EditorWindow::HistoryEntries() {
  SyncedRom();
  return doc_.History();
}

UndoOutcome EditorWindow::UndoChange(uint64_t id) {
  if (!IsRomOpen() || IsReadOnly()) return {};
  // The list is filled again after the undo: typed work is asked about first.
  if (!SettleUnappliedEdit()) return {};
  SyncedRom();
  const UndoOutcome outcome = id == 0 ? doc_.UndoLast() : doc_.Undo(id);
  ReportRecovery(doc_.TakeRecovery());
  if (outcome.result == UndoResult::Undone) {
    // As after an import: the texts (and, after a move, the addresses) are the file's now, and
    // the marked row stays marked and shown.
    const int mark = view_.SelectionMark();
    CheckListingItems();
    EnableSizeItems();
    EnableMoveItem();
    FillEntryList();
    if (mark >= 0 && Table().Contains(mark)) SelectRow(mark);
    RefreshReferencesWindow();
    EnableRevertItem();
    view_.ShowStatusNote(DescribeUndo(outcome, BackupPath(), JournalPath()));
  } else if (outcome.result == UndoResult::WriteFailed) {
    ReportWriteFailure(outcome.status, outcome.error);
  } else if (outcome.result != UndoResult::NoEntry || id != 0) {
    ShowWarning(DescribeUndo(outcome, BackupPath(), JournalPath()), editor_text::kUndoCaption);
  }
  NoteHistoryTrimmed();
  return outcome;
}

void EditorWindow::NoteHistoryTrimmed() {
  if (doc_.TakeHistoryTrimmed()) view_.ShowStatusNote(editor_text::kHistoryTrimmed);
}

}  // namespace lettermoor

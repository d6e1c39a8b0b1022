// The main window's commands around the file itself: the copy kept before the first write,
// putting it back, and growing the ROM.

#include <cerrno>
#include <cstring>

#include "editor/editor_window.h"

namespace lettermoor {

bool EditorWindow::EnsureBackup(WriteStatus* status) {
  if (!IsRomOpen()) return false;
  const WriteResult result = doc_.EnsureBackup();
  if (status) *status = result.status;
  if (!result) {
    ReportWriteFailure(result.status, result.error);
    return false;
  }
  EnableRevertItem();
  return true;
}

void EditorWindow::EnableRevertItem() {
  view_.EnableMenuItem(CommandId::RevertToBackup, !IsReadOnly() && doc_.HasBackup());
}

RevertResult EditorWindow::RevertToBackup() {
  RomFile* rom = SyncedRom();
  if (!rom || rom->IsReadOnly()) return RevertResult::NotAsked;
  const std::string name = BareFileName(BackupPath());
  if (!doc_.BackupPresent()) {
    view_.ShowMessage(FormatText(editor_text::kRevertNoBackup, name), editor_text::kRevertCaption, MessageIcon::None);
    EnableRevertItem();
    return RevertResult::NoBackup;
  }
  // The list is filled again from the backup: typed work is asked about first.
  if (!SettleUnappliedEdit()) return RevertResult::NotAsked;
  if (!view_.AskYesNo(FormatText(editor_text::kRevertQuestion, name), editor_text::kRevertCaption)) {
    return RevertResult::NotAsked;
  }
  const RevertOutcome outcome = doc_.Revert();
  const std::string reason = std::strerror(outcome.error ? outcome.error : EIO);
  if (outcome.result == RevertResult::BadBackup || outcome.result == RevertResult::NoBackup) {
    ShowWarning(FormatText(editor_text::kRevertBadBackup, name), editor_text::kRevertCaption);
    return RevertResult::BadBackup;
  }
  if (outcome.status == WriteStatus::FailedRestored) {
    ShowWarning(FormatText(editor_text::kRevertFailed, reason), editor_text::kRevertCaption);
    return RevertResult::Failed;
  }
  if (outcome.status != WriteStatus::Written && outcome.status != WriteStatus::FailedDamaged) {
    ReportWriteFailure(outcome.status, outcome.error);
    return RevertResult::Failed;
  }
  const int mark = view_.SelectionMark();
  CheckListingItems();
  EnableSizeItems();
  EnableMoveItem();
  FillEntryList();
  if (mark > 0 && Table().Contains(mark)) SelectRow(mark);
  RefreshReferencesWindow();
  EnableRevertItem();
  if (outcome.result != RevertResult::Reverted) {
    ShowWarning(FormatText(editor_text::kRevertFailedDamaged, reason), editor_text::kRevertCaption);
  }
  return outcome.result;
}

GrowResult EditorWindow::ExpandRom() {
  if (!IsRomOpen()) return GrowResult::NotOpen;
  const ExpandOutcome outcome = doc_.Expand();
  const bool grown = outcome.result == GrowResult::Grown || outcome.result == GrowResult::AlreadyLarge;
  if (grown) {
    view_.EnableMenuItem(CommandId::ExpandRom, false);
    view_.EnableMenuItem(CommandId::ExpandedRomListing, true);
    RefreshReferencesWindow();
    EnableRevertItem();
    view_.ShowMessage(editor_text::kExpanded, editor_text::kExpandedCaption, MessageIcon::None);
  } else if (const WriteStatus refused = outcome.RefusedWrite(); refused != WriteStatus::Written) {
    ReportWriteFailure(refused, outcome.error);  // refused before anything changed, as any write is
  } else if (outcome.result != GrowResult::NotOpen) {
    view_.ShowMessage(DescribeExpand(outcome, BackupPath(), JournalPath()), editor_text::kExpandFailedCaption,
                      MessageIcon::None);
  }
  return outcome.result;
}

}  // namespace lettermoor

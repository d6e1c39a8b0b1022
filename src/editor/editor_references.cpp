// The main window's commands around the reference index: Find References and Move to Free Space.

#include <algorithm>
#include <cstdio>

#include "codec/decode_items.h"
#include "codec/jump_codes.h"
#include "codec/text_encoder.h"
#include "editor/editor_window.h"
#include "entries/text_move.h"
#include "rom/snes_address.h"

namespace lettermoor {

namespace {

std::string Format(const char* format, int a) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}

}  // namespace

const ReferenceIndex& EditorWindow::References() {
  RomFile* rom = SyncedRom();
  if (!rom) {
    references_ = ReferenceIndex();
    referencesVersion_ = 0;
  } else if (referencesVersion_ != rom->Version()) {
    references_ = ReferenceIndex::Build(*rom);
    referencesVersion_ = rom->Version();
  }
  return references_;
}

void EditorWindow::FindReferences(int row) {
  if (!IsRomOpen() || !table_.Contains(row)) return;
  referencesShown_ = table_.entries[static_cast<size_t>(row)].textAddress;
  const ReferenceIndex& index = References();
  view_.ShowReferences(MakeReferencesPage(*rom_.handle, index, table_, listingMode_, *referencesShown_, row));
}

void EditorWindow::OnReferencesClosed() { referencesShown_.reset(); }

void EditorWindow::RefreshReferencesWindow() {
  if (!referencesShown_ || !IsRomOpen()) return;
  // The window follows the text it was opened for, wherever its row is now, if it has one.
  int row = -1;
  for (int i = 0; i < table_.count() && row < 0; ++i) {
    if (table_.entries[static_cast<size_t>(i)].textAddress == *referencesShown_) row = i;
  }
  const ReferenceIndex& index = References();
  if (!rom_.handle) return;
  view_.ShowReferences(MakeReferencesPage(*rom_.handle, index, table_, listingMode_, *referencesShown_, row));
}

void EditorWindow::EnableMoveItem() {
  view_.EnableMenuItem(CommandId::MoveToFreeSpace,
                       IsRomOpen() && listingMode_ == ListingMode::PointerTableListing);
}

bool EditorWindow::MoveToFreeSpace(int r, std::string_view text) {
  if (!SyncedRom() || !table_.Contains(r) || listingMode_ != ListingMode::PointerTableListing) return false;
  const int32_t measured = MeasureText(text);
  if (measured == kMeasureNonGameCharacter) {
    view_.ShowMessage(DescribeNonGameCharacter(*FindNonGameCharacter(text)), editor_text::kPreWriteCaption,
                      MessageIcon::Warning);
    return false;
  }
  if (measured < 0) {
    view_.ShowMessage(editor_text::kBracketError, editor_text::kPreWriteCaption, MessageIcon::Warning);
    return false;
  }
  const std::vector<uint8_t> bytes = compressWithDictionary_ ? Compressor().Encode(text) : TextEncoder(text);
  if (!EndsWithEndCode(bytes)) {
    view_.ShowMessage(editor_text::kMoveNoEndCode, editor_text::kPreWriteCaption, MessageIcon::Warning);
    return false;
  }
  if (!IsExpandedRom(*rom_.handle)) {
    if (!view_.AskYesNo(editor_text::kMoveOfferExpand, editor_text::kMoveCaption)) return false;
    ExpandRom();
    if (!rom_.handle || !IsExpandedRom(*rom_.handle)) return false;
  }
  if (!EnsureBackup()) return false;
  // The text is moved from where its row leads in the file now, under a lock held until the move
  // is written: another program may have moved it since the list was filled.
  SnesAddress from = 0;
  MoveResult moved;
  {
    RomFile::Hold hold(*rom_.handle);
    if (hold.Held()) {
      SyncedRom();
      FollowMovedTexts(*rom_.handle);
    }
    from = table_.entries[static_cast<size_t>(r)].textAddress;
    moved = MoveTextToFreeSpace(*rom_.handle, from, bytes);
  }
  switch (moved.outcome) {
    case MoveOutcome::Moved: break;
    case MoveOutcome::NoEndCode:
      view_.ShowMessage(editor_text::kMoveNoEndCode, editor_text::kPreWriteCaption, MessageIcon::Warning);
      return false;
    case MoveOutcome::NotExpanded:
      view_.ShowMessage(editor_text::kMoveNotExpanded, editor_text::kMoveCaption, MessageIcon::Warning);
      return false;
    case MoveOutcome::NoReferences:
      view_.ShowMessage(editor_text::kMoveNoReferences, editor_text::kMoveCaption, MessageIcon::Warning);
      return false;
    case MoveOutcome::NoFreeSpace:
      view_.ShowMessage(Format(editor_text::kMoveNoFreeSpace, static_cast<int>(bytes.size())),
                        editor_text::kMoveCaption, MessageIcon::Warning);
      return false;
    case MoveOutcome::LockFailed:
      view_.ShowMessage(editor_text::kMoveLockFailed, editor_text::kMoveCaption, MessageIcon::Warning);
      return false;
    case MoveOutcome::WriteFailed:
      if (moved.status != WriteStatus::FailedRestored && moved.status != WriteStatus::FailedDamaged) {
        ReportWriteFailure(moved.status, moved.error);  // refused before anything was written
      } else {
        view_.ShowMessage(moved.restored ? editor_text::kMoveFailed : editor_text::kMoveFailedUnrestored,
                          editor_text::kWriteFailedCaption, MessageIcon::Warning);
      }
      return false;
  }
  // The rows of the moved text now lead to the new copy; the rest of the list is as it was
  // (a repointed jump code is not part of any row's preview).
  for (int i = 0; i < table_.count(); ++i) {
    TextEntry& e = table_.entries[static_cast<size_t>(i)];
    if (e.textAddress == from) e.textAddress = moved.to;
  }
  if (referencesShown_ == from) referencesShown_ = moved.to;
  ReplaceRow(r, RowPreview(r));
  RefreshSharedRows(r);
  SelectRow(r);
  RefreshReferencesWindow();
  EnableRevertItem();
  char message[160];
  std::snprintf(message, sizeof message, editor_text::kMoved, r + 1, static_cast<unsigned>(moved.to), moved.repointed);
  view_.ShowMessage(message, editor_text::kMoveCaption, MessageIcon::None);
  return true;
}

std::vector<int> EditorWindow::RowsOverwrittenBy(int row, int32_t newSize) {
  std::vector<int> rows;
  RomFile* rom = SyncedRom();
  if (!rom || !table_.Contains(row)) return rows;
  int32_t oldSize = 0;
  DecodeEntry(row, &oldSize);
  const int64_t start = EntryOffset(row);
  const int64_t first = start + oldSize;  // the first byte past the string
  const int64_t end = start + newSize;
  if (end <= first) return rows;
  for (int i = 0; i < table_.count(); ++i) {
    const int64_t at = EntryOffset(i);
    if (at == start) continue;  // the same text
    const int64_t size = decoder_.Measure(*rom, at);
    if (at < end && at + size > first) rows.push_back(i);
  }
  return rows;
}

std::vector<int> EditorWindow::RowsChangedBy(int row, std::string_view text) {
  std::vector<int> rows;
  RomFile* rom = SyncedRom();
  if (!rom || !table_.Contains(row) || MeasureEdit(text) < 0) return rows;
  const std::vector<uint8_t> bytes = compressWithDictionary_ ? Compressor().Encode(text) : TextEncoder(text);
  const int64_t start = EntryOffset(row);
  const int64_t end = start + static_cast<int64_t>(bytes.size());
  std::vector<uint8_t> present(bytes.size());
  rom->Read(start, present);
  for (int i = 0; i < table_.count(); ++i) {
    const int64_t at = EntryOffset(i);
    // No string is longer than the decoder reads: one that starts further back ends before this.
    if (at < 0 || at == start || at >= end || at < start - kDecodeSizeLimit - 16) continue;
    const int64_t stop = std::min(end, at + ScanJumpCodes(*rom, at, [](const JumpCodeAt&) {}));
    for (int64_t k = std::max(at, start); k < stop; ++k) {
      if (bytes[static_cast<size_t>(k - start)] != present[static_cast<size_t>(k - start)]) {
        rows.push_back(i);
        break;
      }
    }
  }
  return rows;
}

}  // namespace lettermoor

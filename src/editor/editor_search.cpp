// The main window's Search and Dump to text file.

#include "editor/editor_window.h"

namespace lettermoor {

std::optional<int> EditorWindow::FindNext(std::string_view query, int after) {
  if (!SyncedRom()) return std::nullopt;
  const std::optional<int> hit = doc_.Find(query, after);
  if (!hit) {
    view_.ShowMessage(editor_text::kNotFound, editor_text::kNotFoundCaption, MessageIcon::None);
    return std::nullopt;
  }
  SelectRow(*hit);
  return hit;
}

DumpResult EditorWindow::DumpToTextFile() {
  if (IsRomOpen()) SyncedRom();
  const DumpResult result = doc_.Dump(dumpFolder_);
  switch (result.outcome) {
    case DumpResult::Outcome::NoRom: break;
    case DumpResult::Outcome::IsTheRom:
    case DumpResult::Outcome::IsTheBackup:
      view_.ShowMessage(FormatText(result.outcome == DumpResult::Outcome::IsTheRom ? editor_text::kDumpIsRom
                                                                                   : editor_text::kDumpIsBackup,
                                   result.fileName),
                        editor_text::kDumpFailedCaption, MessageIcon::None);
      break;
    case DumpResult::Outcome::Failed:
      view_.ShowMessage(FormatText(editor_text::kDumpFailed, result.fileName), editor_text::kDumpFailedCaption,
                        MessageIcon::None);
      break;
    case DumpResult::Outcome::Written:
      view_.ShowMessage(FormatText(editor_text::kDumped, result.fileName), editor_text::kDumpedCaption,
                        MessageIcon::None);
      break;
  }
  return result;
}

}  // namespace lettermoor

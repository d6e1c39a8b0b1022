// The main window's Edit > Replace in All Texts: a piece of text replaced in every text of the
// listing that holds it, the texts the user keeps ticked written as one import.

#include "editor/editor_window.h"

namespace lettermoor {

std::optional<ImportResult> EditorWindow::ReplaceInAllTexts() {
  if (!IsRomOpen()) return std::nullopt;
  // The list is filled again afterwards: typed work is asked about first.
  if (!SettleUnappliedEdit()) return std::nullopt;
  if (IsReadOnly()) {
    view_.ShowMessage(editor_text::kReadOnlyRom, editor_text::kReplaceCaption, MessageIcon::Warning);
    return std::nullopt;
  }
  const std::optional<ReplaceChoice> choice = view_.RunReplaceWindow();
  if (!choice || choice->texts.empty()) return std::nullopt;
  return ReplaceTexts(*choice);
}

ReplaceSearch EditorWindow::FindReplacements(const ReplaceQuery& query) {
  SyncedRom();
  ReplaceSearch search = doc_.FindReplacements(query);
  if (search.fault) {
    const ScriptError& f = *search.fault;
    view_.ShowMessage(FormatText(editor_text::kReplaceFault, f.line, f.column, f.expected),
                      editor_text::kReplaceCaption, MessageIcon::Warning);
  }
  return search;
}

ImportResult EditorWindow::ReplaceTexts(const ReplaceChoice& choice) {
  const int mark = view_.SelectionMark();
  SyncedRom();
  ImportOptions options;
  options.compressor = &Compressor();
  const ImportResult result = doc_.Replace(
      choice.texts, options,
      [&](int done, int total) { return view_.ShowProgress(editor_text::kReplacing, done, total); });
  view_.ShowProgress(editor_text::kReplacing, 1, 1);  // closes the progress, however it ended
  AfterImport(result, mark, FormatText(editor_text::kReplaceReportTitle, choice.query.find, choice.query.replace),
              editor_text::kReplaceCaption);
  return result;
}

}  // namespace lettermoor

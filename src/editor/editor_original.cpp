// The main window's original ROM: choosing and forgetting it, the original text of the marked
// row, the list's translated marks with the progress line, and Find Next Untranslated.

#include "editor/editor_window.h"

namespace lettermoor {

void EditorWindow::ChooseOriginal() {
  if (!IsRomOpen()) return;
  const std::string path = view_.ChooseOriginalRom(doc_.OriginalPath());
  if (path.empty()) return;
  const OriginalOutcome outcome = doc_.SetOriginal(path);
  ReportRecovery(doc_.TakeRecovery());
  if (!outcome.Accepted()) {
    // The original in use, if any, stays.
    if (outcome.result != OriginalResult::NoRom) {
      ShowWarning(DescribeOriginalRefusal(outcome, BareFileName(path)), editor_text::kOriginalCaption);
    }
    return;
  }
  view_.RememberOriginal(Rom().path, doc_.OriginalPath());
  AfterOriginalChange();
}

void EditorWindow::ForgetOriginal() {
  if (!IsRomOpen() || !doc_.HasOriginal()) return;
  doc_.ClearOriginal();
  view_.RememberOriginal(Rom().path, "");
  AfterOriginalChange();
}

void EditorWindow::LoadRememberedOriginal() {
  const std::string path = view_.RememberedOriginal(Rom().path);
  if (path.empty()) return;
  const OriginalOutcome outcome = doc_.SetOriginal(path);
  if (outcome.Accepted() || outcome.result == OriginalResult::NoRom) return;
  // Said in passing: a box at every open for a file that went away would be a nuisance.
  view_.RememberOriginal(Rom().path, "");
  view_.ShowStatusNote(
      FormatText(editor_text::kOriginalForgotten, DescribeOriginalRefusal(outcome, BareFileName(path))));
}

void EditorWindow::AfterOriginalChange() {
  EnableOriginalItems();
  ShowTranslations();
  const int mark = view_.SelectionMark();
  ShowOriginal(mark);
}

void EditorWindow::EnableOriginalItems() {
  const bool has = IsRomOpen() && doc_.HasOriginal();
  view_.EnableMenuItem(CommandId::OriginalRom, IsRomOpen());
  view_.EnableMenuItem(CommandId::ForgetOriginal, has);
  view_.EnableMenuItem(CommandId::FindNextUntranslated, has);
}

void EditorWindow::ShowOriginal(int row) {
  if (!IsRomOpen() || !doc_.HasOriginal()) {
    view_.ShowOriginalText(std::nullopt);
    return;
  }
  // A row the original has no text for (one written into the expansion, say) shows an empty box.
  const std::optional<OriginalTextOf> original = doc_.Original(row);
  view_.ShowOriginalText(original ? original->text : std::string());
}

void EditorWindow::ShowTranslations() {
  if (!IsRomOpen() || !doc_.HasOriginal()) {
    view_.SetTranslatedRows({});
    view_.ShowTranslationProgress("");
    return;
  }
  const std::vector<RowTranslation> rows = doc_.Translations();
  std::vector<bool> translated(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) translated[i] = rows[i] != RowTranslation::Untranslated;
  view_.SetTranslatedRows(std::move(translated));
  view_.ShowTranslationProgress(DescribeProgress(Document::CountProgress(rows)));
}

std::optional<int> EditorWindow::FindNextUntranslated() {
  if (!IsRomOpen() || !doc_.HasOriginal()) return std::nullopt;
  // Going to another row drops what was typed here: asked about first.
  if (!SettleUnappliedEdit()) return std::nullopt;
  const std::optional<int> row = doc_.NextUntranslated(view_.SelectionMark());
  ReportRecovery(doc_.TakeRecovery());
  if (!row) {
    view_.ShowStatusNote(editor_text::kNoUntranslated);
    return std::nullopt;
  }
  SelectRow(*row);
  return row;
}

}  // namespace lettermoor

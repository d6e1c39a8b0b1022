#include "support/fake_editor_view.h"

#include <utility>

#include "editor/editor_window.h"
#include "rom/rom_image.h"

namespace lettermoor::test {

void FakeEditorView::DeleteAllRows() {
  ++deleteAllCalls;
  rows.clear();
  selectionMark = -1;
  selectedRow = -1;
}

void FakeEditorView::SetAllRows(RowList newRows) {
  ++setAllRowsCalls;
  rows = newRows.ToStrings();
  selectionMark = -1;
  selectedRow = -1;
}

void FakeEditorView::SetRowText(int row, const std::string& text) {
  replacedRows.push_back(row);
  if (row >= 0 && row < RowCount()) rows[static_cast<size_t>(row)] = text;
}

ChangesAnswer FakeEditorView::AskApplyChanges(const std::string& question,
                                              const std::string& caption) {
  changesQuestions.push_back(caption + ": " + question);
  if (changesAnswers.empty()) return ChangesAnswer::Discard;
  const ChangesAnswer answer = changesAnswers.front();
  changesAnswers.pop_front();
  return answer;
}

RomChoice FakeEditorView::ChooseRomFile() {
  ++chooseRomCalls;
  if (romChoices.empty()) return {};
  RomChoice choice = romChoices.front();
  romChoices.pop_front();
  return choice;
}

void FakeEditorView::RunSearchWindow() {
  ++searchRuns;
  if (onSearchWindow) onSearchWindow();
}

bool FakeEditorView::RunPointerEntryEditor(PointerEntryForm& form) {
  pointerEditorForms.push_back(form);
  return onPointerEntryEditor ? onPointerEntryEditor(form) : false;
}

void FakeEditorView::RunDetailsWindow(const DetailsRequest& request) {
  DetailsCall call;
  call.rom = request.rom;
  call.fileName = request.fileName;
  call.row = request.row;
  call.size = request.size;
  call.table = request.table;
  call.hadInterpreterText = request.interpreterText != nullptr;
  if (request.interpreterText) call.interpreterText = *request.interpreterText;
  detailsCalls.push_back(std::move(call));
}

void FakeEditorView::Type(EditorWindow& window, const std::string& text) {
  editText = editLimit > 0 && text.size() > static_cast<size_t>(editLimit)
                 ? text.substr(0, static_cast<size_t>(editLimit))
                 : text;
  window.OnEditChanged(editText);
}

void FakeEditorView::ClickRow(EditorWindow& window, int row) {
  selectionMark = row;
  selectedRow = row;
  window.OnListClick(row);
}

void FakeEditorView::KeyToRow(EditorWindow& window, int row) {
  selectionMark = row;
  selectedRow = row;
  window.OnListKey(row);
}

void FakeEditorView::DoubleClickRow(EditorWindow& window, int row) {
  ClickRow(window, row);
  window.OnListDoubleClick(row);
}

void FakeEditorView::RightClickRow(EditorWindow& window, int row) {
  selectionMark = row;
  selectedRow = row;
  window.OnListRightClick(row);
}

ApplyResult FakeEditorView::PressApply(EditorWindow& window) {
  return window.ApplyChanges(selectionMark, editText);
}

std::optional<int> FakeEditorView::PressFind(EditorWindow& window, std::string_view query) {
  return window.FindNext(query, selectionMark);
}

void FakeEditorView::PickRom(const std::string& path) {
  romChoices.push_back({path, BareFileName(path)});
}

bool FakeEditorView::IsEnabled(CommandId id) const {
  auto it = menuEnabled.find(id);
  return it == menuEnabled.end() ? true : it->second;
}

bool FakeEditorView::IsChecked(CommandId id) const {
  auto it = menuChecked.find(id);
  if (it != menuChecked.end()) return it->second;
  return id == CommandId::PreventOverwrites;
}

std::string FakeEditorView::Label(LabelId id) const {
  auto it = labels.find(id);
  return it == labels.end() ? std::string() : it->second;
}

std::vector<FakeEditorView::Message> FakeEditorView::TakeMessages() {
  std::vector<Message> out;
  out.swap(messages);
  return out;
}

}  // namespace lettermoor::test

#pragma once

#include <string>
#include <utility>
#include <vector>

#include "editor/editor_view.h"

namespace lettermoor::bench {

// An EditorView that draws nothing but keeps what the logic hands it (the rows, the edit text,
// the mark and the messages), so that the benchmarks measure the logic alone.
class QuietEditorView : public EditorView {
 public:
  void SetTitle(const std::string&) override {}
  void SetIcon() override {}
  void EnableList(bool) override {}
  void EnableEditBox(bool) override {}
  void SetEditText(const std::string& text) override { editText = text; }
  std::string EditText() const override { return editText; }
  void LimitEditText(int) override {}
  void EditUndo() override {}
  void EditCut() override {}
  void EditCopy() override {}
  void EditPaste() override {}
  void SetLabel(LabelId, const std::string&) override {}
  void InsertListColumn(int) override {}
  void DeleteAllRows() override {
    rows.clear();
    mark = -1;
  }
  void SetAllRows(RowList newRows) override {
    rows = std::move(newRows);
    mark = -1;
  }
  void SetRowText(int row, const std::string& text) override {
    if (row >= 0 && row < static_cast<int>(rows.size())) rows.Set(static_cast<size_t>(row), text);
  }
  int SelectionMark() const override { return mark; }
  void SetSelectionMark(int row) override { mark = row; }
  void EnsureVisible(int) override {}
  void SetRowSelected(int) override {}
  void EnableMenuItem(CommandId, bool) override {}
  void CheckMenuItem(CommandId, bool) override {}
  // Nobody to ask: typed work is dropped, as a view without a user must.
  ChangesAnswer AskApplyChanges(const std::string&, const std::string&) override {
    return ChangesAnswer::Discard;
  }
  void ShowMessage(const std::string& text, const std::string&, MessageIcon) override {
    lastMessage = text;
    ++messages;
  }
  RomChoice ChooseRomFile() override { return {}; }
  void RunSearchWindow() override {}
  bool RunPointerEntryEditor(PointerEntryForm&) override { return false; }
  void RunDetailsWindow(const DetailsRequest&) override {}
  void RunAboutBox() override {}
  void RunGizmoDialog() override {}
  void OpenHelp() override {}
  void CloseWindow() override {}

  RowList rows;
  std::string editText;
  int mark = -1;
  std::string lastMessage;
  int messages = 0;
};

}  // namespace lettermoor::bench

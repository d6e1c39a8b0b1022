#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/details_page.h"
#include "editor/editor_view.h"

namespace lettermoor::cli {

// The main window without a screen: it keeps what a user would see (the edit box, the rows, the
// labels, the menu states) so that the tool can print it, and writes every message box to a
// stream (standard error unless told otherwise). Dialogs that need a user do nothing, except the
// details window, which composes the page the tool asked for while it is "open".
class HeadlessView : public EditorView {
 public:
  struct Message {
    std::string text;
    std::string caption;
  };

  // Where message box texts go, one per line; null keeps them quiet (they are still recorded).
  void SetMessageStream(std::FILE* stream) { messageStream_ = stream; }
  const std::vector<Message>& Messages() const { return messages_; }
  void ClearMessages() { messages_.clear(); }

  // The details window tab to compose when the details window runs.
  void SetDetailsTab(int tab) { detailsTab_ = tab; }
  const std::optional<DetailsPage>& ShownDetailsPage() const { return detailsPage_; }

  const RowList& Rows() const { return rows_; }
  const std::string& Label(LabelId id) const;
  const std::string& Title() const { return title_; }

  // --- EditorView ---
  void SetTitle(const std::string& title) override { title_ = title; }
  void SetIcon() override {}
  void EnableList(bool) override {}
  void EnableEditBox(bool) override {}
  void SetEditText(const std::string& text) override { editText_ = text; }
  std::string EditText() const override { return editText_; }
  void LimitEditText(int) override {}
  void EditUndo() override {}
  void EditCut() override {}
  void EditCopy() override {}
  void EditPaste() override {}
  void SetLabel(LabelId label, const std::string& text) override { labels_[label] = text; }
  void InsertListColumn(int) override {}
  void DeleteAllRows() override;
  void SetAllRows(RowList rows) override;
  void SetRowText(int row, const std::string& text) override;
  int SelectionMark() const override { return selectionMark_; }
  void SetSelectionMark(int row) override { selectionMark_ = row; }
  void EnsureVisible(int) override {}
  void SetRowSelected(int) override {}
  void EnableMenuItem(CommandId id, bool enabled) override { menuEnabled_[id] = enabled; }
  void CheckMenuItem(CommandId, bool) override {}
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  RomChoice ChooseRomFile() override { return {}; }
  // Nobody to ask: the tool reports each command's own outcome.
  ChangesAnswer AskApplyChanges(const std::string&, const std::string&) override {
    return ChangesAnswer::Discard;
  }
  void RunSearchWindow() override {}
  bool RunPointerEntryEditor(PointerEntryForm&) override { return false; }
  void RunDetailsWindow(const DetailsRequest& request) override;
  void RunAboutBox() override {}
  void RunGizmoDialog() override {}
  void OpenHelp() override {}
  void CloseWindow() override {}

 private:
  std::string title_;
  std::string editText_;
  std::map<LabelId, std::string> labels_;
  RowList rows_;
  int selectionMark_ = -1;
  std::map<CommandId, bool> menuEnabled_;
  std::vector<Message> messages_;
  std::FILE* messageStream_ = stderr;
  int detailsTab_ = 0;
  std::optional<DetailsPage> detailsPage_;
};

}  // namespace lettermoor::cli

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dialogs/details_page.h"
#include "dialogs/pointer_entry_editor.h"
#include "editor/command_id.h"

namespace lettermoor {

// A file picked in the open-file dialog.
struct RomChoice {
  std::string path;      // full path; empty when the dialog was cancelled
  std::string fileName;  // bare name
};

// The user-interface operations the editor's logic drives. The Qt window implements it; tests
// use a recording fake. Texts are byte strings: each byte is one character (Latin-1).
class EditorView {
 public:
  virtual ~EditorView() = default;

  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetIcon() = 0;  // icon 128, large and small

  virtual void EnableList(bool enabled) = 0;
  virtual void EnableEditBox(bool enabled) = 0;

  virtual void SetEditText(const std::string& text) = 0;  // raises no change notification
  virtual std::string EditText() const = 0;
  virtual void LimitEditText(int characters) = 0;  // typing stops there; set texts stay whole
  virtual void EditUndo() = 0;
  virtual void EditCut() = 0;
  virtual void EditCopy() = 0;
  virtual void EditPaste() = 0;

  virtual void SetLabel(LabelId label, const std::string& text) = 0;
  // The hint shown over a label; empty for none. Views without hints may ignore it.
  virtual void SetLabelToolTip(LabelId /*label*/, const std::string& /*text*/) {}

  virtual void InsertListColumn(int widthPixels) = 0;
  virtual void DeleteAllRows() = 0;
  // Replaces every row at once (the list fill); the same as deleting all rows and inserting
  // these in order, without a per-row cost.
  virtual void SetAllRows(std::vector<std::string> rows) = 0;
  virtual void DeleteRow(int row) = 0;
  virtual void InsertRow(int row, const std::string& text) = 0;
  virtual int SelectionMark() const = 0;  // -1 when there is none
  virtual void SetSelectionMark(int row) = 0;
  virtual void EnsureVisible(int row) = 0;
  virtual void SetRowSelected(int row) = 0;  // single selection: the others lose it

  virtual void EnableMenuItem(CommandId id, bool enabled) = 0;
  virtual void CheckMenuItem(CommandId id, bool checked) = 0;

  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           MessageIcon icon) = 0;
  virtual RomChoice ChooseRomFile() = 0;

  // Modal dialogs. The search window calls back EditorWindow::FindNext for each Find.
  virtual void RunSearchWindow() = 0;
  // Gives true when the user applied valid fields (written back into `form`).
  virtual bool RunPointerEntryEditor(PointerEntryForm& form) = 0;
  virtual void RunDetailsWindow(const DetailsRequest& request) = 0;
  virtual void RunAboutBox() = 0;
  virtual void RunGizmoDialog() = 0;
  virtual void OpenHelp() = 0;

  // Ends the window (and with it the program).
  virtual void CloseWindow() = 0;
};

}  // namespace lettermoor

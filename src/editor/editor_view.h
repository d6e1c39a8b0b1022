#pragma once

#include <optional>
#include <string>
#include <vector>

#include "codec/character_table.h"
#include "dialogs/details_page.h"
#include "dialogs/pointer_entry_editor.h"
#include "editor/command_id.h"
#include "document/references_page.h"
#include "document/row_list.h"
#include "document/text_replace.h"

namespace lettermoor {

// A file picked in the open-file dialog.
struct RomChoice {
  std::string path;      // full path; empty when the dialog was cancelled
  std::string fileName;  // bare name
};

// The file dialogs of Create Patch and Apply Patch to a Copy.
enum class PatchFileQuestion {
  PatchToWrite,  // the .bps or .ips patch to make
  PatchToRead,   // the patch to apply
  PatchedCopy,   // the patched copy to write
};

// What the user asked for in the Replace in All Texts window, and the texts left ticked.
struct ReplaceChoice {
  ReplaceQuery query;
  std::vector<ReplaceCandidate> texts;
};

// The answers to "Apply the changes to line N?".
enum class ChangesAnswer { Apply, Discard, Cancel };

// The user-interface operations the editor's logic drives. The Qt window implements it; tests
// use a recording fake. Texts are byte strings: each byte is one character (Latin-1).
// What RememberedTable gives for a ROM whose user chose no table.
inline constexpr const char* kNoTableRemembered = "-";

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

  // The status bar's line about the edit box's text: its characters, its lines and whether it
  // fits the text window (`fits`; false also when that is unknown). Empty when no ROM is open.
  // Views without a status bar may ignore it.
  virtual void ShowTextStatus(const std::string& /*text*/, bool /*fits*/) {}

  virtual void InsertListColumn(int widthPixels) = 0;
  virtual void DeleteAllRows() = 0;
  // Replaces every row at once (the list fill); the same as deleting all rows and inserting
  // these in order, without a per-row cost.
  virtual void SetAllRows(RowList rows) = 0;
  // Replaces one row's text where it stands: the mark, the highlight and the scroll stay.
  virtual void SetRowText(int row, const std::string& text) = 0;
  virtual int SelectionMark() const = 0;  // -1 when there is none
  virtual void SetSelectionMark(int row) = 0;
  virtual void EnsureVisible(int row) = 0;
  virtual void SetRowSelected(int row) = 0;  // single selection: the others lose it

  // The Apply Changes button (grayed for a ROM opened read-only).
  virtual void EnableApplyButton(bool enabled) { (void)enabled; }

  virtual void EnableMenuItem(CommandId id, bool enabled) = 0;
  virtual void CheckMenuItem(CommandId id, bool checked) = 0;

  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           MessageIcon icon) = 0;
  virtual RomChoice ChooseRomFile() = 0;
  // Asks what to do with edits that were not applied, before they would be lost.
  virtual ChangesAnswer AskApplyChanges(const std::string& question,
                                        const std::string& caption) = 0;
  // A question with Yes and No buttons; gives true for Yes. Without a user to ask: No.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) {
    (void)text;
    (void)caption;
    return false;
  }

  // File > Export Script and Import Script: the script file to write (`save`) or to read, the
  // dialog starting at `suggested`; empty when the user cancelled. Without a user to ask: none.
  virtual std::string ChooseScriptFile(bool save, const std::string& suggested) {
    (void)save;
    (void)suggested;
    return {};
  }
  // The patch commands' file dialogs, starting at `suggested`; empty when cancelled. Without a
  // user to ask: none.
  virtual std::string ChoosePatchFile(PatchFileQuestion question, const std::string& suggested) {
    (void)question;
    (void)suggested;
    return {};
  }
  // Work that may take more than a moment: `done` of `total`, 0 first and `total` last. A view
  // shows it only once the work has gone on for a while. Gives false when the user cancelled.
  virtual bool ShowProgress(const std::string& label, int done, int total) {
    (void)label;
    (void)done;
    (void)total;
    return true;
  }
  // A report the user can read and copy from: the import's line per changed block.
  virtual void ShowReport(const std::string& title, const std::string& text) {
    (void)title;
    (void)text;
  }

  // Edit > Replace in All Texts: the modal window, which calls back EditorWindow::FindReplacements
  // for each Find. Gives what the user chose when Replace was pressed; nothing when it was closed.
  virtual std::optional<ReplaceChoice> RunReplaceWindow() { return std::nullopt; }
  // Options > Original ROM: the unmodified ROM to compare with, the dialog starting at `current`;
  // empty when the user cancelled. Without a user to ask: none.
  virtual std::string ChooseOriginalRom(const std::string& current) {
    (void)current;
    return {};
  }
  // The original remembered for the ROM at `rom`, and remembering one (empty forgets it).
  // Views that keep no settings remember nothing.
  virtual std::string RememberedOriginal(const std::string& rom) {
    (void)rom;
    return {};
  }
  virtual void RememberOriginal(const std::string& rom, const std::string& original) {
    (void)rom;
    (void)original;
  }
  // Options > Character Table...: a table file, the dialog starting at `current`; an empty path
  // to use none; nothing when the user cancelled. Without a user to ask: nothing.
  virtual std::optional<std::string> ChooseCharacterTable(const std::string& current) {
    (void)current;
    return std::nullopt;
  }
  // The table remembered for the ROM at `rom` (kNoTableRemembered: none, even beside it; empty:
  // nothing remembered), and remembering one (empty forgets it).
  virtual std::string RememberedTable(const std::string& rom) {
    (void)rom;
    return {};
  }
  virtual void RememberTable(const std::string& rom, const std::string& table) {
    (void)rom;
    (void)table;
  }
  // The character table in use (null: none), for the status bar and the edit box's marks. It
  // stays valid until the next call.
  virtual void ShowCharacterTable(const CharacterTable* table) { (void)table; }

  // The marked row's original text, read-only above the edit box; nothing hides it (no original).
  virtual void ShowOriginalText(const std::optional<std::string>& text) { (void)text; }
  // Which rows of the listing differ from their originals, for the list's mark; empty: no marks.
  virtual void SetTranslatedRows(std::vector<bool> translated) { (void)translated; }
  // The status bar's lasting line of how much is translated; empty hides it.
  virtual void ShowTranslationProgress(const std::string& text) { (void)text; }
  // A passing note in the status bar, for what needs no dialog.
  virtual void ShowStatusNote(const std::string& text) { (void)text; }

  // Modal dialogs. The search window calls back EditorWindow::FindNext for each Find.
  virtual void RunSearchWindow() = 0;
  // Gives true when the user applied valid fields (written back into `form`).
  virtual bool RunPointerEntryEditor(PointerEntryForm& form) = 0;
  virtual void RunDetailsWindow(const DetailsRequest& request) = 0;
  virtual void RunAboutBox() = 0;
  virtual void RunGizmoDialog() = 0;
  virtual void OpenHelp() = 0;

  // Opens the modeless references window, or shows this page in it when it is open already.
  // A double-click on a row with a line calls EditorWindow::SelectRow(line - 1); closing it calls
  // EditorWindow::OnReferencesClosed.
  virtual void ShowReferences(const ReferencesPage& page) { (void)page; }
  // Closes the references window when it is open (the ROM was closed).
  virtual void CloseReferences() {}
  // Opens the consistency window (in the references window's style) with this page, or shows it
  // there; a double-click on a row with a line calls EditorWindow::SelectRow(line - 1).
  virtual void ShowConsistency(const ReferencesPage& page) { (void)page; }

  // File > History...: the modal history window, which calls back EditorWindow::HistoryEntries
  // for its list and EditorWindow::UndoChange for its Undo button. Without a user: nothing.
  virtual void RunHistoryWindow() {}

  // Tools > Run in Emulator: starts the user's emulator on the ROM at `romPath` as a process of
  // its own, never waited for; says how to set one up when there is none.
  virtual void StartEmulator(const std::string& romPath) { (void)romPath; }

  // Ends the window (and with it the program).
  virtual void CloseWindow() = 0;
};

}  // namespace lettermoor

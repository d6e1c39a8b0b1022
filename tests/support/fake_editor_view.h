#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/editor_view.h"

namespace lettermoor {
class EditorWindow;
enum class ApplyResult;
}

namespace lettermoor::test {

// A recording EditorView: it keeps what a user would see (title, texts, rows, menu states,
// messages) and answers the dialogs from a script. Menu items start as the menu resource has
// them: every item enabled, only "Prevent Overwrites" checked; the window's code changes them.
class FakeEditorView : public EditorView {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
  };

  struct DetailsCall {
    const RomFile* rom = nullptr;
    std::string fileName;
    int32_t row = 0;
    int32_t size = 0;
    const TextEntryTable* table = nullptr;
    bool hadInterpreterText = false;
    std::string interpreterText;  // a copy taken while the window was "open"
  };

  // --- EditorView ---
  void SetTitle(const std::string& text) override { title = text; }
  void SetIcon() override { iconSet = true; }
  void EnableList(bool enabled) override { listEnabled = enabled; }
  void EnableEditBox(bool enabled) override { editEnabled = enabled; }
  void SetEditText(const std::string& text) override {
    editText = text;
    ++setEditTextCalls;
  }
  std::string EditText() const override { return editText; }
  void LimitEditText(int characters) override { editLimit = characters; }
  void EditUndo() override { ++undoCalls; }
  void EditCut() override { ++cutCalls; }
  void EditCopy() override { ++copyCalls; }
  void EditPaste() override { ++pasteCalls; }
  void SetLabel(LabelId label, const std::string& text) override { labels[label] = text; }
  void ShowTextStatus(const std::string& text, bool fits) override {
    textStatus = text;
    textFits = fits;
  }
  void SetLabelToolTip(LabelId label, const std::string& text) override { toolTips[label] = text; }
  void InsertListColumn(int widthPixels) override { columnWidths.push_back(widthPixels); }
  void DeleteAllRows() override;
  void SetAllRows(RowList newRows) override;
  void SetRowText(int row, const std::string& text) override;
  int SelectionMark() const override { return selectionMark; }
  void SetSelectionMark(int row) override { selectionMark = row; }
  void EnsureVisible(int row) override { ensuredVisible = row; }
  void SetRowSelected(int row) override { selectedRow = row; }
  void EnableMenuItem(CommandId id, bool enabled) override { menuEnabled[id] = enabled; }
  void EnableApplyButton(bool enabled) override { applyEnabled = enabled; }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    questions.push_back({text, caption, MessageIcon::None});
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void CheckMenuItem(CommandId id, bool checked) override { menuChecked[id] = checked; }
  void ShowMessage(const std::string& text, const std::string& caption,
                   MessageIcon icon) override {
    messages.push_back({text, caption, icon});
  }
  RomChoice ChooseRomFile() override;
  void StartEmulator(const std::string& romPath) override { emulatorStarts.push_back(romPath); }
  ChangesAnswer AskApplyChanges(const std::string& question, const std::string& caption) override;
  void RunSearchWindow() override;
  bool RunPointerEntryEditor(PointerEntryForm& form) override;
  void RunDetailsWindow(const DetailsRequest& request) override;
  void RunAboutBox() override { ++aboutRuns; }
  void RunGizmoDialog() override { ++gizmoRuns; }
  void OpenHelp() override { ++helpOpens; }
  void CloseWindow() override { ++closeWindowCalls; }
  void ShowReferences(const ReferencesPage& page) override {
    referencesPage = page;
    ++referencesShows;
  }
  void CloseReferences() override { referencesPage.reset(); }
  void ShowConsistency(const ReferencesPage& page) override { consistencyPage = page; }
  std::string ChooseScriptFile(bool save, const std::string& suggested) override {
    scriptDialogs.push_back({save, suggested});
    return scriptPath;
  }
  std::string ChoosePatchFile(PatchFileQuestion question, const std::string& suggested) override {
    patchDialogs.push_back({question, suggested});
    if (patchPaths.empty()) return {};
    std::string path = patchPaths.front();
    patchPaths.pop_front();
    return path;
  }
  bool ShowProgress(const std::string&, int done, int total) override {
    progress.emplace_back(done, total);
    return !cancelProgress;
  }
  void ShowReport(const std::string& title, const std::string& text) override { reports.push_back({title, text}); }
  std::optional<ReplaceChoice> RunReplaceWindow() override {
    ++replaceRuns;
    return onReplaceWindow ? onReplaceWindow() : std::nullopt;
  }
  std::string ChooseOriginalRom(const std::string& current) override {
    originalDialogs.push_back(current);
    if (originalChoices.empty()) return {};
    std::string path = originalChoices.front();
    originalChoices.pop_front();
    return path;
  }
  std::string RememberedOriginal(const std::string& rom) override {
    const auto it = rememberedOriginals.find(rom);
    return it == rememberedOriginals.end() ? std::string() : it->second;
  }
  void RememberOriginal(const std::string& rom, const std::string& original) override {
    if (original.empty()) {
      rememberedOriginals.erase(rom);
    } else {
      rememberedOriginals[rom] = original;
    }
  }
  void ShowOriginalText(const std::optional<std::string>& text) override { originalText = text; }
  void SetTranslatedRows(std::vector<bool> translated) override { translatedRows = std::move(translated); }
  void ShowTranslationProgress(const std::string& text) override { progressLine = text; }
  void ShowStatusNote(const std::string& text) override { statusNotes.push_back(text); }

  // --- What a user does ---
  // Types `text` into the edit box (typing stops at the edit limit) and lets the window hear
  // the change notification, as the real edit box does.
  void Type(EditorWindow& window, const std::string& text);
  // Clicks a row: it becomes the selection mark and the highlighted row, then the click is
  // reported.
  void ClickRow(EditorWindow& window, int row);
  // Moves to a row with the keyboard.
  void KeyToRow(EditorWindow& window, int row);
  // The platform reports the click before the double-click.
  void DoubleClickRow(EditorWindow& window, int row);
  void RightClickRow(EditorWindow& window, int row);
  // Presses Apply Changes: the window hands the logic the marked row and the edit box's text.
  ApplyResult PressApply(EditorWindow& window);
  // Presses Find in the search window: the query and the marked row go to the logic.
  std::optional<int> PressFind(EditorWindow& window, std::string_view query);
  // Queues the answer of the next open-file dialog; then the window opens it.
  void PickRom(const std::string& path);

  // --- Queries ---
  bool IsEnabled(CommandId id) const;
  bool IsChecked(CommandId id) const;
  std::string Label(LabelId id) const;
  int RowCount() const { return static_cast<int>(rows.size()); }
  // The messages shown since the last call, which then forgets them.
  std::vector<Message> TakeMessages();

  // --- Recorded state ---
  std::string title;
  bool iconSet = false;
  bool listEnabled = true;
  bool editEnabled = true;
  std::string editText;
  int editLimit = 0;
  int setEditTextCalls = 0;
  std::map<LabelId, std::string> labels;
  std::string textStatus;  // the status bar's line about the edited text
  bool textFits = false;
  std::map<LabelId, std::string> toolTips;
  std::vector<int> columnWidths;
  std::vector<std::string> rows;
  int selectionMark = -1;
  int selectedRow = -1;
  int ensuredVisible = -1;
  int deleteAllCalls = 0;
  int setAllRowsCalls = 0;
  std::vector<int> replacedRows;  // the index of every single-row replacement, in order
  std::map<CommandId, bool> menuEnabled;
  std::map<CommandId, bool> menuChecked;
  std::vector<Message> messages;
  // The script file dialogs: what each was asked (saving, the suggested path), and the answer.
  std::vector<std::pair<bool, std::string>> scriptDialogs;
  std::string scriptPath;
  // The patch file dialogs: what each asked for and suggested; the answers, in order (cancelled
  // once they run out); the original ROM remembered for each ROM.
  std::vector<std::pair<PatchFileQuestion, std::string>> patchDialogs;
  std::deque<std::string> patchPaths;
  std::map<std::string, std::string> originals;
  std::vector<std::pair<int, int>> progress;
  bool cancelProgress = false;
  struct Report {
    std::string title;
    std::string text;
  };
  std::vector<Report> reports;
  bool applyEnabled = true;
  std::vector<Message> questions;  // every yes/no question asked
  std::deque<bool> answers;        // the answers to give, in order; No once they run out
  int undoCalls = 0;
  int cutCalls = 0;
  int copyCalls = 0;
  int pasteCalls = 0;
  int aboutRuns = 0;
  int gizmoRuns = 0;
  int helpOpens = 0;
  int closeWindowCalls = 0;
  // The original ROM: the dialog's answers in order (cancelled when none are left) and what each
  // was handed, the originals remembered per ROM, and what the window shows of it.
  std::deque<std::string> originalChoices;
  std::vector<std::string> originalDialogs;
  std::map<std::string, std::string> rememberedOriginals;
  std::optional<std::string> originalText;
  std::vector<bool> translatedRows;
  std::string progressLine;
  std::vector<std::string> statusNotes;
  std::vector<std::string> emulatorStarts;  // the ROM path of each Run in Emulator

  // --- Scripted dialogs ---
  // Answers of the open-file dialog, taken in order; when empty the dialog is cancelled.
  std::deque<RomChoice> romChoices;
  int chooseRomCalls = 0;
  // Answers to "Apply the changes to line N?", taken in order; when empty the edit is
  // discarded. Every question asked is kept.
  std::deque<ChangesAnswer> changesAnswers;
  std::vector<std::string> changesQuestions;
  // What the user does in the search window; it may press Find through the window.
  std::function<void()> onSearchWindow;
  int searchRuns = 0;
  // Edits the form and gives whether the user applied; when unset the dialog is cancelled.
  std::function<bool(PointerEntryForm&)> onPointerEntryEditor;
  std::vector<PointerEntryForm> pointerEditorForms;  // each form as the dialog was handed it
  std::vector<DetailsCall> detailsCalls;
  // What the user does in the Replace in All Texts window: it may press Find through the
  // window, and gives what Replace hands back; when unset the window is closed.
  std::function<std::optional<ReplaceChoice>()> onReplaceWindow;
  int replaceRuns = 0;
  // The references window's page while it is open.
  std::optional<ReferencesPage> referencesPage;
  int referencesShows = 0;
  std::optional<ReferencesPage> consistencyPage;  // the last page the consistency window showed
};

}  // namespace lettermoor::test

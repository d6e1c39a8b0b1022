#pragma once

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "editor/editor_view.h"
#include "ui/emulator_command.h"

class QAction;
class QMenu;
class QMimeData;
class QLabel;
class QListView;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QTimer;

namespace lettermoor {
class EditorWindow;
}

namespace lettermoor::ui {

class EntryEditBox;
class EntryListView;
class EntryRowModel;
class HelpWindow;
class SettingsStore;
class TextPreviewWindow;
class FontWindow;
class ReferencesWindow;
class ScriptReportWindow;

// The main window: a resizable top-level window (the designed size is its first and smallest) with the menu bar, the entry list, the edit
// box, three labels and the Apply button, laid out in dialog units. It decides nothing itself:
// every notification goes to the EditorWindow logic, which drives the window back through the
// EditorView operations.
class MainWindow : public QMainWindow, public EditorView {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Connects the window to its logic; call before the logic's Initialise().
  void Attach(EditorWindow& logic);

  // Opens a ROM named on the command line as if it had been picked in the open-file dialog,
  // working directory change included.
  void OpenRomFromCommandLine(const QString& path);

  // Opens `path` exactly as File > Open would, with `path` as the open-file dialog's answer
  // (Open Recent and a ROM dropped on the window).
  void OpenRomAsFileOpen(const QString& path);

  // Remembers the window's size and place and the recent ROMs in `store` (which outlives the
  // window) and restores them now. Without a store nothing is remembered.
  void UseSettings(SettingsStore* store);
  QMenu* RecentMenu() const { return recentMenu_; }
  // Gives the logic the options remembered in the store (call after the logic's Initialise);
  // the window stores them again whenever the user changes one.
  void RestoreOptions();
  static constexpr const char* kCompressOption = "compressWithDictionary";
  static constexpr const char* kKeepBackupOption = "keepBackup";
  static constexpr const char* kKeepChecksumOption = "keepChecksumRight";
  // Lists the recent ROMs in the Open Recent menu (done whenever it opens).
  void FillRecentMenu();

  // The local file a drag carries, when it carries exactly one; empty otherwise.
  static QString DroppedFile(const QMimeData* data);

  // Replaces the open-file dialog (tests). The prompt gives a path, or an empty one to cancel.
  void SetRomPathPrompt(std::function<QString()> prompt) { romPathPrompt_ = std::move(prompt); }
  // The emulators Options > Emulator... offers and Run in Emulator falls back on (tests replace
  // the look at this system's PATH).
  void SetEmulatorFinder(std::function<QList<EmulatorPreset>()> finder) { emulatorFinder_ = std::move(finder); }
  // The command line Run in Emulator starts (stored in the settings when there are any).
  QString EmulatorCommand() const;
  void SetEmulatorCommand(const QString& command);
  // Options > "Emulator...", and its dialog (opened modally).
  QAction* EmulatorAction() const { return emulatorAction_; }
  void RunEmulatorDialog();
  // Answers the script file dialogs instead of the user (tests): given whether a file is saved.
  void SetScriptPathPrompt(std::function<QString(bool save)> prompt) { scriptPathPrompt_ = std::move(prompt); }
  // Answers the patch commands' file dialogs instead of the user (tests).
  void SetPatchPathPrompt(std::function<QString(PatchFileQuestion)> prompt) { patchPathPrompt_ = std::move(prompt); }
  // Answers Options > Original ROM's file dialog instead of the user (tests); empty cancels.
  void SetOriginalPathPrompt(std::function<QString()> prompt) { originalPathPrompt_ = std::move(prompt); }

  // The controls, for tests and tools.
  QListView* List() const;
  QPlainTextEdit* EditBox() const;
  QPushButton* ApplyButton() const { return applyButton_; }
  QLabel* Label(LabelId id) const;
  QAction* Action(CommandId id) const;
  // The marked row's original text (hidden without an original) and the status bar's
  // translation progress.
  QPlainTextEdit* OriginalBox() const { return original_; }
  QLabel* ProgressLabel() const { return progressLabel_; }
  QLabel* TableLabel() const { return tableLabel_; }
  // Tests answer Options > Character Table... with this instead of the dialogs.
  void SetTablePrompt(std::function<std::optional<QString>()> prompt) { tablePrompt_ = std::move(prompt); }
  HelpWindow* Help() const { return helpWindow_; }
  // Tools > "Preview Text Window", and the window it opens (null until first opened).
  QAction* PreviewAction() const { return previewAction_; }
  // Edit > "Insert Code...": the window's own, like the preview. It runs the dialog and puts the
  // chosen group into the edit box.
  QAction* InsertCodeAction() const { return insertCodeAction_; }
  void RunInsertCode();
  // The status bar's permanent line about the edit box's text.
  QLabel* TextStatus() const { return textStatus_; }
  TextPreviewWindow* Preview() const { return preview_; }
  // Tools > "Font...", and the window it opens (null until first opened).
  QAction* FontAction() const { return fontAction_; }
  FontWindow* Fonts() const { return fonts_; }

  // --- EditorView ---
  void SetTitle(const std::string& title) override;
  void SetIcon() override;
  void EnableList(bool enabled) override;
  void EnableEditBox(bool enabled) override;
  void SetEditText(const std::string& text) override;
  std::string EditText() const override;
  void LimitEditText(int characters) override;
  void EditUndo() override;
  void EditCut() override;
  void EditCopy() override;
  void EditPaste() override;
  void SetLabel(LabelId label, const std::string& text) override;
  void SetLabelToolTip(LabelId label, const std::string& text) override;
  void InsertListColumn(int widthPixels) override;
  void DeleteAllRows() override;
  void SetAllRows(RowList rows) override;
  void SetRowText(int row, const std::string& text) override;
  int SelectionMark() const override;
  void SetSelectionMark(int row) override;
  void EnsureVisible(int row) override;
  void SetRowSelected(int row) override;
  void EnableMenuItem(CommandId id, bool enabled) override;
  void EnableApplyButton(bool enabled) override;
  void CheckMenuItem(CommandId id, bool checked) override;
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  RomChoice ChooseRomFile() override;
  ChangesAnswer AskApplyChanges(const std::string& question, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void RunSearchWindow() override;
  std::optional<ReplaceChoice> RunReplaceWindow() override;
  void RunHistoryWindow() override;
  bool RunPointerEntryEditor(PointerEntryForm& form) override;
  void RunDetailsWindow(const DetailsRequest& request) override;
  void RunAboutBox() override;
  void RunGizmoDialog() override;
  void OpenHelp() override;
  void CloseWindow() override;
  void ShowReferences(const ReferencesPage& page) override;
  void CloseReferences() override;
  void ShowConsistency(const ReferencesPage& page) override;
  std::string ChooseScriptFile(bool save, const std::string& suggested) override;
  std::string ChoosePatchFile(PatchFileQuestion question, const std::string& suggested) override;
  bool ShowProgress(const std::string& label, int done, int total) override;
  void ShowReport(const std::string& title, const std::string& text) override;
  void ShowTextStatus(const std::string& text, bool fits) override;
  std::string ChooseOriginalRom(const std::string& current) override;
  std::string RememberedOriginal(const std::string& rom) override;
  void RememberOriginal(const std::string& rom, const std::string& original) override;
  void ShowOriginalText(const std::optional<std::string>& text) override;
  void SetTranslatedRows(std::vector<bool> translated) override;
  void ShowTranslationProgress(const std::string& text) override;
  std::optional<std::string> ChooseCharacterTable(const std::string& current) override;
  std::string RememberedTable(const std::string& rom) override;
  void RememberTable(const std::string& rom, const std::string& table) override;
  void ShowCharacterTable(const CharacterTable* table) override;
  void ShowStatusNote(const std::string& text) override;
  void StartEmulator(const std::string& romPath) override;
  // The window of Tools > Find References (null until first opened).
  ReferencesWindow* References() const { return references_; }
  ReferencesWindow* Consistency() const { return consistency_; }
  ScriptReportWindow* ScriptReport() const { return scriptReport_; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void LayOutControls();
  void NoteOpenedRom();
  void BuildControls();
  void BuildMenus();
  QAction* AddCommand(QMenu* menu, const char* text, CommandId id, bool checkable = false);
  void OnMenuCommand(QAction* action, CommandId id);

  EditorWindow* logic_ = nullptr;
  EntryListView* list_ = nullptr;
  EntryRowModel* rows_ = nullptr;
  EntryEditBox* edit_ = nullptr;
  QPushButton* applyButton_ = nullptr;
  std::map<LabelId, QLabel*> labels_;
  std::map<CommandId, QAction*> actions_;
  // The check state the logic last set for each item; Qt's own toggling is undone with it.
  std::map<CommandId, bool> checked_;
  std::function<QString()> romPathPrompt_;
  std::function<QString(bool)> scriptPathPrompt_;
  std::function<QString(PatchFileQuestion)> patchPathPrompt_;
  std::function<QString()> originalPathPrompt_;
  QLabel* originalLabel_ = nullptr;
  QPlainTextEdit* original_ = nullptr;
  QLabel* progressLabel_ = nullptr;
  QLabel* tableLabel_ = nullptr;
  bool utf8Texts_ = false;  // the texts come through a character table
  std::function<std::optional<QString>()> tablePrompt_;
  // Message boxes belong to the dialog that is running the command, if any (the search window).
  QPointer<QWidget> messageOwner_;
  HelpWindow* helpWindow_ = nullptr;
  void OpenPreview();
  // Tells an open preview that another entry is shown (`entry`) or that the text was typed in.
  void TellPreview(bool entry);
  QAction* previewAction_ = nullptr;
  TextPreviewWindow* preview_ = nullptr;
  void OpenFonts();
  QAction* fontAction_ = nullptr;
  FontWindow* fonts_ = nullptr;
  QWidget* client_ = nullptr;
  QWidget* rule_ = nullptr;
  SettingsStore* settings_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  // The answer the open-file dialog gives next instead of asking (Open Recent, a drop).
  QString pendingRomPath_;
  // The path the open-file dialog last gave, to tell whether the open that followed took it.
  std::string chosenRomPath_;
  ReferencesWindow* references_ = nullptr;
  ReferencesWindow* consistency_ = nullptr;  // Tools > Check Consistency, in the same style
  ScriptReportWindow* scriptReport_ = nullptr;
  QProgressDialog* progress_ = nullptr;
  QAction* insertCodeAction_ = nullptr;
  QLabel* textStatus_ = nullptr;
  // Typing updates the status bar after the keystroke is drawn (once for keys that came
  // together): a keystroke does only its own work.
  QTimer* textStatusTimer_ = nullptr;
  QAction* emulatorAction_ = nullptr;
  QString emulatorCommand_;  // without a settings store
  std::function<QList<EmulatorPreset>()> emulatorFinder_;
};

}  // namespace lettermoor::ui

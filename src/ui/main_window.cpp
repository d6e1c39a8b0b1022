#include "ui/main_window.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProgressDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include "document/document_text.h"
#include "editor/editor_window.h"
#include "ui/code_highlighter.h"
#include "ui/column_delegate.h"
#include "ui/dialog_frame.h"
#include "ui/dialog_launchers.h"
#include "ui/emulator_dialog.h"
#include "ui/entry_edit_box.h"
#include "ui/entry_list_view.h"
#include "ui/entry_row_model.h"
#include "ui/help_window.h"
#include "ui/insert_code_dialog.h"
#include "ui/pixel_art.h"
#include "ui/references_window.h"
#include "ui/history_dialog.h"
#include "ui/replace_dialog.h"
#include "ui/script_report_window.h"
#include "ui/search_dialog.h"
#include "ui/settings_store.h"
#include "ui/font_window.h"
#include "ui/text_preview_window.h"

namespace lettermoor::ui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  BuildControls();
  BuildMenus();
  // The designed size is where the window starts and the least it takes; the list and the
  // edit box grow with it.
  resize(minimumSizeHint());
  setAcceptDrops(true);

  // Escape ends the window, as the platform's Cancel does.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
}

MainWindow::~MainWindow() {
  if (settings_) settings_->SetWindowGeometry(saveGeometry());
}

void MainWindow::BuildControls() {
  auto* client = new QWidget(this);
  client_ = client;
  client->setMinimumSize(DluX(320), DluY(230));
  client->installEventFilter(this);
  // The layout was drawn for an 8-point sans serif at 96 dpi: 11 pixels.
  QFont font = client->font();
  font.setPixelSize(11);
  client->setFont(font);
  setCentralWidget(client);

  auto* rule = new QLabel(client);
  rule->setPixmap(ResourceBitmap(147));
  rule->setGeometry(0, 0, DluX(320), 2);
  rule->setScaledContents(true);
  rule_ = rule;

  rows_ = new EntryRowModel(this);
  list_ = new EntryListView(client);
  list_->setItemDelegate(new ColumnDelegate(list_));
  list_->setModel(rows_);
  list_->setGeometry(DluRect(7, 10, 306, 115));
  list_->onMarkMoved = [this] { if (logic_) logic_->OnListMarkMoved(SelectionMark()); };
  list_->onClick = [this] { if (logic_) logic_->OnListClick(SelectionMark()); };
  list_->onKey = [this] { if (logic_) logic_->OnListKey(SelectionMark()); };
  list_->onDoubleClick = [this] { if (logic_) logic_->OnListDoubleClick(SelectionMark()); };
  list_->onRightClick = [this] { if (logic_) logic_->OnListRightClick(SelectionMark()); };

  auto addLabel = [&](LabelId id, QRect rect) {
    auto* label = new QLabel(client);
    label->setGeometry(rect);
    label->setTextFormat(Qt::PlainText);
    labels_[id] = label;
  };
  addLabel(LabelId::Line, DluRect(7, 128, 68, 10));
  addLabel(LabelId::Size, DluRect(83, 128, 60, 10));

  // The marked row's original, above the edit box when an original is set (LayOutControls).
  originalLabel_ = new QLabel(QStringLiteral("Original:"), client);
  original_ = new QPlainTextEdit(client);
  original_->setReadOnly(true);
  original_->setTabChangesFocus(true);
  originalLabel_->setBuddy(original_);
  originalLabel_->hide();
  original_->hide();

  edit_ = new EntryEditBox(client);
  edit_->viewport()->installEventFilter(this);  // a dropped file opens; it is not typed in
  edit_->setGeometry(DluRect(7, 144, 306, 60));
  edit_->onChanged = [this] {
    if (logic_) logic_->OnEditChanged(EditText());
    TellPreview(false);
    textStatusTimer_->start();
  };
  edit_->onFocus = [this](bool gained) { if (logic_) logic_->OnEditFocus(gained); };

  // The live size line runs on to the Apply button: at its designed 111 units the longest
  // text is cut off in the wider fonts of today's desktops.
  addLabel(LabelId::CurrentSize,
           QRect(DluX(7), DluY(208), DluX(241) - DluX(4) - DluX(7), DluY(10)));

  applyButton_ = new QPushButton(QStringLiteral("&Apply Changes"), client);
  applyButton_->setGeometry(DluRect(241, 208, 72, 16));
  // Enter on the focused button presses it, as on a dialog; Enter elsewhere presses nothing.
  applyButton_->setAutoDefault(true);
  connect(applyButton_, &QPushButton::clicked, this, [this] {
    if (logic_) logic_->ApplyChanges(SelectionMark(), EditText());
  });

  setTabOrder(list_, original_);
  setTabOrder(original_, edit_);
  setTabOrder(edit_, applyButton_);

  textStatus_ = new QLabel(this);
  textStatus_->setTextFormat(Qt::PlainText);
  statusBar()->addPermanentWidget(textStatus_);
  textStatusTimer_ = new QTimer(this);
  textStatusTimer_->setSingleShot(true);
  textStatusTimer_->setInterval(0);
  connect(textStatusTimer_, &QTimer::timeout, this, [this] {
    if (logic_) logic_->UpdateTextStatus();
  });
  // Lasting: passing notes in the status bar leave it standing.
  progressLabel_ = new QLabel(this);
  progressLabel_->setTextFormat(Qt::PlainText);
  statusBar()->addPermanentWidget(progressLabel_);
  progressLabel_->hide();
  tableLabel_ = new QLabel(this);
  tableLabel_->setTextFormat(Qt::PlainText);
  statusBar()->addPermanentWidget(tableLabel_);
  tableLabel_->hide();
}

QAction* MainWindow::AddCommand(QMenu* menu, const char* text, CommandId id, bool checkable) {
  auto* action = menu->addAction(QString::fromLatin1(text));
  action->setCheckable(checkable);
  action->setData(static_cast<int>(id));
  actions_[id] = action;
  checked_[id] = false;
  connect(action, &QAction::triggered, this, [this, action, id] { OnMenuCommand(action, id); });
  return action;
}

void MainWindow::BuildMenus() {
  QMenuBar* bar = menuBar();

  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  AddCommand(file, "&Open", CommandId::Open)->setShortcut(QKeySequence::Open);
  recentMenu_ = file->addMenu(QStringLiteral("Open &Recent"));
  // Made afresh each time it opens, never while one of its items is running.
  connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::FillRecentMenu);
  FillRecentMenu();
  AddCommand(file, "&Close", CommandId::Close)->setShortcut(QKeySequence::Close);
  AddCommand(file, "Re&vert to Backup", CommandId::RevertToBackup);
  AddCommand(file, "&History...", CommandId::History);
  // Whether the backup is there is looked at again each time the menu opens: another program
  // may have made or removed it.
  connect(file, &QMenu::aboutToShow, this, [this] {
    if (logic_) logic_->EnableRevertItem();
  });
  file->addSeparator();
  AddCommand(file, "&Export Script...", CommandId::ExportScript);
  AddCommand(file, "&Import Script...", CommandId::ImportScript);
  file->addSeparator();
  AddCommand(file, "Create &Patch...", CommandId::CreatePatch);
  AddCommand(file, "&Apply Patch to a Copy...", CommandId::ApplyPatchToCopy);
  file->addSeparator();
  AddCommand(file, "E&xit", CommandId::Exit)->setShortcut(QKeySequence::Quit);

  // The clipboard items act on the edit box; its own Ctrl+Z/X/C/V keys keep working without
  // menu shortcuts.
  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  AddCommand(edit, "&Undo", CommandId::Undo);
  // The ROM's own undo, beside the edit box's: Ctrl+Z stays the edit box's.
  AddCommand(edit, "Undo &Last Change", CommandId::UndoLastChange)->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Z));
  edit->addSeparator();
  AddCommand(edit, "Cu&t", CommandId::Cut);
  AddCommand(edit, "&Copy", CommandId::Copy);
  AddCommand(edit, "&Paste", CommandId::Paste);
  insertCodeAction_ = edit->addAction(QStringLiteral("Insert C&ode..."));
  insertCodeAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
  insertCodeAction_->setEnabled(false);
  connect(insertCodeAction_, &QAction::triggered, this, [this] { RunInsertCode(); });
  edit->addSeparator();
  AddCommand(edit, "&Search", CommandId::Search)->setShortcut(QKeySequence::Find);
  AddCommand(edit, "&Replace in All Texts...", CommandId::ReplaceInAllTexts)->setShortcut(QKeySequence::Replace);
  AddCommand(edit, "Find &Next Untranslated", CommandId::FindNextUntranslated)
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));

  QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
  AddCommand(tools, "&Expand ROM", CommandId::ExpandRom);
  AddCommand(tools, "Edit &TPT entry", CommandId::EditTptEntry);
  AddCommand(tools, "&View current details", CommandId::ViewDetails);
  AddCommand(tools, "Find &References", CommandId::FindReferences);
  AddCommand(tools, "&Move to Free Space", CommandId::MoveToFreeSpace);
  AddCommand(tools, "Check &Consistency", CommandId::CheckConsistency);
  tools->addSeparator();
  AddCommand(tools, "&Dump to text file", CommandId::DumpToTextFile);
  tools->addSeparator();
  // Our own window, beside the logic's commands: it only looks at what the window shows.
  previewAction_ = tools->addAction(QStringLiteral("&Preview Text Window"));
  connect(previewAction_, &QAction::triggered, this, [this] { OpenPreview(); });
  fontAction_ = tools->addAction(QStringLiteral("&Font..."));
  connect(fontAction_, &QAction::triggered, this, [this] { OpenFonts(); });
  tools->addSeparator();
  AddCommand(tools, "R&un in Emulator", CommandId::RunInEmulator)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));

  QMenu* options = bar->addMenu(QStringLiteral("&Options"));
  AddCommand(options, "&Pointer table listing", CommandId::PointerTableListing, true);
  AddCommand(options, "&Raw text listing", CommandId::RawTextListing, true);
  AddCommand(options, "&Expanded ROM listing", CommandId::ExpandedRomListing, true);
  options->addSeparator();
  AddCommand(options, "Display &text and codes", CommandId::DisplayTextAndCodes, true);
  AddCommand(options, "Display &codes only", CommandId::DisplayCodesOnly, true);
  options->addSeparator();
  AddCommand(options, "Use &Compression", CommandId::UseCompression);
  AddCommand(options, "Prevent &Overwrites", CommandId::PreventOverwrites, true);
  // These three and the emulator are remembered between runs (see RestoreOptions).
  AddCommand(options, "Compress with &Dictionary", CommandId::CompressWithDictionary, true);
  AddCommand(options, "Keep a &Backup", CommandId::KeepBackup, true);
  AddCommand(options, "Keep the Chec&ksum Right", CommandId::KeepChecksumRight, true);
  emulatorAction_ = options->addAction(QStringLiteral("E&mulator..."));
  connect(emulatorAction_, &QAction::triggered, this, [this] { RunEmulatorDialog(); });
  options->addSeparator();
  AddCommand(options, "Ori&ginal ROM...", CommandId::OriginalRom);
  AddCommand(options, "&Forget Original ROM", CommandId::ForgetOriginal);
  AddCommand(options, "Character T&able...", CommandId::CharacterTable);

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  AddCommand(help, "&Help", CommandId::Help)->setShortcut(QKeySequence(Qt::Key_F1));
  AddCommand(help, "&About", CommandId::About);

  // As the menu resource has it, before the logic sets the states.
  checked_[CommandId::PreventOverwrites] = true;
  actions_[CommandId::PreventOverwrites]->setChecked(true);
  checked_[CommandId::KeepBackup] = true;
  actions_[CommandId::KeepBackup]->setChecked(true);
}

void MainWindow::OnMenuCommand(QAction* action, CommandId id) {
  // Qt toggles a checkable item before it reports the trigger; only the logic sets checks.
  if (action->isCheckable()) action->setChecked(checked_[id]);
  chosenRomPath_.clear();
  if (logic_) logic_->OnCommand(id);
  if (id == CommandId::Open) NoteOpenedRom();
  if (settings_ && logic_) {
    if (id == CommandId::CompressWithDictionary) {
      settings_->SetOption(QString::fromLatin1(kCompressOption), logic_->CompressWithDictionary());
    } else if (id == CommandId::KeepBackup) {
      settings_->SetOption(QString::fromLatin1(kKeepBackupOption), logic_->KeepBackup());
    } else if (id == CommandId::KeepChecksumRight) {
      settings_->SetOption(QString::fromLatin1(kKeepChecksumOption), logic_->KeepChecksumRight());
    }
  }
}

void MainWindow::RestoreOptions() {
  if (!settings_ || !logic_) return;
  logic_->SetCompressWithDictionary(settings_->Option(QString::fromLatin1(kCompressOption), false));
  logic_->SetKeepBackup(settings_->Option(QString::fromLatin1(kKeepBackupOption), true));
  logic_->SetKeepChecksumRight(settings_->Option(QString::fromLatin1(kKeepChecksumOption), false));
}

QString MainWindow::EmulatorCommand() const {
  return settings_ ? settings_->Text(QString::fromLatin1(kEmulatorCommandSetting)) : emulatorCommand_;
}

void MainWindow::SetEmulatorCommand(const QString& command) {
  if (settings_) settings_->SetText(QString::fromLatin1(kEmulatorCommandSetting), command);
  emulatorCommand_ = command;
}

void MainWindow::RunEmulatorDialog() {
  const QList<EmulatorPreset> found = emulatorFinder_ ? emulatorFinder_() : FindEmulatorPresets();
  QString command = EmulatorCommand();
  if (command.isEmpty() && !found.isEmpty()) command = found.first().command;
  EmulatorDialog dialog(this, command, found);
  if (dialog.exec() == QDialog::Accepted) SetEmulatorCommand(dialog.Command());
}

void MainWindow::StartEmulator(const std::string& romPath) {
  QString command = EmulatorCommand();
  if (command.trimmed().isEmpty()) {
    // Nothing chosen yet: the first emulator found here will do.
    const QList<EmulatorPreset> found = emulatorFinder_ ? emulatorFinder_() : FindEmulatorPresets();
    if (!found.isEmpty()) command = found.first().command;
  }
  const QStringList words = EmulatorArguments(command, QFile::decodeName(QByteArray::fromStdString(romPath)));
  if (words.isEmpty()) {
    ShowMessage("No emulator is set, and none was found on the PATH.\n\nInstall mednafen, or retroarch with a "
                "libretro-bsnes-mercury core, or name your emulator's command line under Options > Emulator...",
                "Run in Emulator", MessageIcon::None);
    return;
  }
  // Its own process, never waited for. The ROM's descriptor is opened close-on-exec, so the
  // emulator holds neither it nor its lock.
  QProcess process;
  process.setProgram(words.first());
  process.setArguments(words.mid(1));
  process.setStandardInputFile(QProcess::nullDevice());
  if (!process.startDetached()) {
    ShowMessage(("Cannot start " + words.first() + ": " + process.errorString() +
                 "\n\nCheck the command line under Options > Emulator...")
                    .toStdString(),
                "Run in Emulator", MessageIcon::Warning);
  }
}

void MainWindow::OpenRomAsFileOpen(const QString& path) {
  pendingRomPath_ = path;
  if (QAction* open = Action(CommandId::Open)) OnMenuCommand(open, CommandId::Open);
  pendingRomPath_.clear();  // not asked for when the open did not get that far
}

void MainWindow::NoteOpenedRom() {
  // Only a ROM that was picked and then taken goes on the list; a refused pick leaves the
  // ROM that was open before, which is not a new opening.
  if (!settings_ || !logic_ || chosenRomPath_.empty() || !logic_->IsRomOpen()) return;
  if (logic_->Rom().path != chosenRomPath_) return;
  settings_->AddRecentRom(QFile::decodeName(QByteArray::fromStdString(chosenRomPath_)));
  recentMenu_->setEnabled(true);
}

void MainWindow::FillRecentMenu() {
  if (!recentMenu_) return;
  recentMenu_->clear();
  const QStringList roms = settings_ ? settings_->RecentRoms() : QStringList();
  for (int i = 0; i < roms.size(); ++i) {
    const QString path = roms[i];
    // "&1 name  (folder)" for the keyboard: two ROMs of one name are told apart by their folders,
    // a long folder shortened in its middle. The full path is the item's tip.
    const QFileInfo info(path);
    const QString folder = recentMenu_->fontMetrics().elidedText(QDir::toNativeSeparators(info.absolutePath()),
                                                                 Qt::ElideMiddle, 320);
    QString text = QStringLiteral("&%1 %2  (%3)")
                       .arg(i + 1)
                       .arg(info.fileName().replace('&', "&&"), QString(folder).replace('&', "&&"));
    QAction* item = recentMenu_->addAction(text);
    item->setToolTip(path);
    item->setStatusTip(path);
    connect(item, &QAction::triggered, this, [this, path] {
      if (!QFileInfo(path).isFile()) {
        QMessageBox::warning(this, QStringLiteral("Open Recent"),
                             QStringLiteral("%1 is no longer there; it has been taken off the list.").arg(path));
        if (settings_) settings_->RemoveRecentRom(path);
        return;
      }
      OpenRomAsFileOpen(path);
    });
  }
  recentMenu_->setEnabled(!roms.isEmpty());
}

void MainWindow::UseSettings(SettingsStore* store) {
  settings_ = store;
  if (settings_) {
    const QByteArray geometry = settings_->WindowGeometry();
    if (!geometry.isEmpty()) restoreGeometry(geometry);
  }
  FillRecentMenu();
}

QString MainWindow::DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.first().isLocalFile()) return {};
  return urls.first().toLocalFile();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  OpenRomAsFileOpen(path);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) LayOutControls();
  // The edit box would take a dropped file as text: a file is a ROM to open.
  const bool editArea = edit_ && watched == edit_->viewport();
  if (editArea && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)) {
    auto* drag = static_cast<QDragMoveEvent*>(event);
    if (!DroppedFile(drag->mimeData()).isEmpty()) {
      drag->acceptProposedAction();
      return true;
    }
  }
  if (editArea && event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QString path = DroppedFile(drop->mimeData());
    if (!path.isEmpty()) {
      drop->acceptProposedAction();
      OpenRomAsFileOpen(path);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::LayOutControls() {
  // The designed places, with what the window has beyond its designed size shared out: all the
  // width to the list, the edit box and the size line; the height half to the list, half to
  // the edit box. Everything below a control that grows moves down with it.
  const int dw = std::max(0, client_->width() - DluX(320));
  const int dh = std::max(0, client_->height() - DluY(230));
  const int listGrowth = dh / 2;
  auto place = [](QWidget* w, QRect designed, int dx, int dy, int grow_w, int grow_h) {
    if (w) w->setGeometry(designed.adjusted(dx, dy, dx + grow_w, dy + grow_h));
  };
  place(rule_, QRect(0, 0, DluX(320), 2), 0, 0, dw, 0);
  place(list_, DluRect(7, 10, 306, 115), 0, 0, dw, listGrowth);
  place(Label(LabelId::Line), DluRect(7, 128, 68, 10), 0, listGrowth, 0, 0);
  place(Label(LabelId::Size), DluRect(83, 128, 60, 10), 0, listGrowth, 0, 0);
  if (original_ && !original_->isHidden()) {
    // The original's label and box take the upper part of the edit box's room.
    const QRect room = DluRect(7, 144, 306, 60).adjusted(0, listGrowth, dw, dh);
    const int labelHeight = DluY(10);
    const int boxHeight = (room.height() - labelHeight - DluY(3)) / 2;
    originalLabel_->setGeometry(room.x(), room.y(), room.width(), labelHeight);
    original_->setGeometry(room.x(), room.y() + labelHeight, room.width(), boxHeight);
    edit_->setGeometry(room.adjusted(0, labelHeight + boxHeight + DluY(3), 0, 0));
  } else {
    place(edit_, DluRect(7, 144, 306, 60), 0, listGrowth, dw, dh - listGrowth);
  }
  place(Label(LabelId::CurrentSize), QRect(DluX(7), DluY(208), DluX(241) - DluX(4) - DluX(7), DluY(10)), 0, dh,
        dw, 0);
  place(applyButton_, DluRect(241, 208, 72, 16), dw, dh, 0, 0);
}

void MainWindow::Attach(EditorWindow& logic) { logic_ = &logic; }

void MainWindow::OpenRomFromCommandLine(const QString& path) {
  if (!logic_) return;
  const QFileInfo info(path);
  // Dumps go beside the ROM, as after a pick in the open-file dialog.
  if (info.exists()) logic_->SetDumpFolder(QFile::encodeName(info.absolutePath()).toStdString());
  chosenRomPath_ = QFile::encodeName(info.absoluteFilePath()).toStdString();
  logic_->OpenRomPath(chosenRomPath_);
  NoteOpenedRom();
}

QListView* MainWindow::List() const { return list_; }
QPlainTextEdit* MainWindow::EditBox() const { return edit_; }

QLabel* MainWindow::Label(LabelId id) const {
  auto it = labels_.find(id);
  return it == labels_.end() ? nullptr : it->second;
}

QAction* MainWindow::Action(CommandId id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::SetTitle(const std::string& title) { setWindowTitle(FromBytes(title)); }

void MainWindow::SetIcon() { setWindowIcon(AppIcon()); }

void MainWindow::EnableList(bool enabled) { list_->setEnabled(enabled); }

void MainWindow::EnableEditBox(bool enabled) {
  edit_->setEnabled(enabled);
  insertCodeAction_->setEnabled(enabled);
}

void MainWindow::RunInsertCode() {
  if (!logic_ || !edit_->isEnabled()) return;
  const int lines = logic_->IsRomOpen() ? logic_->Table().count() : 0;
  InsertCodeDialog dialog(this, lines, [this](int row) -> std::optional<uint32_t> {
    if (!logic_ || !logic_->Table().Contains(row)) return std::nullopt;
    return logic_->Table().entries[static_cast<size_t>(row)].textAddress;
  });
  if (dialog.exec() != QDialog::Accepted || !dialog.Chosen()) return;
  const CodeInsertion& chosen = *dialog.Chosen();
  edit_->setFocus();
  edit_->InsertAndSelect(QString::fromStdString(chosen.text), chosen.argumentsStart, chosen.argumentsLength);
}

void MainWindow::ShowTextStatus(const std::string& text, bool fits) {
  textStatus_->setText(FromBytes(text));
  // The words say whether it fits; a text that does not is also drawn bold.
  textStatus_->setStyleSheet(fits || text.empty() ? QString() : QStringLiteral("font-weight: bold;"));
}

void MainWindow::SetEditText(const std::string& text) {
  edit_->SetText(FromText(text, utf8Texts_));
  TellPreview(true);
}

void MainWindow::OpenPreview() {
  if (!preview_) {
    preview_ = new TextPreviewWindow(
        [this] {
          PreviewSource s;
          if (logic_ && logic_->IsRomOpen()) {
            s.rom = logic_->Rom().handle.get();
            s.dictionary = &logic_->Decoder().Dictionary();
            s.row = SelectionMark();
          }
          // Drawn by byte: through the character table, its letters are their bytes' glyphs.
          s.text = logic_ ? logic_->Doc().GameTextOf(EditText()) : EditText();
          return s;
        },
        this);
  }
  preview_->show();
  preview_->raise();
  preview_->activateWindow();
}

void MainWindow::OpenFonts() {
  if (!fonts_) {
    // A written glyph shows in the preview at once: it reads the fonts again.
    fonts_ = new FontWindow([this] { return logic_ ? &logic_->Doc() : nullptr; }, [this] { TellPreview(true); }, this);
  }
  fonts_->show();
  fonts_->raise();
  fonts_->activateWindow();
}

void MainWindow::TellPreview(bool entry) {
  // The font window, too, shows the ROM that is open now, unless it holds edits.
  if (entry && fonts_ && fonts_->isVisible() && !fonts_->HasUnappliedEdits()) fonts_->Reload();
  if (!preview_ || !preview_->isVisible()) return;
  entry ? preview_->Follow() : preview_->TextChanged();
}

std::string MainWindow::EditText() const {
  // Line breaks (only pasted text has them) read back as the platform's edit box gives them.
  QString text = edit_->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  // As UTF-8, so that the logic sees every character as typed: a character that is not a game
  // character is refused by name, never turned into another byte on the way.
  return text.toUtf8().toStdString();
}

void MainWindow::LimitEditText(int characters) { edit_->SetLimit(characters); }

void MainWindow::EditUndo() { edit_->undo(); }
void MainWindow::EditCut() { edit_->cut(); }
void MainWindow::EditCopy() { edit_->copy(); }
void MainWindow::EditPaste() { edit_->paste(); }

void MainWindow::SetLabel(LabelId label, const std::string& text) {
  if (QLabel* l = Label(label)) l->setText(FromBytes(text));
}

void MainWindow::SetLabelToolTip(LabelId label, const std::string& text) {
  // As a message's text: a refused character is named in UTF-8.
  if (QLabel* l = Label(label)) l->setToolTip(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void MainWindow::InsertListColumn(int widthPixels) {
  static_cast<ColumnDelegate*>(list_->itemDelegate())->SetColumnWidth(widthPixels);
  list_->doItemsLayout();
}

void MainWindow::DeleteAllRows() {
  EntryListView::ProgramChange quiet(*list_);
  rows_->SetRows({});
}

void MainWindow::SetAllRows(RowList rows) {
  EntryListView::ProgramChange quiet(*list_);
  rows_->SetRows(std::move(rows));
  // A new listing starts at its top, so that the rows in view match "Line: 1/N".
  list_->scrollToTop();
  list_->horizontalScrollBar()->setValue(0);
}

void MainWindow::SetRowText(int row, const std::string& text) {
  EntryListView::ProgramChange quiet(*list_);
  rows_->SetRowText(row, text);
}

int MainWindow::SelectionMark() const {
  const QModelIndex current = list_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void MainWindow::SetSelectionMark(int row) {
  // Moving the mark neither highlights nor scrolls; EnsureVisible and SetRowSelected do that.
  EntryListView::ProgramChange quiet(*list_);
  const bool autoScroll = list_->hasAutoScroll();
  list_->setAutoScroll(false);
  list_->selectionModel()->setCurrentIndex(rows_->index(row, 0), QItemSelectionModel::NoUpdate);
  list_->setAutoScroll(autoScroll);
}

void MainWindow::EnsureVisible(int row) {
  const QModelIndex index = rows_->index(row, 0);
  if (index.isValid()) list_->scrollTo(index, QAbstractItemView::EnsureVisible);
}

void MainWindow::SetRowSelected(int row) {
  const QModelIndex index = rows_->index(row, 0);
  if (!index.isValid()) return;
  EntryListView::ProgramChange quiet(*list_);
  list_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
}

void MainWindow::EnableMenuItem(CommandId id, bool enabled) {
  if (QAction* action = Action(id)) action->setEnabled(enabled);
}

void MainWindow::CheckMenuItem(CommandId id, bool checked) {
  QAction* action = Action(id);
  if (!action) return;
  if (checked && !action->isCheckable()) action->setCheckable(true);
  checked_[id] = checked;
  action->setChecked(checked);
}

void MainWindow::ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
  QWidget* owner = messageOwner_ ? messageOwner_.data() : this;
  QMessageBox box(owner);
  box.setIcon(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
  box.setWindowTitle(FromBytes(caption));
  box.setTextFormat(Qt::PlainText);
  // Our texts are ASCII; a refused character is named in UTF-8, as the logic was given it.
  box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

bool MainWindow::AskYesNo(const std::string& text, const std::string& caption) {
  QWidget* owner = messageOwner_ ? messageOwner_.data() : this;
  QMessageBox box(owner);
  box.setIcon(QMessageBox::Question);
  box.setWindowTitle(FromBytes(caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(QFile::decodeName(QByteArray::fromStdString(text)));
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void MainWindow::EnableApplyButton(bool enabled) { applyButton_->setEnabled(enabled); }

void MainWindow::ShowReferences(const ReferencesPage& page) {
  if (!references_) {
    references_ = new ReferencesWindow(
        [this](int row) {
          if (logic_) logic_->GoToReferenceLine(row);
        },
        [this] {
          if (logic_) logic_->OnReferencesClosed();
        },
        [this] {
          if (logic_) logic_->RefreshReferencesWindow();
        },
        this);
  }
  references_->ShowPage(page);
  if (!references_->isVisible()) {
    references_->show();
    references_->raise();
  }
}

void MainWindow::ShowConsistency(const ReferencesPage& page) {
  if (!consistency_) {
    consistency_ = new ReferencesWindow(
        [this](int row) {
          if (logic_) logic_->SelectRow(row);
        },
        {}, {}, this);
    consistency_->setWindowTitle(QString::fromLatin1(editor_text::kConsistencyTitle));
    consistency_->Rows()->setHeaderLabels({QStringLiteral("Kind"), QStringLiteral("Text"), QStringLiteral("Line")});
  }
  consistency_->ShowPage(page);
  consistency_->show();
  consistency_->raise();
}

void MainWindow::CloseReferences() {
  if (consistency_) consistency_->hide();
  if (references_) references_->hide();
}

std::string MainWindow::ChooseScriptFile(bool save, const std::string& suggested) {
  const QString start = QFile::decodeName(QByteArray::fromStdString(suggested));
  const QString filter = QStringLiteral("Script files (*.txt);;Gettext PO files (*.po);;All Files (*)");
  const QString path =
      scriptPathPrompt_ ? scriptPathPrompt_(save)
      : save ? QFileDialog::getSaveFileName(this, QStringLiteral("Export Script"), start, filter)
             : QFileDialog::getOpenFileName(this, QStringLiteral("Import Script"), start, filter);
  return path.isEmpty() ? std::string() : QFile::encodeName(path).toStdString();
}

std::string MainWindow::ChoosePatchFile(PatchFileQuestion question, const std::string& suggested) {
  const QString start = QFile::decodeName(QByteArray::fromStdString(suggested));
  const QString roms = QStringLiteral("SNES ROM (*.smc *.sfc *.fig);;All Files (*)");
  QString path;
  if (patchPathPrompt_) {
    path = patchPathPrompt_(question);
  } else if (question == PatchFileQuestion::PatchToWrite) {
    path = QFileDialog::getSaveFileName(this, QStringLiteral("Create Patch"), start,
                                        QStringLiteral("BPS patch (*.bps);;IPS patch (*.ips)"));
  } else if (question == PatchFileQuestion::PatchToRead) {
    path = QFileDialog::getOpenFileName(this, QStringLiteral("Apply Patch to a Copy"), start,
                                        QStringLiteral("Patches (*.bps *.ips);;All Files (*)"));
  } else {
    path = QFileDialog::getSaveFileName(this, QStringLiteral("Patched Copy"), start, roms);
  }
  return path.isEmpty() ? std::string() : QFile::encodeName(path).toStdString();
}

bool MainWindow::ShowProgress(const std::string& label, int done, int total) {
  if (done == 0 && !progress_) {
    progress_ = new QProgressDialog(FromBytes(label), QStringLiteral("Cancel"), 0, total, this);
    progress_->setWindowModality(Qt::WindowModal);
    // Shown only when the work goes on for more than a moment.
    progress_->setMinimumDuration(400);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
  }
  if (!progress_) return true;
  progress_->setValue(done);
  const bool cancelled = progress_->wasCanceled();
  if (done >= total || cancelled) {
    // Gone now, not at the next turn of the event loop: a message box that follows runs its own
    // loop, in which the dialog's show timer would still fire and put it over that box.
    delete progress_;
    progress_ = nullptr;
  }
  return !cancelled;
}

void MainWindow::ShowReport(const std::string& title, const std::string& text) {
  if (!scriptReport_) scriptReport_ = new ScriptReportWindow(this);
  scriptReport_->ShowReport(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

std::string MainWindow::ChooseOriginalRom(const std::string& current) {
  QString start = QFile::decodeName(QByteArray::fromStdString(current));
  if (start.isEmpty() && logic_) start = QFile::decodeName(logic_->DumpFolder().c_str());
  const QString path = originalPathPrompt_
                           ? originalPathPrompt_()
                           : QFileDialog::getOpenFileName(this, QStringLiteral("Original ROM (unmodified, not the backup)"), start,
                                                          QStringLiteral("SNES ROM (*.smc *.sfc *.fig);;All Files (*)"));
  return path.isEmpty() ? std::string() : QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
}

std::string MainWindow::RememberedOriginal(const std::string& rom) {
  if (!settings_) return {};
  return QFile::encodeName(settings_->OriginalRom(QFile::decodeName(QByteArray::fromStdString(rom)))).toStdString();
}

void MainWindow::RememberOriginal(const std::string& rom, const std::string& original) {
  if (!settings_) return;
  settings_->SetOriginalRom(QFile::decodeName(QByteArray::fromStdString(rom)),
                            QFile::decodeName(QByteArray::fromStdString(original)));
}

void MainWindow::ShowOriginalText(const std::optional<std::string>& text) {
  const bool shown = text.has_value();
  if (shown) original_->setPlainText(FromText(*text, utf8Texts_));
  if (shown == !original_->isHidden()) return;
  if (!shown) original_->clear();
  originalLabel_->setVisible(shown);
  original_->setVisible(shown);
  LayOutControls();
}

void MainWindow::SetTranslatedRows(std::vector<bool> translated) { rows_->SetTranslated(std::move(translated)); }

void MainWindow::ShowTranslationProgress(const std::string& text) {
  progressLabel_->setText(FromBytes(text));
  progressLabel_->setVisible(!text.empty());
}

std::optional<std::string> MainWindow::ChooseCharacterTable(const std::string& current) {
  std::optional<QString> path;
  if (tablePrompt_) {
    path = tablePrompt_();
  } else {
    if (!current.empty()) {
      // A table in use may be dropped, or another picked.
      QMessageBox ask(QMessageBox::Question, QStringLiteral("Character Table"),
                      QStringLiteral("The character table %1 is in use.").arg(FromBytes(BareFileName(current))),
                      QMessageBox::Cancel, this);
      QPushButton* other = ask.addButton(QStringLiteral("&Choose Another..."), QMessageBox::AcceptRole);
      QPushButton* none = ask.addButton(QStringLiteral("Use &No Table"), QMessageBox::DestructiveRole);
      ask.exec();
      if (ask.clickedButton() == none) return std::string();
      if (ask.clickedButton() != other) return std::nullopt;
    }
    const QString start = QFileInfo(QFile::decodeName(QByteArray::fromStdString(current))).absolutePath();
    const QString picked = QFileDialog::getOpenFileName(this, QStringLiteral("Character Table"), current.empty() ? QString() : start,
                                                        QStringLiteral("Character tables (*.tbl);;All Files (*)"));
    if (picked.isEmpty()) return std::nullopt;
    path = picked;
  }
  if (!path) return std::nullopt;
  return path->isEmpty() ? std::string() : QFile::encodeName(QFileInfo(*path).absoluteFilePath()).toStdString();
}

std::string MainWindow::RememberedTable(const std::string& rom) {
  if (!settings_) return {};
  return QFile::encodeName(settings_->CharacterTable(QFile::decodeName(QByteArray::fromStdString(rom)))).toStdString();
}

void MainWindow::RememberTable(const std::string& rom, const std::string& table) {
  if (!settings_) return;
  settings_->SetCharacterTable(QFile::decodeName(QByteArray::fromStdString(rom)),
                               QFile::decodeName(QByteArray::fromStdString(table)));
}

void MainWindow::ShowCharacterTable(const CharacterTable* table) {
  tableLabel_->setText(table ? QString::fromUtf8(FormatText(editor_text::kTableInUse, table->Name()).c_str()) : QString());
  tableLabel_->setVisible(table != nullptr);
  utf8Texts_ = table != nullptr;
  rows_->SetUtf8(utf8Texts_);
  edit_->Highlighter()->UseCharacterTable(table);
}

void MainWindow::ShowStatusNote(const std::string& text) {
  // Our texts are ASCII; a file's name comes as the file system gives it.
  statusBar()->showMessage(QFile::decodeName(QByteArray::fromStdString(text)), 15000);
}

RomChoice MainWindow::ChooseRomFile() {
  QString path = pendingRomPath_;
  pendingRomPath_.clear();
  if (path.isEmpty()) {
    path = romPathPrompt_ ? romPathPrompt_()
                          : QFileDialog::getOpenFileName(
                           this, QStringLiteral("Open"),
                           logic_ ? QFile::decodeName(logic_->DumpFolder().c_str()) : QString(),
                           QStringLiteral("SNES ROM (*.smc *.sfc *.fig);;All Files (*)"));
  }
  if (path.isEmpty()) return {};
  const QFileInfo info(path);
  chosenRomPath_ = QFile::encodeName(info.absoluteFilePath()).toStdString();
  // The dumps land in the folder of the pick, and the next Open starts there.
  if (logic_) logic_->SetDumpFolder(QFile::encodeName(info.absolutePath()).toStdString());
  return {QFile::encodeName(info.absoluteFilePath()).toStdString(),
          QFile::encodeName(info.fileName()).toStdString()};
}

ChangesAnswer MainWindow::AskApplyChanges(const std::string& question,
                                          const std::string& caption) {
  QMessageBox box(QMessageBox::Question, FromBytes(caption), FromBytes(question),
                  QMessageBox::Apply | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setTextFormat(Qt::PlainText);
  // The platform styles name Discard differently ("Close without Saving"): say what it does.
  box.button(QMessageBox::Apply)->setText(QStringLiteral("&Apply"));
  box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
  box.setDefaultButton(QMessageBox::Apply);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() == box.button(QMessageBox::Apply)) return ChangesAnswer::Apply;
  if (box.clickedButton() == box.button(QMessageBox::Discard)) return ChangesAnswer::Discard;
  return ChangesAnswer::Cancel;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The close box and Escape end the program, but not over typed work the user wants to keep.
  if ((fonts_ && fonts_->isVisible() && !fonts_->close()) || (logic_ && !logic_->OnCloseRequest())) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void MainWindow::RunSearchWindow() {
  SearchDialog dialog(this, [this](const std::string& query) {
    if (logic_) logic_->FindNext(query, SelectionMark());
  });
  QScopedValueRollback<QPointer<QWidget>> owner(messageOwner_, &dialog);
  dialog.exec();
}

void MainWindow::RunHistoryWindow() {
  HistoryDialog dialog(
      this, [this] { return logic_ ? logic_->HistoryEntries() : std::vector<HistoryEntry>(); },
      [this](uint64_t id) {
        if (logic_) logic_->UndoChange(id);
      });
  QScopedValueRollback<QPointer<QWidget>> owner(messageOwner_, &dialog);
  dialog.exec();
}

std::optional<ReplaceChoice> MainWindow::RunReplaceWindow() {
  ReplaceDialog dialog(this, [this](const ReplaceQuery& query) {
    return logic_ ? logic_->FindReplacements(query) : ReplaceSearch();
  });
  QScopedValueRollback<QPointer<QWidget>> owner(messageOwner_, &dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

bool MainWindow::RunPointerEntryEditor(PointerEntryForm& form) {
  return RunPointerEntryDialog(this, form);
}

void MainWindow::RunDetailsWindow(const DetailsRequest& request) { RunDetailsDialog(this, request); }

void MainWindow::RunAboutBox() { RunAboutDialog(this); }

void MainWindow::RunGizmoDialog() { ui::RunGizmoDialog(this); }

void MainWindow::OpenHelp() {
  if (!helpWindow_) helpWindow_ = new HelpWindow(this);
  helpWindow_->show();
  helpWindow_->raise();
  helpWindow_->activateWindow();
}

void MainWindow::CloseWindow() { close(); }

}  // namespace lettermoor::ui

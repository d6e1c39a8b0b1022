#include "ui/main_window.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShortcut>

#include "editor/editor_window.h"
#include "ui/column_delegate.h"
#include "ui/dialog_frame.h"
#include "ui/dialog_launchers.h"
#include "ui/entry_edit_box.h"
#include "ui/entry_list_view.h"
#include "ui/entry_row_model.h"
#include "ui/help_window.h"
#include "ui/pixel_art.h"
#include "ui/search_dialog.h"
#include "ui/text_preview_window.h"

namespace lettermoor::ui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  // Caption, system menu, minimise box and close box; no maximise box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  BuildControls();
  BuildMenus();
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  // Escape ends the window, as the platform's Cancel does.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls() {
  auto* client = new QWidget(this);
  client->setFixedSize(DluX(320), DluY(230));
  // The layout was drawn for an 8-point sans serif at 96 dpi: 11 pixels.
  QFont font = client->font();
  font.setPixelSize(11);
  client->setFont(font);
  setCentralWidget(client);

  auto* rule = new QLabel(client);
  rule->setPixmap(ResourceBitmap(147));
  rule->setGeometry(0, 0, DluX(320), 2);

  rows_ = new EntryRowModel(this);
  list_ = new EntryListView(client);
  list_->setItemDelegate(new ColumnDelegate(list_));
  list_->setModel(rows_);
  list_->setGeometry(DluRect(7, 10, 306, 115));
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

  edit_ = new EntryEditBox(client);
  edit_->setGeometry(DluRect(7, 144, 306, 60));
  edit_->onChanged = [this] {
    if (logic_) logic_->OnEditChanged(EditText());
    TellPreview(false);
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

  setTabOrder(list_, edit_);
  setTabOrder(edit_, applyButton_);
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
  AddCommand(file, "&Close", CommandId::Close)->setShortcut(QKeySequence::Close);
  file->addSeparator();
  AddCommand(file, "E&xit", CommandId::Exit)->setShortcut(QKeySequence::Quit);

  // The clipboard items act on the edit box; its own Ctrl+Z/X/C/V keys keep working without
  // menu shortcuts.
  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  AddCommand(edit, "&Undo", CommandId::Undo);
  edit->addSeparator();
  AddCommand(edit, "Cu&t", CommandId::Cut);
  AddCommand(edit, "&Copy", CommandId::Copy);
  AddCommand(edit, "&Paste", CommandId::Paste);
  edit->addSeparator();
  AddCommand(edit, "&Search", CommandId::Search)->setShortcut(QKeySequence::Find);

  QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
  AddCommand(tools, "&Expand ROM", CommandId::ExpandRom);
  AddCommand(tools, "Edit &TPT entry", CommandId::EditTptEntry);
  AddCommand(tools, "&View current details", CommandId::ViewDetails);
  tools->addSeparator();
  AddCommand(tools, "&Dump to text file", CommandId::DumpToTextFile);
  tools->addSeparator();
  // Our own window, beside the logic's commands: it only looks at what the window shows.
  previewAction_ = tools->addAction(QStringLiteral("&Preview Text Window"));
  connect(previewAction_, &QAction::triggered, this, [this] { OpenPreview(); });

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

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  AddCommand(help, "&Help", CommandId::Help)->setShortcut(QKeySequence(Qt::Key_F1));
  AddCommand(help, "&About", CommandId::About);

  // As the menu resource has it, before the logic sets the states.
  checked_[CommandId::PreventOverwrites] = true;
  actions_[CommandId::PreventOverwrites]->setChecked(true);
}

void MainWindow::OnMenuCommand(QAction* action, CommandId id) {
  // Qt toggles a checkable item before it reports the trigger; only the logic sets checks.
  if (action->isCheckable()) action->setChecked(checked_[id]);
  if (logic_) logic_->OnCommand(id);
}

void MainWindow::Attach(EditorWindow& logic) { logic_ = &logic; }

void MainWindow::OpenRomFromCommandLine(const QString& path) {
  if (!logic_) return;
  const QFileInfo info(path);
  // Dumps are written to the working directory; keep them beside the ROM, as a pick in the
  // open-file dialog does.
  if (info.exists()) QDir::setCurrent(info.absolutePath());
  logic_->OpenRomPath(QFile::encodeName(info.absoluteFilePath()).toStdString());
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

void MainWindow::EnableEditBox(bool enabled) { edit_->setEnabled(enabled); }

void MainWindow::SetEditText(const std::string& text) {
  edit_->SetText(FromBytes(text));
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
          s.text = EditText();
          return s;
        },
        this);
  }
  preview_->show();
  preview_->raise();
  preview_->activateWindow();
}

void MainWindow::TellPreview(bool entry) {
  if (!preview_ || !preview_->isVisible()) return;
  entry ? preview_->Follow() : preview_->TextChanged();
}

std::string MainWindow::EditText() const {
  // Line breaks (only pasted text has them) read back as the platform's edit box gives them.
  QString text = edit_->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  return text.toLatin1().toStdString();
}

void MainWindow::LimitEditText(int characters) { edit_->SetLimit(characters); }

void MainWindow::EditUndo() { edit_->undo(); }
void MainWindow::EditCut() { edit_->cut(); }
void MainWindow::EditCopy() { edit_->copy(); }
void MainWindow::EditPaste() { edit_->paste(); }

void MainWindow::SetLabel(LabelId label, const std::string& text) {
  if (QLabel* l = Label(label)) l->setText(FromBytes(text));
}

void MainWindow::InsertListColumn(int widthPixels) {
  static_cast<ColumnDelegate*>(list_->itemDelegate())->SetColumnWidth(widthPixels);
  list_->doItemsLayout();
}

void MainWindow::DeleteAllRows() { rows_->SetRows({}); }

void MainWindow::SetAllRows(std::vector<std::string> rows) { rows_->SetRows(std::move(rows)); }

void MainWindow::DeleteRow(int row) { rows_->RemoveRow(row); }

void MainWindow::InsertRow(int row, const std::string& text) { rows_->InsertRow(row, text); }

int MainWindow::SelectionMark() const {
  const QModelIndex current = list_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void MainWindow::SetSelectionMark(int row) {
  // Moving the mark neither highlights nor scrolls; EnsureVisible and SetRowSelected do that.
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
  if (index.isValid()) list_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
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
  box.setText(FromBytes(text));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

RomChoice MainWindow::ChooseRomFile() {
  const QString path =
      romPathPrompt_ ? romPathPrompt_()
                     : QFileDialog::getOpenFileName(
                           this, QStringLiteral("Open"), QString(),
                           QStringLiteral("SNES ROM (*.smc *.sfc *.fig);;All Files (*)"));
  if (path.isEmpty()) return {};
  const QFileInfo info(path);
  // The platform dialog leaves the working directory in the folder of the pick, which is where
  // the dumps then land.
  QDir::setCurrent(info.absolutePath());
  return {QFile::encodeName(info.absoluteFilePath()).toStdString(),
          QFile::encodeName(info.fileName()).toStdString()};
}

void MainWindow::RunSearchWindow() {
  SearchDialog dialog(this, [this](const std::string& query) {
    if (logic_) logic_->FindNext(query, SelectionMark());
  });
  QScopedValueRollback<QPointer<QWidget>> owner(messageOwner_, &dialog);
  dialog.exec();
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

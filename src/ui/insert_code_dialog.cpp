#include "ui/insert_code_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace lettermoor::ui {

namespace {

bool IsJump(const ControlCodeEntry& e) {
  for (const JumpCodeKind& k : kJumpCodes) {
    if (k.code == e.code && k.subCode == (e.subCode >= 0 ? e.subCode : -1)) return true;
  }
  return false;
}

// "[1C 02 00]  PLAYER NAME xx": the group as it is inserted and what the code does, its
// arguments as "xx".
QString ItemText(const ControlCodeEntry& e) {
  QString description = QString::fromLatin1(e.description);
  description.replace(QStringLiteral("%.2X"), QStringLiteral("xx"));
  return QString::fromStdString(InsertionFor(e).text) + QStringLiteral("  ") + description;
}

}  // namespace

InsertCodeDialog::InsertCodeDialog(QWidget* parent, int lineCount,
                                   std::function<std::optional<uint32_t>(int row)> addressOf)
    : QDialog(parent), lineCount_(lineCount), addressOf_(std::move(addressOf)) {
  setWindowTitle(QStringLiteral("Insert Code"));
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(QStringLiteral("&Find a code:"), this);
  search_ = new QLineEdit(this);
  search_->setPlaceholderText(QStringLiteral("name or hex, e.g. \"name\" or \"1C\""));
  search_->setClearButtonEnabled(true);
  search_->installEventFilter(this);
  label->setBuddy(search_);
  list_ = new QListWidget(this);
  list_->setMinimumSize(420, 320);
  const auto table = ControlCodeTable();
  for (size_t i = 0; i < table.size(); ++i) {
    auto* item = new QListWidgetItem(ItemText(table[i]), list_);
    item->setData(Qt::UserRole, static_cast<int>(i));
  }
  auto* buttons = new QDialogButtonBox(this);
  insert_ = buttons->addButton(QStringLiteral("&Insert"), QDialogButtonBox::AcceptRole);
  toLine_ = buttons->addButton(QStringLiteral("to &Line..."), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  insert_->setDefault(true);
  layout->addWidget(label);
  layout->addWidget(search_);
  layout->addWidget(list_);
  layout->addWidget(buttons);

  linePrompt_ = [this] {
    bool ok = false;
    const int line = QInputDialog::getInt(this, QStringLiteral("Jump to Line"),
                                          QStringLiteral("Jump to the text of line:"), 1, 1,
                                          std::max(lineCount_, 1), 1, &ok);
    return ok ? line : 0;
  };
  connect(search_, &QLineEdit::textChanged, this, &InsertCodeDialog::Filter);
  connect(list_, &QListWidget::currentRowChanged, this, [this] {
    const ControlCodeEntry* e = Marked();
    insert_->setEnabled(e != nullptr);
    toLine_->setEnabled(e && IsJump(*e) && lineCount_ > 0);
  });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { Choose(std::nullopt); });
  connect(insert_, &QPushButton::clicked, this, [this] { Choose(std::nullopt); });
  connect(toLine_, &QPushButton::clicked, this, &InsertCodeDialog::ChooseLine);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  list_->setCurrentRow(0);
  search_->setFocus();
}

void InsertCodeDialog::Filter(const QString& query) {
  const QString q = query.trimmed();
  int first = -1;
  for (int i = 0; i < list_->count(); ++i) {
    QListWidgetItem* item = list_->item(i);
    const bool shown = item->text().contains(q, Qt::CaseInsensitive);
    item->setHidden(!shown);
    if (shown && first < 0) first = i;
  }
  list_->setCurrentRow(first);
}

const ControlCodeEntry* InsertCodeDialog::Marked() const {
  const QListWidgetItem* item = list_->currentItem();
  if (!item || item->isHidden()) return nullptr;
  return &ControlCodeTable()[static_cast<size_t>(item->data(Qt::UserRole).toInt())];
}

void InsertCodeDialog::Choose(std::optional<uint32_t> address) {
  const ControlCodeEntry* e = Marked();
  if (!e) return;
  chosen_ = InsertionFor(*e, address);
  accept();
}

void InsertCodeDialog::ChooseLine() {
  const ControlCodeEntry* e = Marked();
  if (!e || !IsJump(*e)) return;
  const int line = linePrompt_();
  if (line < 1 || line > lineCount_) return;
  if (const std::optional<uint32_t> address = addressOf_(line - 1)) Choose(address);
}

bool InsertCodeDialog::eventFilter(QObject* watched, QEvent* event) {
  // Up and Down in the search field move through the list, so that typing and choosing need no
  // mouse.
  if (watched == search_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
      QCoreApplication::sendEvent(list_, event);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace lettermoor::ui

#include "ui/history_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "document/document_text.h"
#include "ui/dialog_frame.h"

namespace lettermoor::ui {

HistoryDialog::HistoryDialog(QWidget* parent, std::function<std::vector<HistoryEntry>()> entries,
                             std::function<void(uint64_t)> undo)
    : QDialog(parent), entries_(std::move(entries)), undoEntry_(std::move(undo)) {
  setWindowTitle(QString::fromLatin1(editor_text::kHistoryTitle));
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({QStringLiteral("No."), QStringLiteral("Time"), QStringLiteral("Kind"),
                          QStringLiteral("Lines"), QStringLiteral("Change")});
  undo_ = new QPushButton(QStringLiteral("&Undo"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  connect(undo_, &QPushButton::clicked, this, [this] {
    if (const QTreeWidgetItem* item = list_->currentItem()) {
      undoEntry_(item->data(0, Qt::UserRole).toULongLong());
      Reload();
    }
  });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { undo_->setEnabled(item); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(undo_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  resize(720, 360);
  Reload();
}

void HistoryDialog::Reload() {
  const QTreeWidgetItem* current = list_->currentItem();
  const qulonglong picked = current ? current->data(0, Qt::UserRole).toULongLong() : 0;
  list_->clear();
  QTreeWidgetItem* keep = nullptr;
  for (const HistoryEntry& e : entries_()) {
    auto* item = new QTreeWidgetItem(list_, {QString::number(e.id), FromBytes(HistoryTime(e.time)),
                                             QString::fromLatin1(ChangeKindName(e.kind)), FromBytes(HistoryLines(e)),
                                             FromBytes(HistoryPreview(e))});
    item->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(e.id));
    if (e.id == picked) keep = item;
  }
  list_->setCurrentItem(keep ? keep : list_->topLevelItem(0));
  undo_->setEnabled(list_->currentItem() != nullptr);
  for (int c = 0; c < 4; ++c) list_->resizeColumnToContents(c);
}

}  // namespace lettermoor::ui

#include "ui/references_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/dialog_frame.h"

namespace lettermoor::ui {

ReferencesWindow::ReferencesWindow(std::function<void(int)> onSelect, std::function<void()> onClosed,
                                   std::function<void()> onActivated, QWidget* parent)
    : QWidget(parent, Qt::Window),
      onSelect_(std::move(onSelect)),
      onClosed_(std::move(onClosed)),
      onActivated_(std::move(onActivated)) {
  setWindowTitle(QString::fromLatin1(references_text::kTitle));
  auto* layout = new QVBoxLayout(this);
  heading_ = new QLabel(this);
  rows_ = new QTreeWidget(this);
  rows_->setColumnCount(3);
  rows_->setHeaderLabels({QStringLiteral("Kind"), QStringLiteral("Where"), QStringLiteral("Line")});
  rows_->setRootIsDecorated(false);
  rows_->setUniformRowHeights(true);
  rows_->header()->setStretchLastSection(false);
  // A jump code's name and a line number are never cut; "where" takes the rest.
  rows_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  rows_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  rows_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  note_ = new QLabel(this);
  note_->setWordWrap(true);
  layout->addWidget(heading_);
  freeSpace_ = new QLabel(this);
  layout->addWidget(rows_, 1);
  layout->addWidget(note_);
  layout->addWidget(freeSpace_);
  resize(520, 300);
  CloseOnEscape(*this);
  // A double-click, or Enter on the current row.
  connect(rows_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) {
    const int line = item->data(2, Qt::UserRole).toInt();
    if (line > 0 && onSelect_) onSelect_(line - 1);
  });
}

void ReferencesWindow::ShowPage(const ReferencesPage& page) {
  heading_->setText(FromBytes(page.heading));
  rows_->clear();
  for (const ReferenceRow& row : page.rows) {
    auto* item = new QTreeWidgetItem(rows_);
    item->setText(0, FromBytes(row.kind));
    item->setText(1, FromBytes(row.where));
    item->setText(2, row.line > 0 ? QString::number(row.line) : QString());
    item->setData(2, Qt::UserRole, row.line);
  }
  note_->setText(FromBytes(page.note));
  freeSpace_->setText(FromBytes(page.freeSpace));
}

void ReferencesWindow::closeEvent(QCloseEvent* event) {
  if (onClosed_) onClosed_();
  QWidget::closeEvent(event);
}

void ReferencesWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool ReferencesWindow::event(QEvent* event) {
  // Escape is this window's own: the main window's shortcut would otherwise take it and end the program.
  if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    event->accept();
    return true;
  }
  // Another program may have changed the file while the window was in the background.
  if (event->type() == QEvent::WindowActivate && onActivated_) onActivated_();
  return QWidget::event(event);
}

}  // namespace lettermoor::ui

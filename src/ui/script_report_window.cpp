#include "ui/script_report_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_frame.h"

namespace lettermoor::ui {

ScriptReportWindow::ScriptReportWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // Addresses and byte counts line up in a fixed-width font.
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  copy_ = new QPushButton(QStringLiteral("&Copy"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  connect(copy_, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text_->toPlainText()); });
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(copy_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  resize(640, 360);
  CloseOnEscape(*this);
}

void ScriptReportWindow::ShowReport(const QString& title, const QString& text) {
  setWindowTitle(title);
  text_->setPlainText(text);
  show();
  raise();
  activateWindow();
}

}  // namespace lettermoor::ui

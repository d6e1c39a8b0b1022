#include "ui/help_window.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/dialog_frame.h"

// The resources live in a static library: make sure the linker keeps them.
static void InitialiseHelpResources() { Q_INIT_RESOURCE(lettermoor); }

namespace lettermoor::ui {

const char* const HelpWindow::kGuideUrl = "qrc:/help/help.html";

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  InitialiseHelpResources();
  setWindowTitle(QStringLiteral("Lettermoor Help"));
  resize(640, 560);
  CloseOnEscape(*this);

  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(true);
  browser_->setSource(QUrl(QString::fromLatin1(kGuideUrl)));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
}

}  // namespace lettermoor::ui

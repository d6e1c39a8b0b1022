// lettermoor [ROM]: the desktop editor.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QListView>
#include <QTimer>
#include <QStringList>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "editor/editor_window.h"
#include "ui/main_window.h"
#include "ui/pixel_art.h"
#include "ui/settings_store.h"

namespace {

// LETTERMOOR_EXIT_WHEN_PAINTED=1 ends the program once the list has been painted with the
// ROM's rows: scripts/bench times the start-up with it.
class ExitWhenListPainted : public QObject {
 public:
  explicit ExitWhenListPainted(const QAbstractItemModel* rows) : rows_(rows) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && rows_->rowCount() > 0) {
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  const QAbstractItemModel* rows_;
};

void Describe(QCommandLineParser& parser) {
  QCoreApplication::setApplicationName(QStringLiteral("lettermoor"));
  QCoreApplication::setApplicationVersion(QStringLiteral(LETTERMOOR_VERSION));
  parser.setApplicationDescription(QStringLiteral("Edits the script text of an EarthBound ROM image."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("ROM"),
                               QStringLiteral("The ROM file to open at start (.smc, .sfc, .fig)."),
                               QStringLiteral("[ROM]"));
}

// --help and --version only print: they must work without a display (a terminal over ssh, the
// man page written at install time), so they are answered before any window system is touched.
bool OnlyPrints(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    for (const char* word : {"-h", "--help", "-?", "-v", "--version", "--help-all"}) {
      if (std::strcmp(argv[i], word) == 0) return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Started for embedding or automation: there is nothing to show.
  if (lettermoor::HasEmbeddingSwitch(std::vector<std::string>(argv + 1, argv + argc))) return 0;

  if (OnlyPrints(argc, argv)) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    Describe(parser);
    parser.process(app);  // prints and exits
    return 0;
  }

  // A file size limit is an error a write reports (and rolls back), not the end of the program.
  std::signal(SIGXFSZ, SIG_IGN);

  QApplication app(argc, argv);
  QCommandLineParser parser;
  Describe(parser);
  parser.process(app);
  QApplication::setApplicationName(QStringLiteral("Lettermoor"));
  QApplication::setDesktopFileName(QStringLiteral("lettermoor"));
  QApplication::setWindowIcon(lettermoor::ui::AppIcon());

  lettermoor::ui::SettingsStore settings;
  lettermoor::ui::MainWindow window;
  window.UseSettings(&settings);
  lettermoor::EditorWindow logic(window);
  window.Attach(logic);
  logic.Initialise();
  window.RestoreOptions();
  ExitWhenListPainted exitWhenPainted(window.List()->model());
  if (qEnvironmentVariableIntValue("LETTERMOOR_EXIT_WHEN_PAINTED") == 1) {
    window.List()->viewport()->installEventFilter(&exitWhenPainted);
  }
  window.show();

  const QStringList roms = parser.positionalArguments();
  if (!roms.isEmpty()) window.OpenRomFromCommandLine(roms.first());

  return QApplication::exec();
}

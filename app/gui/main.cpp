// lettermoor [ROM]: the desktop editor.
#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>

#include <string>
#include <vector>

#include "editor/editor_window.h"
#include "ui/main_window.h"
#include "ui/pixel_art.h"

int main(int argc, char** argv) {
  // Started for embedding or automation: there is nothing to show.
  if (lettermoor::HasEmbeddingSwitch(std::vector<std::string>(argv + 1, argv + argc))) return 0;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lettermoor"));
  QApplication::setApplicationVersion(QStringLiteral("3.7"));
  QApplication::setDesktopFileName(QStringLiteral("lettermoor"));
  QApplication::setWindowIcon(lettermoor::ui::AppIcon());

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Edits the script text of an EarthBound ROM image."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("ROM"),
                               QStringLiteral("The ROM file to open at start (.smc, .sfc, .fig)."),
                               QStringLiteral("[ROM]"));
  parser.process(app);

  lettermoor::ui::MainWindow window;
  lettermoor::EditorWindow logic(window);
  window.Attach(logic);
  logic.Initialise();
  window.show();

  const QStringList roms = parser.positionalArguments();
  if (!roms.isEmpty()) window.OpenRomFromCommandLine(roms.first());

  return QApplication::exec();
}

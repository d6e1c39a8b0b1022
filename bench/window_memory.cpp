// Opens a ROM in the real main window (offscreen), switches to a listing, lets the window paint,
// and prints the process's peak resident memory. scripts/bench runs it under /usr/bin/time too.
//
// Usage: lettermoor_window_memory ROM pointer|raw|expanded
#include <QApplication>
#include <QListView>
#include <QAbstractItemModel>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "editor/editor_window.h"
#include "quiet_main_window.h"

namespace {

long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  using lettermoor::ListingMode;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ROM pointer|raw|expanded\n", argv[0]);
    return 2;
  }
  const std::string rom = argv[1];
  const std::string modeName = argv[2];
  ListingMode mode = ListingMode::PointerTableListing;
  if (modeName == "raw") mode = ListingMode::RawTextListing;
  if (modeName == "expanded") mode = ListingMode::ExpandedRomListing;

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  lettermoor::bench::QuietMainWindow window;
  lettermoor::EditorWindow logic(window);
  window.Attach(logic);
  logic.Initialise();
  window.show();
  logic.OpenRomPath(rom);
  if (mode != ListingMode::PointerTableListing) logic.SetListingMode(mode);
  QApplication::processEvents();
  if (!logic.IsRomOpen()) {
    std::fprintf(stderr, "%s: cannot open %s\n", argv[0], rom.c_str());
    return 1;
  }
  std::printf("%s listing of %s: %d rows, peak resident memory %ld kB\n", modeName.c_str(),
              rom.c_str(), window.List()->model()->rowCount(), PeakResidentKb());
  return 0;
}

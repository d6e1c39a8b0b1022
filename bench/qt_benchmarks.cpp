#include <benchmark/benchmark.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QListView>

#include <string>

#include "editor/editor_window.h"
#include "editor_benchmarks.h"
#include "paired_baseline.h"
#include "quiet_main_window.h"

namespace lettermoor::bench {

namespace {

// The Open command from no ROM open (pointer table listing) or the listing command on an open
// ROM, each followed by the window laying out and painting the new rows. Closing, and the way
// back to the pointer table listing, are not timed.
void QtFill(benchmark::State& state, std::string path, ListingMode mode) {
  QuietMainWindow window;
  EditorWindow logic(window);
  window.Attach(logic);
  logic.Initialise();
  window.show();
  logic.OpenRomPath(path);
  QApplication::processEvents();
  for (auto _ : state) {
    if (mode == ListingMode::PointerTableListing) {
      state.PauseTiming();
      logic.CloseRom();
      QApplication::processEvents();
      state.ResumeTiming();
      logic.OpenRomPath(path);
    } else {
      state.PauseTiming();
      logic.SetListingMode(ListingMode::PointerTableListing);
      QApplication::processEvents();
      state.ResumeTiming();
      logic.SetListingMode(mode);
    }
    QApplication::processEvents();
  }
  if (window.List()->model()->rowCount() != logic.Table().count()) {
    state.SkipWithError("the list does not show every entry");
  }
}

}  // namespace

void RegisterQtBenchmarks(const BenchInputs& inputs) {
  const std::pair<const char*, std::string> roms[] = {{"sample", inputs.sample}, {"worst", inputs.worst}};
  const std::pair<const char*, ListingMode> modes[] = {{"pointer", ListingMode::PointerTableListing},
                                                       {"raw", ListingMode::RawTextListing},
                                                       {"expanded", ListingMode::ExpandedRomListing}};
  for (const auto& [romName, path] : roms) {
    for (const auto& [modeName, mode] : modes) {
      const std::string name = std::string(mode == ListingMode::PointerTableListing ? "qt_open_fill_" : "qt_fill_") +
                               modeName + "_" + romName;
      RegisterRow(name.c_str(), QtFill, path, mode)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
}

}  // namespace lettermoor::bench

#include "editor_benchmarks.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/text_preview.h"
#include "codec/text_encoder.h"
#include "codec/text_layout.h"
#include "codec/text_spans.h"
#include "codec/text_window_picture.h"
#include "editor/editor_window.h"
#include "entries/layout_check.h"
#include "entries/reference_index.h"
#include "paired_baseline.h"
#include "sample/sample_font.h"
#include "quiet_editor_view.h"
#include "stdio_reference.h"

namespace lettermoor::bench {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "lettermoor_bench: %s\n", what.c_str());
  std::exit(1);
}

const char* ModeName(ListingMode mode) {
  switch (mode) {
    case ListingMode::RawTextListing: return "raw";
    case ListingMode::ExpandedRomListing: return "expanded";
    case ListingMode::PointerTableListing: break;
  }
  return "pointer";
}

// The sample's example character table loaded, as a translator works: the rows "_table".
void UseTable(EditorWindow& window, bool table) {
  if (!table) return;
  TableLoad fault;
  window.Doc().SetCharacterTable(CharacterTable::Parse(kSampleCharacterTable, "sample.tbl", fault));
  if (!window.Doc().Characters()) Fail("the sample's table is refused");
}

// The window opened on `path` in `mode`, as a user gets it: open, then pick the listing.
void OpenIn(EditorWindow& window, const std::string& path, ListingMode mode) {
  window.OpenRomPath(path);
  if (mode != ListingMode::PointerTableListing) window.SetListingMode(mode);
}

void Baseline(benchmark::State& state, std::string path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) Fail("cannot open " + path);
  std::setvbuf(file, nullptr, _IONBF, 0);
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::vector<unsigned char> buffer(static_cast<size_t>(size));
  // Once untimed, so that the file is in the page cache and the buffer's pages are mapped.
  std::fseek(file, 0, SEEK_SET);
  if (std::fread(buffer.data(), 1, buffer.size(), file) != buffer.size()) Fail("short read of " + path);
  size_t got = 0;
  for (auto _ : state) {
    std::fseek(file, 0, SEEK_SET);
    got = std::fread(buffer.data(), 1, buffer.size(), file);
    benchmark::DoNotOptimize(got);
    benchmark::ClobberMemory();
  }
  std::fclose(file);
  if (got != buffer.size()) state.SkipWithError("short read");
}

void StdioReference(benchmark::State& state, std::string path) {
  for (auto _ : state) {
    std::vector<std::string> rows = StdioReferenceExpandedFill(path);
    benchmark::DoNotOptimize(rows.data());
  }
}

// The Open command from the state the program starts in (no ROM open): open the file,
// recognise it, fill the pointer table listing, show row 0. Closing again is not timed.
void OpenFillPointer(benchmark::State& state, std::string path) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  for (auto _ : state) {
    state.PauseTiming();
    window.CloseRom();
    state.ResumeTiming();
    window.OpenRomPath(path);
    benchmark::DoNotOptimize(view.rows);
  }
}

// The listing command on an open ROM: reload the dictionary, build the table, make every row's
// preview, show row 0. The way back to the pointer table listing is not timed.
void FillListing(benchmark::State& state, std::string path, ListingMode mode, bool table) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path);
  UseTable(window, table);
  for (auto _ : state) {
    state.PauseTiming();
    window.SetListingMode(ListingMode::PointerTableListing);
    state.ResumeTiming();
    window.SetListingMode(mode);
    benchmark::DoNotOptimize(view.rows);
  }
}

// The pointer listing's fill with an original set: every row compared with its original for the
// marks and the progress line. Against the sample's own original every row is untranslated (the
// bytes agree); against the worst case the rows whose text it changed differ and are compared as text.
void FillPointerWithOriginal(benchmark::State& state, std::string path, std::string original) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path);
  if (!window.Doc().SetOriginal(original).Accepted()) Fail("the original is refused: " + original);
  for (auto _ : state) {
    state.PauseTiming();
    window.SetListingMode(ListingMode::RawTextListing);
    state.ResumeTiming();
    window.SetListingMode(ListingMode::PointerTableListing);
    benchmark::DoNotOptimize(view.rows);
  }
}

void FindMissing(benchmark::State& state, std::string path, ListingMode mode, bool table) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  OpenIn(window, path, mode);
  UseTable(window, table);
  for (auto _ : state) {
    view.mark = -1;
    benchmark::DoNotOptimize(window.FindNext(kMissingQuery, view.mark));
  }
}

// Tools > Dump to text file, whole: the file is opened by its usual name in the working
// directory (the inputs' directory), written and closed. With `toDevNull` that name leads to
// /dev/null, so that only our own work is timed; without it the file system's work of
// truncating and rewriting a real file is timed too.
void Dump(benchmark::State& state, std::string path, ListingMode mode, bool toDevNull) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  OpenIn(window, path, mode);
  const char* name = DumpFileName(mode);
  std::error_code ignored;
  std::filesystem::remove(name, ignored);
  if (toDevNull) std::filesystem::create_symlink("/dev/null", name);
  for (auto _ : state) window.DumpToTextFile();
  std::filesystem::remove(name, ignored);
  if (view.lastMessage.rfind("Text has been dumped", 0) != 0) state.SkipWithError(view.lastMessage.c_str());
}

// A balanced 4000-character text of letters and bracket groups, as a long edit might hold.
std::string LongEditText() {
  std::string text;
  while (text.size() < 3960) text += "The wind turned cold[03 00 1F 00 01]";
  while (text.size() < 4000) text += 'x';
  return text;
}

void Keystroke(benchmark::State& state, std::string path, bool table) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path);
  UseTable(window, table);
  view.editText = LongEditText();
  for (auto _ : state) window.OnEditChanged(view.editText);
}

// What the edit box's highlighting works out on each keystroke: which stretch of the text is a
// group, which code and which fault.
void HighlightText(benchmark::State& state) {
  const std::string text = LongEditText();
  std::vector<TextSpan> spans;
  for (auto _ : state) {
    FindTextSpans(text, spans);
    benchmark::DoNotOptimize(spans.data());
  }
  if (spans.size() < 400) state.SkipWithError("the text should hold many codes");
}

// The status bar's line after a keystroke: the text laid out as the preview lays it out, to tell
// whether it fits.
void FitStatus(benchmark::State& state, std::string path) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path);
  window.OnEditChanged(LongEditText());
  for (auto _ : state) window.UpdateTextStatus();
}

// What the preview does on each keystroke: the 4000-character text encoded and laid out, with
// the ROM's own widths (read once, when the entry was shown).
void LayoutText(benchmark::State& state, std::string path) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path);
  const TextPreviewer previewer(*window.Rom().handle);
  const std::string text = LongEditText();
  TextPreview result;
  for (auto _ : state) {
    previewer.LayText(window.Decoder().Dictionary(), text, TextWindowKind::Dialogue, result);
    benchmark::DoNotOptimize(result.layout.lines.data());
  }
  if (result.layout.frames.size() < 50) state.SkipWithError("the text should lay out into many frames");
}

// lettermoor-cli check over the pointer table listing: open the ROM (the list fill included),
// read the fonts, lay out every listed string and look for faults.
void CheckListing(benchmark::State& state, std::string path) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  size_t faults = 0;
  for (auto _ : state) {
    state.PauseTiming();
    window.CloseRom();
    state.ResumeTiming();
    window.OpenRomPath(path);
    const RomFile& rom = *window.Rom().handle;
    const TextPreviewer previewer(rom);
    const TextLayout layout(window.Decoder().Dictionary(), previewer.Widths());
    faults = CheckLayouts(rom, window.Table(), layout, TextWindowKind::Dialogue, false).size();
    benchmark::DoNotOptimize(faults);
  }
}

void ApplyShared(benchmark::State& state, std::string path, int row, std::string text, bool keepHistory) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path);
  if (window.Rom().handle) window.Rom().handle->KeepHistory(keepHistory);
  // The copy of the ROM kept before the first write is made once per opening, not per apply.
  window.EnsureBackup();
  const int messagesBefore = view.messages;
  for (auto _ : state) {
    window.ApplyChanges(row, text);
  }
  if (view.messages != messagesBefore) state.SkipWithError(("apply refused: " + view.lastMessage).c_str());
}

// Who points where, over the whole ROM: the records, the plain pointers and every jump code in
// every listed string.
void BuildReferences(benchmark::State& state, std::string path) {
  std::unique_ptr<RomFile> rom = RomFile::Open(path);
  if (!rom) Fail("cannot open " + path);
  size_t count = 0;
  for (auto _ : state) {
    const ReferenceIndex index = ReferenceIndex::Build(*rom);
    count = index.All().size();
    benchmark::DoNotOptimize(count);
  }
  if (count == 0) state.SkipWithError("no reference found");
}

// What each benchmark claims about its input, checked once before anything is timed.
void CheckInputs(const BenchInputs& inputs) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();

  OpenIn(window, inputs.sample, ListingMode::ExpandedRomListing);
  if (view.rows.size() != 4095) Fail("the sample's expanded listing should have 4095 rows");
  if (StdioReferenceExpandedFill(inputs.sample) != view.rows.ToStrings()) {
    Fail("the stdio reference does not list the sample's expansion area as the editor does");
  }
  view.messages = 0;
  OpenIn(window, inputs.worst, ListingMode::RawTextListing);
  if (view.rows.size() != 8000 || !window.Table().truncated) {
    Fail("the worst case's raw listing should stop at the 8000-entry cap");
  }
  for (const std::string& path : {inputs.sample, inputs.worst}) {
    for (ListingMode mode : {ListingMode::PointerTableListing, ListingMode::RawTextListing,
                             ListingMode::ExpandedRomListing}) {
      OpenIn(window, path, mode);
      view.mark = -1;
      view.lastMessage.clear();
      if (window.FindNext(kMissingQuery, view.mark) || view.lastMessage != editor_text::kNotFound) {
        Fail(std::string("the query is found in a ") + ModeName(mode) + " listing");
      }
    }
  }
}

}  // namespace

void RegisterEditorBenchmarks(const BenchInputs& inputs, bool checkInputs) {
  if (checkInputs) CheckInputs(inputs);

  auto timed = [](benchmark::internal::Benchmark* b, benchmark::TimeUnit unit) {
    b->Unit(unit)->UseRealTime();
  };
  timed(RegisterRow("baseline", Baseline, inputs.sample), benchmark::kMillisecond);
  // Seconds per fill: a few single runs are plenty.
  timed(RegisterRow("stdio_reference_expanded_fill", StdioReference, inputs.sample)
            ->Iterations(1)
            ->Repetitions(3),
        benchmark::kMillisecond);

  const std::pair<const char*, std::string> roms[] = {{"sample", inputs.sample}, {"worst", inputs.worst}};
  const ListingMode modes[] = {ListingMode::PointerTableListing, ListingMode::RawTextListing,
                               ListingMode::ExpandedRomListing};
  for (const auto& [romName, path] : roms) {
    timed(RegisterRow((std::string("open_fill_pointer_") + romName).c_str(),
                                       OpenFillPointer, path),
          benchmark::kMillisecond);
    for (ListingMode mode : {ListingMode::RawTextListing, ListingMode::ExpandedRomListing}) {
      const std::string name = std::string("fill_") + ModeName(mode) + "_" + romName;
      timed(RegisterRow(name.c_str(), FillListing, path, mode, false), benchmark::kMillisecond);
    }
  }
  for (ListingMode mode : {ListingMode::RawTextListing, ListingMode::ExpandedRomListing}) {
    const std::string name = std::string("fill_") + ModeName(mode) + "_sample_table";
    timed(RegisterRow(name.c_str(), FillListing, inputs.sample, mode, true), benchmark::kMillisecond);
  }
  timed(RegisterRow("fill_pointer_original_untranslated", FillPointerWithOriginal, inputs.sample, inputs.original),
        benchmark::kMillisecond);
  timed(RegisterRow("fill_pointer_original_translated", FillPointerWithOriginal, inputs.sample, inputs.worst),
        benchmark::kMillisecond);
  for (const auto& [romName, path] : roms) {
    for (ListingMode mode : modes) {
      const std::string suffix = std::string(ModeName(mode)) + "_" + romName;
      timed(RegisterRow(("find_" + suffix).c_str(), FindMissing, path, mode, false),
            benchmark::kMillisecond);
    }
  }
  for (ListingMode mode : modes) {
    const std::string name = std::string("find_") + ModeName(mode) + "_sample_table";
    timed(RegisterRow(name.c_str(), FindMissing, inputs.sample, mode, true), benchmark::kMillisecond);
  }
  for (const auto& [romName, path] : roms) {
    for (ListingMode mode : modes) {
      const std::string suffix = std::string(ModeName(mode)) + "_" + romName;
      timed(RegisterRow(("dump_" + suffix).c_str(), Dump, path, mode, true),
            benchmark::kMillisecond);
    }
  }
  timed(RegisterRow("dump_expanded_sample_to_file", Dump, inputs.sample,
                                     ListingMode::ExpandedRomListing, false),
        benchmark::kMillisecond);
  timed(RegisterRow("reference_index_sample", BuildReferences, inputs.sample),
        benchmark::kMillisecond);
  timed(RegisterRow("measure_text_4000", Keystroke, inputs.sample, false),
        benchmark::kMicrosecond);
  timed(RegisterRow("measure_text_4000_table", Keystroke, inputs.sample, true), benchmark::kMicrosecond);
  timed(RegisterRow("layout_text_4000", LayoutText, inputs.sample), benchmark::kMicrosecond);
  timed(RegisterRow("highlight_text_4000", HighlightText), benchmark::kMicrosecond);
  timed(RegisterRow("fit_status_4000", FitStatus, inputs.sample), benchmark::kMicrosecond);
  timed(RegisterRow("check_pointer_sample", CheckListing, inputs.sample), benchmark::kMillisecond);

  // Record 0 of the worst case shares its text with the next records: one apply renews them all.
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(inputs.applyTarget);
  int32_t size = 0;
  const std::string text = window.DecodeEntry(0, &size);
  if (MeasureText(text) != size) Fail("the shared text does not encode back to its own size");
  int sharing = 0;
  for (const TextEntry& e : window.Table().entries) sharing += e.textAddress == window.Table().entries[0].textAddress;
  if (sharing < kSharedRecordCount) Fail("the apply benchmark's text is not shared by several rows");
  timed(RegisterRow("apply_shared_text", ApplyShared, inputs.applyTarget, 0, text, true),
        benchmark::kMillisecond);
  // The same without the history of changes: what keeping it costs (one more sync per apply).
  timed(RegisterRow("apply_shared_text_no_history", ApplyShared, inputs.applyTarget, 0, text, false),
        benchmark::kMillisecond);
}

}  // namespace lettermoor::bench

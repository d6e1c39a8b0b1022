// Dictionary compression: the live compressed size on every keystroke, and compressing every
// string of the pointer listing. Before anything is timed, every line of the sample's pointer
// listing is applied back unchanged with compression on (to a copy), and each must be accepted
// and read back as the same text.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "codec/text_compressor.h"
#include "codec/text_encoder.h"
#include "editor/editor_window.h"
#include "rom/snes_address.h"
#include "editor_benchmarks.h"
#include "paired_baseline.h"
#include "quiet_editor_view.h"

namespace lettermoor::bench {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "lettermoor_bench: %s\n", what.c_str());
  std::exit(1);
}

// 4000 characters of the sample's own script, as a long edit of real text would hold: the
// pointer listing's texts one after another, whole strings only, then letters up to the limit.
std::string LongScriptText(EditorWindow& window) {
  std::string text;
  for (int row = 0; row < window.Table().count(); ++row) {
    const std::string next = window.DecodeEntry(row);
    if (text.size() + next.size() > static_cast<size_t>(kEditTextLimit)) break;
    text += next;
  }
  text.resize(static_cast<size_t>(kEditTextLimit), 'x');
  return text;
}

void MeasureCompressed(benchmark::State& state, std::string path) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path);
  window.SetCompressWithDictionary(true);
  view.editText = LongScriptText(window);
  if (window.MeasureEdit(view.editText) < 0) state.SkipWithError("the text's brackets do not balance");
  for (auto _ : state) window.OnEditChanged(view.editText);
}

// Every string of the pointer listing decoded and compressed, the compressor made anew from the
// dictionary. The strings are decoded from one look at the file, as the listing is filled, not
// each after a look of its own as a single row is shown. The counters give the listing's bytes
// as they stand, written plainly and compressed (counted once, untimed).
void CompressPointerListing(benchmark::State& state, std::string path) {
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(path);
  const RomFile* rom = window.Rom().handle.get();
  if (!rom) Fail("cannot open " + path);
  const int rows = window.Table().count();
  auto offset = [&](int row) {
    return SnesToFileOffset(window.Table().entries[static_cast<size_t>(row)].textAddress);
  };
  TextCompressor::Scratch scratch;
  std::string text;
  for (auto _ : state) {
    const TextCompressor compressor(window.Decoder().Dictionary());
    int64_t compressed = 0;
    for (int row = 0; row < rows; ++row) {
      window.Decoder().Decode(*rom, offset(row), &text, DecodeFlags{true, false});
      compressed += compressor.Measure(text, scratch);
    }
    benchmark::DoNotOptimize(compressed);
  }
  const TextCompressor compressor(window.Decoder().Dictionary());
  int64_t present = 0, plain = 0, compressed = 0;
  for (int row = 0; row < rows; ++row) {
    present += window.Decoder().Decode(*rom, offset(row), &text, DecodeFlags{true, false});
    plain += MeasureText(text);
    compressed += compressor.Measure(text, scratch);
  }
  state.counters["present_bytes"] = static_cast<double>(present);
  state.counters["plain_bytes"] = static_cast<double>(plain);
  state.counters["compressed_bytes"] = static_cast<double>(compressed);
}

// The sweep: every unchanged line of the pointer listing goes back with compression on.
void CheckCompressedApplies(const BenchInputs& inputs) {
  const std::string copy = inputs.dir + "/compress-sweep.smc";
  std::filesystem::copy_file(inputs.sample, copy, std::filesystem::copy_options::overwrite_existing);
  QuietEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(copy);
  window.SetCompressWithDictionary(true);
  for (int row = 0; row < window.Table().count(); ++row) {
    const std::string text = window.DecodeEntry(row);
    if (window.ApplyChanges(row, text) != ApplyResult::Written) {
      Fail("line " + std::to_string(row + 1) + " was refused: " + view.lastMessage);
    }
    if (window.DecodeEntry(row) != text) Fail("line " + std::to_string(row + 1) + " reads back otherwise");
  }
  std::filesystem::remove(copy);
}

}  // namespace

void RegisterCompressionBenchmarks(const BenchInputs& inputs, bool checkInputs) {
  if (checkInputs) CheckCompressedApplies(inputs);
  RegisterRow("measure_compressed_4000", MeasureCompressed, inputs.sample)
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
  RegisterRow("compress_pointer_listing", CompressPointerListing, inputs.sample)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

}  // namespace lettermoor::bench

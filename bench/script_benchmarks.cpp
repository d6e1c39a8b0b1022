// The script file: exporting the expanded sample's pointer listing, importing that export unchanged
// (read, compare, write nothing), and importing it fully rewritten (every text a few words longer)
// into a copy; that whole translation made into a BPS patch and applied. Before anything is timed, the unchanged import must leave the ROM byte-identical
// and the rewritten one must write or move every block.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <iterator>
#include <string>

#include "editor/editor_window.h"
#include "editor_benchmarks.h"
#include "paired_baseline.h"
#include "quiet_editor_view.h"
#include "rom/patch.h"
#include "rom/safe_file.h"
#include "script/po_file.h"
#include "script/script_file.h"
#include "script/script_import.h"

namespace lettermoor::bench {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "lettermoor_bench: %s\n", what.c_str());
  std::exit(1);
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The window's logic over a ROM, as lettermoor-cli export and import use it.
struct Opened {
  explicit Opened(const std::string& path) {
    window.Initialise();
    window.OpenRomPath(path);
    if (!window.IsRomOpen()) Fail("cannot open " + path);
  }
  QuietEditorView view;
  EditorWindow window{view};
};

// The export as the window runs it, with the reference index the window holds (kept in step with
// the file); with `freshIndex`, as lettermoor-cli runs it, building the index first.
std::string Export(Opened& o, bool freshIndex = false) {
  EditorWindow& w = o.window;
  std::optional<ReferenceIndex> fresh;
  if (freshIndex) fresh = ReferenceIndex::Build(*w.Rom().handle);
  return *ExportScript(*w.Rom().handle, w.Table(), w.Listing(), w.Decoder().Dictionary(), w.State(),
                       fresh ? &*fresh : &w.References(), w.Rom().fileName);
}

// Every text a few words longer, before its last code.
std::string Rewritten(const std::string& script) {
  std::string out;
  size_t at = 0;
  while (at < script.size()) {
    size_t end = script.find('\n', at);
    if (end == std::string::npos) end = script.size();
    std::string line = script.substr(at, end - at);
    if (!line.empty() && line[0] != '#' && line[0] != '@') line.insert(line.rfind('['), " and a few words more");
    out += line;
    out += '\n';
    at = end + 1;
  }
  return out;
}

ImportResult Import(Opened& o, const std::string& script, bool copy, const std::string& out = {}) {
  EditorWindow& w = o.window;
  const ParsedScript parsed = ParseScript(script);
  if (parsed.error) Fail("the script does not read back: line " + std::to_string(parsed.error->line));
  ImportOptions options;
  options.compressor = &w.Compressor();
  options.dryRun = copy;
  RomFile& rom = *w.Rom().handle;
  ImportResult result = ImportScript(rom, parsed.blocks, w.Decoder().Dictionary(), w.State(), options);
  if (copy && result.status == ImportStatus::Done &&
      !WriteFileSafely(out, [&](std::FILE* f) { return WriteChangedCopy(rom, result.changes, f); }).ok) {
    Fail("cannot write " + out);
  }
  return result;
}

void ExportPointerListing(benchmark::State& state, std::string path, bool freshIndex) {
  Opened o(path);
  o.window.References();
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string script = Export(o, freshIndex);
    bytes = script.size();
    benchmark::DoNotOptimize(script.data());
  }
  state.counters["script_bytes"] = static_cast<double>(bytes);
}

void ImportUnchanged(benchmark::State& state, std::string path) {
  Opened o(path);
  const std::string script = Export(o);
  for (auto _ : state) {
    const ImportResult r = Import(o, script, false);
    if (!r.changes.empty()) state.SkipWithError("the unchanged import wrote something");
  }
}

void ImportRewrittenIntoCopy(benchmark::State& state, std::string path, std::string out) {
  Opened o(path);
  const std::string script = Rewritten(Export(o));
  int moved = 0;
  for (auto _ : state) moved = Import(o, script, true, out).Count(BlockOutcome::Moved);
  state.counters["moved"] = moved;
  std::filesystem::remove(out);
}

// The rewritten script imported into the ROM itself: journaled, synced, in place. The ROM is put
// back between runs, outside the timing.
void ImportRewrittenInPlace(benchmark::State& state, std::string path, std::string work) {
  std::filesystem::copy_file(path, work, std::filesystem::copy_options::overwrite_existing);
  const std::vector<uint8_t> original = FileBytes(work);
  Opened o(work);
  const std::string script = Rewritten(Export(o));
  int moved = 0;
  for (auto _ : state) {
    moved = Import(o, script, false).Count(BlockOutcome::Moved);
    state.PauseTiming();
    {
      std::FILE* f = std::fopen(work.c_str(), "r+b");  // in place: the open ROM keeps its file
      if (!f || std::fwrite(original.data(), 1, original.size(), f) != original.size()) Fail("cannot put back " + work);
      std::fclose(f);
    }
    state.ResumeTiming();
  }
  state.counters["moved"] = moved;
  std::filesystem::remove(work);
}

// The whole translation (every text rewritten, imported into a copy) as a BPS patch of the
// expanded sample: made from the two files' bytes, and applied to the original. Both are checked
// before anything is timed.
struct TranslationPatch {
  std::vector<uint8_t> original, translated, patch;
};

TranslationPatch MakeTranslationPatch(const std::string& path, const std::string& out) {
  TranslationPatch t;
  {
    Opened o(path);
    const ImportResult r = Import(o, Rewritten(Export(o)), true, out);
    if (!r.AllWritten()) Fail("the translation was not written whole");
  }
  t.original = FileBytes(path);
  t.translated = FileBytes(out);
  std::filesystem::remove(out);
  t.patch = CreateBps(t.original, t.translated);
  if (ApplyPatch(t.original, t.patch).result != t.translated) Fail("the translation patch does not apply");
  return t;
}

void CreateTranslationPatch(benchmark::State& state, std::string path, std::string out) {
  const TranslationPatch t = MakeTranslationPatch(path, out);
  for (auto _ : state) benchmark::DoNotOptimize(CreateBps(t.original, t.translated).data());
  state.counters["patch_bytes"] = static_cast<double>(t.patch.size());
}

void ApplyTranslationPatch(benchmark::State& state, std::string path, std::string out) {
  const TranslationPatch t = MakeTranslationPatch(path, out);
  for (auto _ : state) benchmark::DoNotOptimize(ApplyPatch(t.original, t.patch).result.data());
  state.counters["patch_bytes"] = static_cast<double>(t.patch.size());
}

// The PO file of the pointer listing, against an unmodified copy of the sample as its original.
struct OpenedWithOriginal : Opened {
  OpenedWithOriginal(const std::string& path, const std::string& original) : Opened(path) {
    std::filesystem::copy_file(path, original, std::filesystem::copy_options::overwrite_existing);
    if (!window.Doc().SetOriginal(original).Accepted()) Fail("cannot take " + original + " as the original");
  }
};

void ExportPo(benchmark::State& state, std::string path, std::string original) {
  OpenedWithOriginal o(path, original);
  o.window.References();
  size_t bytes = 0;
  for (auto _ : state) {
    const std::optional<PoExport> po = o.window.Doc().ExportPo();
    bytes = po->text.size();
    benchmark::DoNotOptimize(po->text.data());
  }
  state.counters["po_bytes"] = static_cast<double>(bytes);
  std::filesystem::remove(original);
}

// Read, mapped to the script import's blocks, compared with the ROM: nothing written.
void ImportPoUnchanged(benchmark::State& state, std::string path, std::string original) {
  OpenedWithOriginal o(path, original);
  Document& doc = o.window.Doc();
  const std::string po = doc.ExportPo()->text;
  ImportOptions options;
  options.compressor = &o.window.Compressor();
  for (auto _ : state) {
    const ParsedPo parsed = ParsePo(po);
    if (parsed.error) Fail("the PO file does not read back: line " + std::to_string(parsed.error->line));
    const PoImportPlan plan = PlanPoImport(parsed, false, [&](SnesAddress a) { return doc.OriginalScriptText(a); });
    const ImportResult r = doc.Import(plan.blocks, options);
    if (!r.changes.empty()) state.SkipWithError("the unchanged PO import wrote something");
  }
  std::filesystem::remove(original);
}

void CheckImports(const BenchInputs& inputs) {
  const std::string copy = inputs.dir + "/script-check.smc";
  std::filesystem::copy_file(inputs.sample, copy, std::filesystem::copy_options::overwrite_existing);
  const std::vector<uint8_t> before = FileBytes(copy);
  {
    Opened o(copy);
    const std::string script = Export(o);
    const ImportResult same = Import(o, script, false);
    if (same.unchanged != same.blocks || FileBytes(copy) != before) Fail("the unchanged import changed the ROM");
    const ImportResult all = Import(o, Rewritten(script), true, inputs.dir + "/script-out.smc");
    if (!all.AllWritten() || all.unchanged != 0) Fail("the rewritten script was not written whole");
    if (FileBytes(copy) != before) Fail("the import into a copy touched its input");
  }
  std::filesystem::remove(copy);
  std::filesystem::remove(inputs.dir + "/script-out.smc");
}

}  // namespace

void RegisterScriptBenchmarks(const BenchInputs& inputs, bool checkInputs) {
  if (checkInputs) CheckImports(inputs);
  RegisterRow("script_export_pointer_sample", ExportPointerListing, inputs.sample, false)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  RegisterRow("script_export_pointer_sample_cli", ExportPointerListing, inputs.sample, true)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  RegisterRow("script_import_unchanged_sample", ImportUnchanged, inputs.sample)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  RegisterRow("po_export_pointer_sample", ExportPo, inputs.sample, inputs.dir + "/po-export-original.smc")
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  RegisterRow("po_import_unchanged_sample", ImportPoUnchanged, inputs.sample, inputs.dir + "/po-import-original.smc")
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  RegisterRow("script_import_rewritten_copy_sample", ImportRewrittenIntoCopy, inputs.sample,
                               inputs.dir + "/script-rewritten.smc")
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  RegisterRow("script_import_rewritten_in_place_sample", ImportRewrittenInPlace, inputs.sample,
                               inputs.dir + "/script-in-place.smc")
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  RegisterRow("patch_create_translation_sample", CreateTranslationPatch, inputs.sample,
              inputs.dir + "/patch-translated.smc")
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  RegisterRow("patch_apply_translation_sample", ApplyTranslationPatch, inputs.sample,
              inputs.dir + "/patch-translated.smc")
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

}  // namespace lettermoor::bench

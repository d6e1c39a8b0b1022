#pragma once

#include "bench_inputs.h"

namespace lettermoor::bench {

// The baseline, the stdio reference and every logic-side operation, in table order. Checks the
// inputs first (row counts, the reference's rows against ours) and aborts when they are not what
// the benchmarks claim to measure.
void RegisterEditorBenchmarks(const BenchInputs& inputs, bool checkInputs = true);

// The live compressed size and compressing the pointer listing; with `checkInputs`, first applies
// every line of the sample's pointer listing back unchanged, compressed, to a copy.
void RegisterCompressionBenchmarks(const BenchInputs& inputs, bool checkInputs = true);

// Exporting the pointer listing and importing it back, unchanged and rewritten; with `checkInputs`,
// first checks that the unchanged import writes nothing and the rewritten one writes every block.
void RegisterScriptBenchmarks(const BenchInputs& inputs, bool checkInputs = true);

// The list fills through the real Qt main window (offscreen); a QApplication must exist.
void RegisterQtBenchmarks(const BenchInputs& inputs);

// A query that no listing contains, so that every Find walks the whole listing.
inline constexpr const char* kMissingQuery = "zq no listing holds this text qz";

}  // namespace lettermoor::bench

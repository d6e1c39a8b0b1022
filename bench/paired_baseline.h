#pragma once

#include <benchmark/benchmark.h>

#include <string>

namespace lettermoor::bench {

// Each row is timed between two short measurements of the baseline (one fread of the whole
// expanded ROM), so that every repetition of a row has a baseline taken under the same load as
// the row itself; a baseline measured once for the whole run drifts with the machine's load.

// The counters each run carries: the baseline measured beside it, wall-clock and processor time.
inline constexpr const char* kBaselineCounter = "baseline_ns";
inline constexpr const char* kBaselineCpuCounter = "baseline_cpu_ns";

// The file the baseline reads; set once before the benchmarks run.
void SetBaselineFile(const std::string& path);

struct BaselineSample {
  double realNs = 0;
  double cpuNs = 0;
};
// The mean of the baseline's reads over a few milliseconds.
BaselineSample MeasureBaseline();

// Registers `fn(state, args...)` with the baseline measured just before and just after it; the
// mean of the two goes into the run's counters.
template <class Fn, class... Args>
benchmark::internal::Benchmark* RegisterRow(const std::string& name, Fn fn, Args... args) {
  return benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
    const BaselineSample before = MeasureBaseline();
    fn(state, args...);
    const BaselineSample after = MeasureBaseline();
    state.counters[kBaselineCounter] = (before.realNs + after.realNs) / 2;
    state.counters[kBaselineCpuCounter] = (before.cpuNs + after.cpuNs) / 2;
  });
}

}  // namespace lettermoor::bench

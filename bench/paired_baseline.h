#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
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

// Counting instructions in place of timing (under callgrind, `--instructions=yes`): each row runs
// once uncounted (what the process does only once, such as Qt's first window, stays out), then
// counted with one iteration and with 1 + kExtraIterations; only the row's own call is counted
// (every thread of it). The two counts' difference over kExtraIterations is the row's instructions
// per iteration, its setup cancelled out. The counts do not move with the machine's speed, so they
// tell whether runs whose times disagree did the same work.
inline constexpr int kExtraIterations = 2;
void SetCountingInstructions(bool on);
bool CountingInstructions();
// Zeroes the counts and starts instrumenting; `StopCounting` writes them out as a callgrind dump
// labelled "NAME ITERATIONS" and stops. Both do nothing outside callgrind.
void StartCounting();
void StopCounting(const std::string& name, int64_t iterations);

// Registers `fn(state, args...)` with the baseline measured just before and just after it; the
// mean of the two goes into the run's counters. When counting instructions, registers the
// uncounted run and the two counted ones instead, and gives the first.
template <class Fn, class... Args>
benchmark::internal::Benchmark* RegisterRow(const std::string& name, Fn fn, Args... args) {
  if (CountingInstructions()) {
    benchmark::internal::Benchmark* first = nullptr;
    for (int iterations : {0, 1, 1 + kExtraIterations}) {
      const bool counted = iterations > 0;
      benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
        if (counted) StartCounting();
        fn(state, args...);
        if (counted) StopCounting(name, state.iterations());
      });
      b->Iterations(counted ? iterations : 1)->Repetitions(1);
      if (!first) first = b;
    }
    return first;
  }
  return benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
    const BaselineSample before = MeasureBaseline();
    fn(state, args...);
    const BaselineSample after = MeasureBaseline();
    state.counters[kBaselineCounter] = (before.realNs + after.realNs) / 2;
    state.counters[kBaselineCpuCounter] = (before.cpuNs + after.cpuNs) / 2;
  });
}

}  // namespace lettermoor::bench

#include "paired_baseline.h"

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef LETTERMOOR_BENCH_CALLGRIND
#include <valgrind/callgrind.h>
#endif

namespace lettermoor::bench {

namespace {

// The baseline's file, open for the whole run, with its buffer allocated once.
struct BaselineFile {
  std::FILE* file = nullptr;
  std::vector<unsigned char> buffer;
};

BaselineFile& File() {
  static BaselineFile f;
  return f;
}

double ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

bool countingInstructions = false;

bool ReadWhole(BaselineFile& f) {
  std::fseek(f.file, 0, SEEK_SET);
  const size_t got = std::fread(f.buffer.data(), 1, f.buffer.size(), f.file);
  benchmark::DoNotOptimize(got);
  benchmark::ClobberMemory();
  return got == f.buffer.size();
}

}  // namespace

void SetBaselineFile(const std::string& path) {
  BaselineFile& f = File();
  f.file = std::fopen(path.c_str(), "rb");
  if (!f.file) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::setvbuf(f.file, nullptr, _IONBF, 0);
  std::fseek(f.file, 0, SEEK_END);
  f.buffer.resize(static_cast<size_t>(std::ftell(f.file)));
  // Once untimed, so that the file is in the page cache and the buffer's pages are mapped.
  if (!ReadWhole(f)) {
    std::fprintf(stderr, "lettermoor_bench: short read of %s\n", path.c_str());
    std::exit(1);
  }
}

BaselineSample MeasureBaseline() {
  // Long enough for a steady mean (about a hundred reads), short beside the rows.
  constexpr auto kBudget = std::chrono::milliseconds(10);
  constexpr int kMinReads = 8;
  BaselineFile& f = File();
  if (!f.file) return {};
  using Clock = std::chrono::steady_clock;
  const double cpu0 = ThreadCpuNs();
  const Clock::time_point t0 = Clock::now();
  Clock::time_point t1 = t0;
  int reads = 0;
  while (reads < kMinReads || t1 - t0 < kBudget) {
    ReadWhole(f);
    ++reads;
    t1 = Clock::now();
  }
  const double realNs = std::chrono::duration<double, std::nano>(t1 - t0).count();
  return {realNs / reads, (ThreadCpuNs() - cpu0) / reads};
}

void SetCountingInstructions(bool on) { countingInstructions = on; }

bool CountingInstructions() { return countingInstructions; }

#ifdef LETTERMOOR_BENCH_CALLGRIND
void StartCounting() {
  CALLGRIND_START_INSTRUMENTATION;
  CALLGRIND_ZERO_STATS;
}

void StopCounting(const std::string& name, int64_t iterations) {
  const std::string label = name + " " + std::to_string(iterations);
  CALLGRIND_DUMP_STATS_AT(label.c_str());
  CALLGRIND_STOP_INSTRUMENTATION;
}
#else
void StartCounting() {}
void StopCounting(const std::string&, int64_t) {}
#endif

}  // namespace lettermoor::bench

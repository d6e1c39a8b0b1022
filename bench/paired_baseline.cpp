#include "paired_baseline.h"

#include <time.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

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

bool ReadWhole(BaselineFile& f) {
  std::fseek(f.file, 0, SEEK_SET);
  const size_t got = std::fread(f.buffer.data(), 1, f.buffer.size(), f.file);
  benchmark::DoNotOptimize(got);
  benchmark::ClobberMemory();
  return got == f.buffer.size();
}

// The probe's table: 256 KB of random words, which stays in the processor's own cache.
const std::vector<uint32_t>& ProbeTable() {
  static const std::vector<uint32_t> table = [] {
    std::vector<uint32_t> t(1u << 16);
    std::mt19937 random(12345);
    for (uint32_t& v : t) v = random();
    return t;
  }();
  return table;
}

}  // namespace

double MeasureProbe() {
  // Each step's lookup waits on the step before: about a millisecond of the processor's own
  // arithmetic and cache, nothing the rows could leave behind.
  constexpr int kSteps = 200000;
  const std::vector<uint32_t>& table = ProbeTable();
  // Into the cache first: the reads before it left it cold, and by how much varies.
  uint64_t h = 0;
  for (uint32_t v : table) h += v;
  benchmark::DoNotOptimize(h);
  const auto t0 = std::chrono::steady_clock::now();
  h = 1;
  for (int i = 0; i < kSteps; ++i) h = h * 6364136223846793005ull + table[(h >> 40) & 0xffff];
  benchmark::DoNotOptimize(h);
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
}

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
  ProbeTable();  // made now, not inside the first measurement
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
  const double cpuNs = ThreadCpuNs() - cpu0;
  return {realNs / reads, cpuNs / reads, MeasureProbe()};
}

}  // namespace lettermoor::bench

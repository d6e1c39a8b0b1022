#pragma once

#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace lettermoor::bench {

// The 1-, 5- and 15-minute load averages (zeros when they cannot be read).
using LoadAverage = std::array<double, 3>;
LoadAverage CurrentLoadAverage();

// Keeps every repetition of every benchmark with the baseline measured beside it, so that the
// run can end with one table of medians, ratios to the baseline and their spread; meanwhile it
// shows one line of progress per benchmark on stderr.
class SummaryReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context& context) override;
  void ReportRuns(const std::vector<Run>& runs) override;

  // One repetition as measured: the row's time, the baseline's beside it (0: none measured), the
  // probe's beside it (0: none) and the 1-minute load average after it.
  struct Repetition {
    double realNs = 0, cpuNs = 0;
    double baselineNs = 0, baselineCpuNs = 0;
    double probeNs = 0;
    double loadAverage = 0;
  };
  struct Row {
    std::string name;
    std::vector<Repetition> repetitions;  // in the order they ran
  };
  const std::vector<Row>& Rows() const { return rows_; }
  const LoadAverage& StartLoad() const { return startLoad_; }

  // Several processes make one run, so that no one process's luck (where its memory and files
  // landed) sets a row's median: each writes its repetitions to a file, and one reporter reads
  // them all back before the table is printed. The first file read gives the start's load.
  bool WriteRepetitions(const std::string& path) const;
  bool ReadRepetitions(const std::string& path);

 private:
  // Gives the row's index.
  size_t Add(const std::string& name, const Repetition& repetition);

  std::vector<Row> rows_;
  std::vector<std::pair<size_t, size_t>> order_;  // (row, repetition) in the order they ran
  LoadAverage startLoad_{};
  bool startLoadRead_ = false;
};

// Prints the table (median, the ratio's median and spread, target, whether it holds) under the
// load averages at the start and the end of the run, from the repetitions whose probe says the
// processor was not slowed by others (all of a row's when too few of them were), and writes the JSON list
// [{"name", "median_ns", "ratio", ...}, ...] to `jsonPath` when it is not empty. Gives the number
// of targets missed, or -1 when no row carries a baseline to compare with.
int PrintSummary(const SummaryReporter& reporter, const std::string& jsonPath);

}  // namespace lettermoor::bench

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

  // One repetition as measured: the row's time, the baseline's beside it (0: none measured) and
  // the 1-minute load average after it.
  struct Repetition {
    double realNs = 0, cpuNs = 0;
    double baselineNs = 0, baselineCpuNs = 0;
    double loadAverage = 0;
  };
  struct Row {
    std::string name;
    std::vector<double> realNs;      // per repetition, wall-clock time: what the user waits
    std::vector<double> cpuNs;       // per repetition, processor time: steadier on a busy machine
    std::vector<double> ratios;      // per repetition, wall-clock time over the baseline beside it
    std::vector<double> cpuRatios;   // the same in processor time
    std::vector<double> baselineNs;  // per repetition, the baseline beside it
    double loadAverage = 0;          // the 1-minute load average when the row was done
  };
  // The repetitions gathered by row, rows in the order they first ran.
  std::vector<Row> Rows() const;
  const LoadAverage& StartLoad() const { return startLoad_; }

  // Several processes make one run, so that no one process's luck (where its memory and files
  // landed) sets a row's median: each writes its repetitions to a file, and one reporter reads
  // them all back before the table is printed. The first file read gives the start's load.
  bool WriteRepetitions(const std::string& path) const;
  bool ReadRepetitions(const std::string& path);

 private:
  std::vector<std::pair<std::string, Repetition>> repetitions_;  // in the order they ran
  LoadAverage startLoad_{};
  bool startLoadRead_ = false;
};

// Prints the table (median, the ratio's median and spread, target, whether it holds) under the
// load averages at the start and the end of the run, and writes the JSON list
// [{"name", "median_ns", "ratio", ...}, ...] to `jsonPath` when it is not empty. Gives the number
// of targets missed, or -1 when no row carries a baseline to compare with.
int PrintSummary(const SummaryReporter& reporter, const std::string& jsonPath);

}  // namespace lettermoor::bench

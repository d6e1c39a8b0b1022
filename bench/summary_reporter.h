#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace lettermoor::bench {

// Keeps the median of every benchmark so that the run can end with one table of medians and
// ratios to the baseline; meanwhile it shows one line of progress per benchmark on stderr.
class SummaryReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context& context) override;
  void ReportRuns(const std::vector<Run>& runs) override;

  struct Row {
    std::string name;
    double medianNs = 0;     // wall-clock time, what the user waits
    double cpuMedianNs = 0;  // processor time, steadier on a busy machine
  };
  const std::vector<Row>& Rows() const { return rows_; }

 private:
  std::vector<Row> rows_;
};

// Prints the table (median, ratio to "baseline", target, whether it holds) and writes the JSON
// list [{"name", "median_ns", "ratio"}, ...] to `jsonPath` when it is not empty. Gives the number
// of targets missed, or -1 when there is no baseline to compare with.
int PrintSummary(const std::vector<SummaryReporter::Row>& rows, const std::string& jsonPath);

}  // namespace lettermoor::bench

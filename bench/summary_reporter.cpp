#include "summary_reporter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

#include "paired_baseline.h"

namespace lettermoor::bench {

namespace {

// The most each operation may take, as a multiple of the baseline.
const std::map<std::string, double>& RatioLimits() {
  static const std::map<std::string, double> limits = [] {
    std::map<std::string, double> m;
    for (const char* rom : {"sample", "worst"}) {
      const std::string r = rom;
      m["open_fill_pointer_" + r] = 5;
      m["fill_raw_" + r] = 5;
      m["find_pointer_" + r] = 5;
      m["find_raw_" + r] = 5;
      m["fill_expanded_" + r] = 15;
      m["find_expanded_" + r] = 15;
      m["dump_pointer_" + r] = 15;
      m["dump_raw_" + r] = 15;
      m["dump_expanded_" + r] = 15;
    }
    m["qt_fill_raw_worst"] = 15;  // the 8000-row list
    // With the sample's character table loaded, the same targets as without.
    m["fill_raw_sample_table"] = 5;
    m["fill_expanded_sample_table"] = 15;
    m["find_pointer_sample_table"] = 5;
    m["find_raw_sample_table"] = 5;
    m["find_expanded_sample_table"] = 15;
    m["measure_text_4000_table"] = 0.1;
    // The progress count beside a fill adds no visible delay (the every-row-differs case is
    // reported beside it).
    m["fill_pointer_original_untranslated"] = 5;
    m["measure_text_4000"] = 0.1;
    m["layout_text_4000"] = 0.5;      // the preview, on every keystroke
    m["highlight_text_4000"] = 0.5;   // the edit box's colours, on every keystroke
    m["fit_status_4000"] = 0.5;       // the status bar's fit, after a keystroke
    m["check_pointer_sample"] = 15;   // lettermoor-cli check, open included
    m["reference_index_sample"] = 10;
    m["measure_compressed_4000"] = 1;
    m["compress_pointer_listing"] = 15;
    m["script_export_pointer_sample"] = 15;
    m["script_import_unchanged_sample"] = 30;
    // The whole translation's BPS patch (about 30 and 10 baselines when measured): made well
    // within the second a user may wait for it, and applied in about the time of a few reads.
    m["patch_create_translation_sample"] = 150;
    m["patch_apply_translation_sample"] = 30;
    m["po_export_pointer_sample"] = 15;  // the same targets as the script file's
    m["po_import_unchanged_sample"] = 30;
    return m;
  }();
  return limits;
}

constexpr const char* kReference = "stdio_reference_expanded_fill";
constexpr const char* kOursAgainstReference = "fill_expanded_sample";
constexpr double kReferenceSpeedUp = 50;

// The q-quantile of `values` (linear between neighbours); 0 for none.
double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double at = q * static_cast<double>(values.size() - 1);
  const size_t below = static_cast<size_t>(at);
  if (below + 1 >= values.size()) return values.back();
  return values[below] + (values[below + 1] - values[below]) * (at - static_cast<double>(below));
}

double Median(const std::vector<double>& values) { return Quantile(values, 0.5); }

double Min(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double Max(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// How far the repetitions' ratios reach: the largest over the smallest, less one.
double Spread(const std::vector<double>& ratios) {
  const double low = Min(ratios);
  return low > 0 ? Max(ratios) / low - 1 : 0;
}

std::optional<double> MedianRatio(const std::vector<SummaryReporter::Row>& rows, const std::string& name) {
  for (const auto& r : rows) {
    if (r.name == name && !r.ratios.empty()) return Median(r.ratios);
  }
  return std::nullopt;
}

std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

double Counter(const benchmark::BenchmarkReporter::Run& run, const char* name) {
  const auto it = run.counters.find(name);
  return it == run.counters.end() ? 0.0 : it->second.value;
}

bool WriteJson(const std::vector<SummaryReporter::Row>& rows, const std::string& path) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (!out) {
    std::perror(path.c_str());
    return false;
  }
  std::fprintf(out, "[\n");
  for (size_t i = 0; i < rows.size(); ++i) {
    const SummaryReporter::Row& r = rows[i];
    std::fprintf(out,
                 "  {\"name\": \"%s\", \"median_ns\": %.1f, \"ratio\": %.4f, \"ratio_min\": %.4f, "
                 "\"ratio_max\": %.4f, \"ratio_q1\": %.4f, \"ratio_q3\": %.4f, \"cpu_median_ns\": %.1f, "
                 "\"cpu_ratio\": %.4f, \"baseline_ns\": %.1f, \"repetitions\": %zu, \"load_average\": %.2f}%s\n",
                 Escaped(r.name).c_str(), Median(r.realNs), Median(r.ratios), Min(r.ratios), Max(r.ratios),
                 Quantile(r.ratios, 0.25), Quantile(r.ratios, 0.75), Median(r.cpuNs), Median(r.cpuRatios),
                 Median(r.baselineNs), r.realNs.size(), r.loadAverage, i + 1 < rows.size() ? "," : "");
  }
  std::fprintf(out, "]\n");
  return std::fclose(out) == 0;
}

}  // namespace

LoadAverage CurrentLoadAverage() {
  LoadAverage load{};
  if (getloadavg(load.data(), 3) != 3) load = {};
  return load;
}

bool SummaryReporter::ReportContext(const Context& context) {
  startLoad_ = CurrentLoadAverage();
  std::fprintf(stderr, "%d CPUs at %.0f MHz; load average %.2f %.2f %.2f\n", context.cpu_info.num_cpus,
               context.cpu_info.cycles_per_second / 1e6, startLoad_[0], startLoad_[1], startLoad_[2]);
  return true;
}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
  std::vector<std::string> touched;
  for (const Run& run : runs) {
    const std::string& name = run.run_name.function_name;
    if (run.error_occurred) {
      std::fprintf(stderr, "  %-34s FAILED: %s\n", name.c_str(), run.error_message.c_str());
      continue;
    }
    // Every repetition counts; the median aggregate stands in only for repetitions not reported.
    const bool single = run.run_type == Run::RT_Iteration;
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (!single && !median) continue;
    const auto seen = [&](const auto& r) { return r.first == name; };
    if (median && std::any_of(repetitions_.begin(), repetitions_.end(), seen)) continue;
    const double toNs = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    repetitions_.emplace_back(name, Repetition{run.GetAdjustedRealTime() * toNs, run.GetAdjustedCPUTime() * toNs,
                                               Counter(run, kBaselineCounter), Counter(run, kBaselineCpuCounter),
                                               CurrentLoadAverage()[0]});
    if (std::find(touched.begin(), touched.end(), name) == touched.end()) touched.push_back(name);
  }
  for (const Row& r : Rows()) {
    if (std::find(touched.begin(), touched.end(), r.name) == touched.end()) continue;
    std::fprintf(stderr, "  %-34s %10.3f ms  ratio %9.3f (%.3f-%.3f)\n", r.name.c_str(), Median(r.realNs) / 1e6,
                 Median(r.ratios), Min(r.ratios), Max(r.ratios));
  }
}

std::vector<SummaryReporter::Row> SummaryReporter::Rows() const {
  std::vector<Row> rows;
  for (const auto& [name, repetition] : repetitions_) {
    auto row = std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.name == name; });
    if (row == rows.end()) {
      row = rows.insert(rows.end(), Row{});
      row->name = name;
    }
    row->realNs.push_back(repetition.realNs);
    row->cpuNs.push_back(repetition.cpuNs);
    if (repetition.baselineNs > 0) {
      row->baselineNs.push_back(repetition.baselineNs);
      row->ratios.push_back(repetition.realNs / repetition.baselineNs);
    }
    if (repetition.baselineCpuNs > 0) row->cpuRatios.push_back(repetition.cpuNs / repetition.baselineCpuNs);
    row->loadAverage = repetition.loadAverage;
  }
  return rows;
}

// The file: a line "load L1 L5 L15" (the start's), then a line "NAME REAL CPU BASELINE
// BASELINE_CPU LOAD" per repetition, times in nanoseconds. Benchmark names hold no blanks.
bool SummaryReporter::WriteRepetitions(const std::string& path) const {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (!out) {
    std::perror(path.c_str());
    return false;
  }
  std::fprintf(out, "load %.2f %.2f %.2f\n", startLoad_[0], startLoad_[1], startLoad_[2]);
  for (const auto& [name, r] : repetitions_) {
    std::fprintf(out, "%s %.1f %.1f %.1f %.1f %.2f\n", name.c_str(), r.realNs, r.cpuNs, r.baselineNs,
                 r.baselineCpuNs, r.loadAverage);
  }
  return std::fclose(out) == 0;
}

bool SummaryReporter::ReadRepetitions(const std::string& path) {
  std::FILE* in = std::fopen(path.c_str(), "r");
  if (!in) {
    std::perror(path.c_str());
    return false;
  }
  LoadAverage start{};
  bool ok = std::fscanf(in, "load %lf %lf %lf", &start[0], &start[1], &start[2]) == 3;
  if (ok && !startLoadRead_) {
    startLoad_ = start;
    startLoadRead_ = true;
  }
  char name[256];
  Repetition r;
  while (ok && std::fscanf(in, "%255s %lf %lf %lf %lf %lf", name, &r.realNs, &r.cpuNs, &r.baselineNs,
                           &r.baselineCpuNs, &r.loadAverage) == 6) {
    repetitions_.emplace_back(name, r);
  }
  ok = ok && std::feof(in);
  std::fclose(in);
  if (!ok) std::fprintf(stderr, "lettermoor_bench: %s is not a file of repetitions\n", path.c_str());
  return ok;
}

int PrintSummary(const SummaryReporter& reporter, const std::string& jsonPath) {
  // By name: the repetitions arrive shuffled, and tables of different runs are read side by side.
  std::vector<SummaryReporter::Row> rows = reporter.Rows();
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  if (std::none_of(rows.begin(), rows.end(), [](const auto& r) { return !r.ratios.empty(); })) {
    std::fprintf(stderr, "no baseline measured: no ratios\n");
    return -1;
  }
  const LoadAverage& start = reporter.StartLoad();
  const LoadAverage end = CurrentLoadAverage();
  std::printf("\nload average at the start %.2f %.2f %.2f, at the end %.2f %.2f %.2f\n", start[0], start[1],
              start[2], end[0], end[1], end[2]);
  std::printf("ratio: median over the repetitions of the time over the baseline measured beside it; "
              "min, max and spread (max / min - 1) of those ratios\n");
  std::printf("%-34s %12s %9s %9s %9s %7s %9s  %-6s %12s %9s\n", "operation", "median ms", "ratio", "min", "max",
              "spread", "target", "", "cpu ms", "cpu ratio");
  int missed = 0;
  for (const auto& row : rows) {
    const double ratio = Median(row.ratios);
    char target[32] = "";
    const char* verdict = "";
    auto limit = RatioLimits().find(row.name);
    if (limit != RatioLimits().end()) {
      std::snprintf(target, sizeof target, "<= %g", limit->second);
      verdict = ratio <= limit->second ? "ok" : "MISSED";
      missed += ratio > limit->second;
    }
    std::printf("%-34s %12.3f %9.3f %9.3f %9.3f %6.1f%% %9s  %-6s %12.3f %9.3f\n", row.name.c_str(),
                Median(row.realNs) / 1e6, ratio, Min(row.ratios), Max(row.ratios), Spread(row.ratios) * 100,
                target, verdict, Median(row.cpuNs) / 1e6, Median(row.cpuRatios));
  }
  const std::optional<double> reference = MedianRatio(rows, kReference);
  const std::optional<double> ours = MedianRatio(rows, kOursAgainstReference);
  if (reference && ours && *ours > 0) {
    const double speedUp = *reference / *ours;
    const bool ok = speedUp >= kReferenceSpeedUp;
    missed += !ok;
    std::printf("\n%s is %.0f times faster than %s (target >= %g): %s\n", kOursAgainstReference,
                speedUp, kReference, kReferenceSpeedUp, ok ? "ok" : "MISSED");
  }
  if (!jsonPath.empty() && !WriteJson(rows, jsonPath)) return missed + 1;
  return missed;
}

}  // namespace lettermoor::bench

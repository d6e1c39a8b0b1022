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

// A probe this much slower than the run's quick ones says the processor was slowed by others
// (on a quiet processor the probes of a run lie within a few percent; slowed, a tenth or more).
constexpr double kProbeSlack = 1.06;
// Below this share of quiet repetitions a row keeps them all: a median of a few says little.
constexpr double kQuietShareNeeded = 1.0 / 3;

// The longest probe of a quiet processor: a little over the run's quick ones (its 5th
// percentile, so that one odd reading does not set it); 0 when no probe was measured.
double QuietProbeLimit(const std::vector<SummaryReporter::Row>& rows) {
  std::vector<double> probes;
  for (const auto& row : rows) {
    for (const auto& r : row.repetitions) {
      if (r.probeNs > 0) probes.push_back(r.probeNs);
    }
  }
  return probes.empty() ? 0 : Quantile(probes, 0.05) * kProbeSlack;
}

// What the table says of one row, from the repetitions it counts.
struct Figures {
  std::vector<double> realNs, cpuNs, ratios, cpuRatios, baselineNs;
  size_t counted = 0, measured = 0;
};

Figures FiguresOf(const SummaryReporter::Row& row, double probeLimit) {
  auto quiet = [&](const SummaryReporter::Repetition& r) {
    return probeLimit <= 0 || r.probeNs <= 0 || r.probeNs <= probeLimit;
  };
  const size_t quietCount = static_cast<size_t>(std::count_if(row.repetitions.begin(), row.repetitions.end(), quiet));
  const bool enough = static_cast<double>(quietCount) >= kQuietShareNeeded * static_cast<double>(row.repetitions.size());
  Figures f;
  f.measured = row.repetitions.size();
  for (const auto& r : row.repetitions) {
    if (enough && !quiet(r)) continue;
    ++f.counted;
    f.realNs.push_back(r.realNs);
    f.cpuNs.push_back(r.cpuNs);
    if (r.baselineNs > 0) {
      f.baselineNs.push_back(r.baselineNs);
      f.ratios.push_back(r.realNs / r.baselineNs);
    }
    if (r.baselineCpuNs > 0) f.cpuRatios.push_back(r.cpuNs / r.baselineCpuNs);
  }
  return f;
}

std::optional<double> MedianRatio(const std::vector<SummaryReporter::Row>& rows, const std::string& name,
                                  double probeLimit) {
  for (const auto& r : rows) {
    if (r.name != name) continue;
    const Figures f = FiguresOf(r, probeLimit);
    if (!f.ratios.empty()) return Median(f.ratios);
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

bool WriteJson(const std::vector<SummaryReporter::Row>& rows, double probeLimit, const std::string& path) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (!out) {
    std::perror(path.c_str());
    return false;
  }
  std::fprintf(out, "[\n");
  for (size_t i = 0; i < rows.size(); ++i) {
    const SummaryReporter::Row& r = rows[i];
    const Figures f = FiguresOf(r, probeLimit);
    const double load = r.repetitions.empty() ? 0 : r.repetitions.back().loadAverage;
    std::fprintf(out,
                 "  {\"name\": \"%s\", \"median_ns\": %.1f, \"ratio\": %.4f, \"ratio_min\": %.4f, "
                 "\"ratio_max\": %.4f, \"ratio_q1\": %.4f, \"ratio_q3\": %.4f, \"cpu_median_ns\": %.1f, "
                 "\"cpu_ratio\": %.4f, \"baseline_ns\": %.1f, \"repetitions\": %zu, \"repetitions_counted\": %zu, "
                 "\"load_average\": %.2f}%s\n",
                 Escaped(r.name).c_str(), Median(f.realNs), Median(f.ratios), Min(f.ratios), Max(f.ratios),
                 Quantile(f.ratios, 0.25), Quantile(f.ratios, 0.75), Median(f.cpuNs), Median(f.cpuRatios),
                 Median(f.baselineNs), f.measured, f.counted, load, i + 1 < rows.size() ? "," : "");
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
  std::vector<size_t> touched;
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
    if (median && std::any_of(rows_.begin(), rows_.end(), [&](const Row& r) { return r.name == name; })) continue;
    const double toNs = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    const size_t index = Add(name, {run.GetAdjustedRealTime() * toNs, run.GetAdjustedCPUTime() * toNs,
                                    Counter(run, kBaselineCounter), Counter(run, kBaselineCpuCounter),
                                    Counter(run, kProbeCounter), CurrentLoadAverage()[0]});
    if (std::find(touched.begin(), touched.end(), index) == touched.end()) touched.push_back(index);
  }
  for (size_t index : touched) {
    const Figures f = FiguresOf(rows_[index], 0);  // progress only: every repetition so far
    std::fprintf(stderr, "  %-34s %10.3f ms  ratio %9.3f (%.3f-%.3f)\n", rows_[index].name.c_str(),
                 Median(f.realNs) / 1e6, Median(f.ratios), Min(f.ratios), Max(f.ratios));
  }
}

size_t SummaryReporter::Add(const std::string& name, const Repetition& repetition) {
  auto row = std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) { return r.name == name; });
  if (row == rows_.end()) row = rows_.insert(rows_.end(), Row{name, {}});
  row->repetitions.push_back(repetition);
  const size_t index = static_cast<size_t>(row - rows_.begin());
  order_.emplace_back(index, row->repetitions.size() - 1);
  return index;
}

// The file: a line "load L1 L5 L15" (the start's), then a line "NAME REAL CPU BASELINE
// BASELINE_CPU PROBE LOAD" per repetition, times in nanoseconds. Benchmark names hold no blanks.
bool SummaryReporter::WriteRepetitions(const std::string& path) const {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (!out) {
    std::perror(path.c_str());
    return false;
  }
  std::fprintf(out, "load %.2f %.2f %.2f\n", startLoad_[0], startLoad_[1], startLoad_[2]);
  for (const auto& [row, repetition] : order_) {
    const Repetition& r = rows_[row].repetitions[repetition];
    std::fprintf(out, "%s %.1f %.1f %.1f %.1f %.1f %.2f\n", rows_[row].name.c_str(), r.realNs, r.cpuNs,
                 r.baselineNs, r.baselineCpuNs, r.probeNs, r.loadAverage);
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
  while (ok && std::fscanf(in, "%255s %lf %lf %lf %lf %lf %lf", name, &r.realNs, &r.cpuNs, &r.baselineNs,
                           &r.baselineCpuNs, &r.probeNs, &r.loadAverage) == 7) {
    Add(name, r);
  }
  ok = ok && std::feof(in);
  std::fclose(in);
  if (!ok) std::fprintf(stderr, "lettermoor_bench: %s is not a file of repetitions\n", path.c_str());
  return ok;
}

int PrintSummary(const SummaryReporter& reporter, const std::string& jsonPath) {
  const std::vector<SummaryReporter::Row>& rows = reporter.Rows();
  const double probeLimit = QuietProbeLimit(rows);
  std::vector<Figures> figures;
  for (const auto& row : rows) figures.push_back(FiguresOf(row, probeLimit));
  if (std::all_of(figures.begin(), figures.end(), [](const Figures& f) { return f.ratios.empty(); })) {
    std::fprintf(stderr, "no baseline measured: no ratios\n");
    return -1;
  }
  const LoadAverage& start = reporter.StartLoad();
  const LoadAverage end = CurrentLoadAverage();
  std::printf("\nload average at the start %.2f %.2f %.2f, at the end %.2f %.2f %.2f\n", start[0], start[1],
              start[2], end[0], end[1], end[2]);
  std::printf("ratio: median over the repetitions of the time over the baseline measured beside it; "
              "min, max and spread (max / min - 1) of those ratios\n");
  if (probeLimit > 0) {
    std::printf("counted: the repetitions whose probe beside them took at most %.3f ms (the run's quick "
                "probes and %.0f%%); the others ran while the processor was slowed by others\n",
                probeLimit / 1e6, (kProbeSlack - 1) * 100);
  }
  std::printf("%-34s %12s %9s %9s %9s %7s %9s  %-6s %12s %9s %8s\n", "operation", "median ms", "ratio", "min",
              "max", "spread", "target", "", "cpu ms", "cpu ratio", "counted");
  int missed = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const Figures& f = figures[i];
    const double ratio = Median(f.ratios);
    char target[32] = "";
    const char* verdict = "";
    auto limit = RatioLimits().find(rows[i].name);
    if (limit != RatioLimits().end()) {
      std::snprintf(target, sizeof target, "<= %g", limit->second);
      verdict = ratio <= limit->second ? "ok" : "MISSED";
      missed += ratio > limit->second;
    }
    char counted[24];
    std::snprintf(counted, sizeof counted, "%zu/%zu", f.counted, f.measured);
    std::printf("%-34s %12.3f %9.3f %9.3f %9.3f %6.1f%% %9s  %-6s %12.3f %9.3f %8s\n", rows[i].name.c_str(),
                Median(f.realNs) / 1e6, ratio, Min(f.ratios), Max(f.ratios), Spread(f.ratios) * 100, target,
                verdict, Median(f.cpuNs) / 1e6, Median(f.cpuRatios), counted);
  }
  const std::optional<double> reference = MedianRatio(rows, kReference, probeLimit);
  const std::optional<double> ours = MedianRatio(rows, kOursAgainstReference, probeLimit);
  if (reference && ours && *ours > 0) {
    const double speedUp = *reference / *ours;
    const bool ok = speedUp >= kReferenceSpeedUp;
    missed += !ok;
    std::printf("\n%s is %.0f times faster than %s (target >= %g): %s\n", kOursAgainstReference,
                speedUp, kReference, kReferenceSpeedUp, ok ? "ok" : "MISSED");
  }
  if (!jsonPath.empty() && !WriteJson(rows, probeLimit, jsonPath)) return missed + 1;
  return missed;
}

}  // namespace lettermoor::bench

#include "summary_reporter.h"

#include <cstdio>
#include <map>
#include <optional>

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
    m["measure_text_4000"] = 0.1;
    m["layout_text_4000"] = 0.5;      // the preview, on every keystroke
    m["check_pointer_sample"] = 15;   // lettermoor-cli check, open included
    m["reference_index_sample"] = 10;
    m["measure_compressed_4000"] = 1;
    m["compress_pointer_listing"] = 15;
    m["script_export_pointer_sample"] = 15;
    m["script_import_unchanged_sample"] = 30;
    return m;
  }();
  return limits;
}

constexpr const char* kReference = "stdio_reference_expanded_fill";
constexpr const char* kOursAgainstReference = "fill_expanded_sample";
constexpr double kReferenceSpeedUp = 50;

std::optional<double> Median(const std::vector<SummaryReporter::Row>& rows, const std::string& name) {
  for (const auto& r : rows) {
    if (r.name == name) return r.medianNs;
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

}  // namespace

bool SummaryReporter::ReportContext(const Context& context) {
  std::fprintf(stderr, "%d CPUs at %.0f MHz; load average %.2f %.2f %.2f\n", context.cpu_info.num_cpus,
               context.cpu_info.cycles_per_second / 1e6,
               context.cpu_info.load_avg.size() > 0 ? context.cpu_info.load_avg[0] : 0.0,
               context.cpu_info.load_avg.size() > 1 ? context.cpu_info.load_avg[1] : 0.0,
               context.cpu_info.load_avg.size() > 2 ? context.cpu_info.load_avg[2] : 0.0);
  return true;
}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred) {
      std::fprintf(stderr, "  %-34s FAILED: %s\n", run.run_name.function_name.c_str(),
                   run.error_message.c_str());
      continue;
    }
    // With repetitions the median aggregate; a single run stands for itself.
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
    if (!median && !single) continue;
    const double toNs = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    rows_.push_back({run.run_name.function_name, run.GetAdjustedRealTime() * toNs,
                     run.GetAdjustedCPUTime() * toNs});
    std::fprintf(stderr, "  %-34s %10.3f ms\n", rows_.back().name.c_str(), rows_.back().medianNs / 1e6);
  }
}

int PrintSummary(const std::vector<SummaryReporter::Row>& rows, const std::string& jsonPath) {
  const std::optional<double> baseline = Median(rows, "baseline");
  if (!baseline || *baseline <= 0) {
    std::fprintf(stderr, "no baseline measured: no ratios\n");
    return -1;
  }
  int missed = 0;
  const std::optional<double> cpuBaseline = [&]() -> std::optional<double> {
    for (const auto& r : rows) {
      if (r.name == "baseline") return r.cpuMedianNs;
    }
    return std::nullopt;
  }();
  std::printf("\n%-34s %12s %9s %9s  %-6s %12s %9s\n", "operation", "median ms", "ratio", "target",
              "", "cpu ms", "cpu ratio");
  for (const auto& row : rows) {
    const double ratio = row.medianNs / *baseline;
    char target[32] = "";
    const char* verdict = "";
    auto limit = RatioLimits().find(row.name);
    if (limit != RatioLimits().end()) {
      std::snprintf(target, sizeof target, "<= %g", limit->second);
      verdict = ratio <= limit->second ? "ok" : "MISSED";
      missed += ratio > limit->second;
    }
    std::printf("%-34s %12.3f %9.3f %9s  %-6s %12.3f %9.3f\n", row.name.c_str(), row.medianNs / 1e6,
                ratio, target, verdict, row.cpuMedianNs / 1e6,
                cpuBaseline && *cpuBaseline > 0 ? row.cpuMedianNs / *cpuBaseline : 0.0);
  }
  const std::optional<double> reference = Median(rows, kReference);
  const std::optional<double> ours = Median(rows, kOursAgainstReference);
  if (reference && ours && *ours > 0) {
    const double speedUp = *reference / *ours;
    const bool ok = speedUp >= kReferenceSpeedUp;
    missed += !ok;
    std::printf("\n%s is %.0f times faster than %s (target >= %g): %s\n", kOursAgainstReference,
                speedUp, kReference, kReferenceSpeedUp, ok ? "ok" : "MISSED");
  }

  if (!jsonPath.empty()) {
    std::FILE* out = std::fopen(jsonPath.c_str(), "w");
    if (!out) {
      std::perror(jsonPath.c_str());
      return missed + 1;
    }
    std::fprintf(out, "[\n");
    for (size_t i = 0; i < rows.size(); ++i) {
      std::fprintf(out, "  {\"name\": \"%s\", \"median_ns\": %.1f, \"ratio\": %.4f}%s\n",
                   Escaped(rows[i].name).c_str(), rows[i].medianNs, rows[i].medianNs / *baseline,
                   i + 1 < rows.size() ? "," : "");
    }
    std::fprintf(out, "]\n");
    std::fclose(out);
  }
  return missed;
}

}  // namespace lettermoor::bench

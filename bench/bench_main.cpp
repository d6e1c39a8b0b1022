// The benchmark suite: makes its input ROMs in a temporary directory, measures every operation
// with the baseline measured beside each repetition, then prints one table of medians, ratios to
// the baseline and their spread.
//
// Own options (besides Google Benchmark's):
//   --json-out=PATH     also write the table as a JSON list to PATH
//   --make-inputs=DIR   only write the input ROMs into DIR (for the memory measurements) and exit
//   --check-inputs=no   skip the checks of the inputs (they take seconds; for profiling runs)
//   --repetitions-out=PATH  also write every repetition to PATH, for a later --merge
//   --merge=PATH,...    measure nothing: print the table (and --json-out) of the repetitions that
//                       the processes of one run wrote
//   --instructions=yes  run under callgrind (--instr-atstart=no): count each row's instructions
//                       instead of timing it, as callgrind dumps labelled "NAME ITERATIONS"
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_inputs.h"
#include "editor_benchmarks.h"
#include "paired_baseline.h"
#include "summary_reporter.h"

#ifdef LETTERMOOR_BENCH_QT
#include <QApplication>
#endif

namespace {

#ifdef LETTERMOOR_BENCH_QT
QtMessageHandler previousQtHandler = nullptr;

// The offscreen platform says for every window shown that it cannot size it; that alone is
// dropped from the output.
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QLatin1String("propagateSizeHints"))) return;
  if (previousQtHandler) {
    previousQtHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(message));
  }
}
#endif

// Takes `--name=value` out of argv; gives the value, or an empty string.
std::string TakeOption(int& argc, char** argv, const char* name) {
  const size_t n = std::strlen(name);
  std::string value;
  int out = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=') {
      value = argv[i] + n + 1;
    } else {
      argv[out++] = argv[i];
    }
  }
  argc = out;
  argv[argc] = nullptr;
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lettermoor::bench;
  const std::string jsonOut = TakeOption(argc, argv, "--json-out");
  const std::string makeInputs = TakeOption(argc, argv, "--make-inputs");
  const bool checkInputs = TakeOption(argc, argv, "--check-inputs") != "no";
  const std::string repetitionsOut = TakeOption(argc, argv, "--repetitions-out");
  const std::string merge = TakeOption(argc, argv, "--merge");
  SetCountingInstructions(TakeOption(argc, argv, "--instructions") == "yes");
  if (!merge.empty()) {
    SummaryReporter merged;
    for (size_t from = 0; from <= merge.size();) {
      const size_t comma = std::min(merge.find(',', from), merge.size());
      if (!merged.ReadRepetitions(merge.substr(from, comma - from))) return 1;
      from = comma + 1;
    }
    return PrintSummary(merged, jsonOut) == 0 ? 0 : 1;
  }
  if (!makeInputs.empty()) {
    BenchInputs inputs;
    if (!WriteBenchInputs(makeInputs, inputs)) {
      std::fprintf(stderr, "lettermoor_bench: cannot write the input ROMs to %s\n", makeInputs.c_str());
      return 1;
    }
    std::printf("%s\n%s\n", inputs.sample.c_str(), inputs.worst.c_str());
    return 0;
  }

#ifdef LETTERMOOR_BENCH_QT
  // The window is measured without a display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  previousQtHandler = qInstallMessageHandler(QuietQtMessages);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const BenchInputs inputs = MakeBenchInputs();
  // The dumps are written into the working directory, as the editor does.
  if (::chdir(inputs.dir.c_str()) != 0) {
    std::perror(inputs.dir.c_str());
    return 1;
  }
  SetBaselineFile(inputs.sample);
  RegisterEditorBenchmarks(inputs, checkInputs);
  RegisterCompressionBenchmarks(inputs, checkInputs);
  RegisterScriptBenchmarks(inputs, checkInputs);
#ifdef LETTERMOOR_BENCH_QT
  RegisterQtBenchmarks(inputs);
#endif

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // Counted rows carry no times: the callgrind dumps are the result.
  const int missed = CountingInstructions() ? 0 : PrintSummary(reporter, jsonOut);
  if (!repetitionsOut.empty() && !reporter.WriteRepetitions(repetitionsOut)) return 1;
  benchmark::Shutdown();
  RemoveBenchInputs(inputs);
  return missed == 0 ? 0 : 1;
}

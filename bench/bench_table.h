// What both benchmark programs share: the console report, which also keeps
// each run's time and counters by name, and a main that prints a comparison
// table from them after the runs.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>  // Required for: isatty

#include <map>
#include <string>
#include <vector>

struct Measured {
  double cpuSeconds = 0, realSeconds = 0;  // per iteration
  std::map<std::string, double> counters;
};

class TableReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, Measured> runs;

  explicit TableReporter(OutputOptions options) : ConsoleReporter(options) {}

  void ReportRuns(const std::vector<Run>& report) override {
    ConsoleReporter::ReportRuns(report);
    for (const Run& run : report) {
      Measured m;
      m.cpuSeconds = run.GetAdjustedCPUTime() / 1000.0;  // the unit is milliseconds
      m.realSeconds = run.GetAdjustedRealTime() / 1000.0;
      for (const auto& [name, counter] : run.counters) m.counters[name] = counter.value;
      runs[run.benchmark_name()] = m;
    }
  }
};

// Run the registered benchmarks, then printTable with what they measured.
inline int RunWithTable(int argc, char** argv, void (*printTable)(const TableReporter&)) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Colours only on a terminal, so that a saved report stays plain text.
  TableReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                               : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printTable(reporter);
  benchmark::Shutdown();
  return 0;
}

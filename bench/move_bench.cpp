// Moves per second of the production particle move against the literal
// reference move, on the same workloads in one process. After the usual
// benchmark lines a table gives both rates, their ratio, the nanoseconds per
// attempt (from CPU time), and whether both made the same number of attempts
// and ended with the same bottom-row count (the same run).
#include <benchmark/benchmark.h>
#include <unistd.h>  // Required for: isatty

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/reference_sim.h"
#include "sim/particle_move.h"
#include "sim/reactor.h"

namespace {

struct Workload {
  SimParams params;
  int moves;
};

const Workload Workloads[] = {
    {SimParams{100, 100, 3000, 0.5, 0.8, 0.2, 3}, 100000},
    {SimParams{250, 250, 20000, 0.3, 0.6, 0.1, 10}, 200000},
    {SimParams{100, 100, 5000, 0.2, 1.0, 0.5, 5}, 50000},
};
constexpr int WorkloadCount = sizeof Workloads / sizeof Workloads[0];

void Report(benchmark::State& state, const Workload& w, std::int64_t attempts, int bottom) {
  state.counters["moves"] = w.moves;
  state.counters["attempts"] = static_cast<double>(attempts);
  state.counters["bottom"] = bottom;
}

void ProductionMoves(benchmark::State& state) {
  const Workload& w = Workloads[state.range(0)];
  for (auto _ : state) {
    state.PauseTiming();
    auto reactor = std::make_unique<Reactor>();
    reactor->params = w.params;
    SetUpReactor(*reactor);
    state.ResumeTiming();
    for (int i = 0; i < w.moves; ++i) {
      if (MoveParticle(*reactor) != MoveResult::Moved) {
        state.SkipWithError("frozen");
        break;
      }
    }
    Report(state, w, reactor->attempts, reactor->observedRowCount);
  }
}

void ReferenceMoves(benchmark::State& state) {
  const Workload& w = Workloads[state.range(0)];
  for (auto _ : state) {
    state.PauseTiming();
    auto model = std::make_unique<reference::Model>();
    model->params = w.params;
    reference::SetUp(*model);
    state.ResumeTiming();
    for (int i = 0; i < w.moves; ++i) reference::MoveParticle(*model);
    Report(state, w, model->attempts, model->observedRowCount);
  }
}

BENCHMARK(ReferenceMoves)->DenseRange(0, WorkloadCount - 1)->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ProductionMoves)->DenseRange(0, WorkloadCount - 1)->Iterations(1)
    ->Unit(benchmark::kMillisecond);

struct Measured {
  double seconds = 0, moves = 0, attempts = 0, bottom = 0;
};

// The console report, keeping each run's figures for the comparison table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, Measured> runs;

  explicit TableReporter(OutputOptions options) : ConsoleReporter(options) {}

  void ReportRuns(const std::vector<Run>& report) override {
    ConsoleReporter::ReportRuns(report);
    for (const Run& run : report) {
      Measured m;
      // CPU time: the machine may be shared, and the move is single-threaded.
      m.seconds = run.GetAdjustedCPUTime() / 1000.0;  // milliseconds per iteration
      m.moves = run.counters.at("moves");
      m.attempts = run.counters.at("attempts");
      m.bottom = run.counters.at("bottom");
      runs[run.benchmark_name()] = m;
    }
  }
};

void PrintTable(const TableReporter& reporter) {
  std::printf("\n%-44s %12s %12s %7s %9s %9s %s\n", "workload (N,M,K,Ah,Kh,G,rSz,moves)",
              "ref mv/s", "prod mv/s", "ratio", "ref ns/at", "prod ns/at", "same run");
  for (int i = 0; i < WorkloadCount; ++i) {
    const std::string arg = "/" + std::to_string(i) + "/iterations:1";
    const auto ref = reporter.runs.find("ReferenceMoves" + arg);
    const auto prod = reporter.runs.find("ProductionMoves" + arg);
    if (ref == reporter.runs.end() || prod == reporter.runs.end()) continue;
    const Measured& r = ref->second;
    const Measured& p = prod->second;
    const SimParams& w = Workloads[i].params;
    char name[96];
    std::snprintf(name, sizeof name, "(%d,%d,%d,%g,%g,%g,%d,%d)", w.N, w.M, w.K, w.Ah, w.Kh, w.G,
                  w.rSz, Workloads[i].moves);
    const double refRate = r.moves / r.seconds, prodRate = p.moves / p.seconds;
    std::printf("%-44s %12.0f %12.0f %7.2f %9.1f %9.1f %s\n", name, refRate, prodRate,
                prodRate / refRate, 1e9 * r.seconds / r.attempts, 1e9 * p.seconds / p.attempts,
                r.attempts == p.attempts && r.bottom == p.bottom ? "yes" : "NO");
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Colours only on a terminal, so that a saved report stays plain text.
  TableReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                               : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintTable(reporter);
  benchmark::Shutdown();
  return 0;
}

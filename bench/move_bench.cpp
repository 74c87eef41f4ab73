// Moves per second of the production particle move against the literal
// reference move, on the same workloads in one process. After the usual
// benchmark lines a table gives both rates, their ratio, the nanoseconds per
// attempt (from CPU time), and whether both made the same number of attempts
// and ended with the same bottom-row count (the same run).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_table.h"
#include "move_workloads.h"
#include "sim/reference_sim.h"
#include "sim/particle_move.h"
#include "sim/reactor.h"

namespace {

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

void PrintTable(const TableReporter& reporter) {
  std::printf("\n%-44s %12s %12s %7s %9s %9s %s\n", "workload (N,M,K,Ah,Kh,G,rSz,moves)",
              "ref mv/s", "prod mv/s", "ratio", "ref ns/at", "prod ns/at", "same run");
  for (int i = 0; i < WorkloadCount; ++i) {
    const std::string arg = "/" + std::to_string(i) + "/iterations:1";
    const auto ref = reporter.runs.find("ReferenceMoves" + arg);
    const auto prod = reporter.runs.find("ProductionMoves" + arg);
    if (ref == reporter.runs.end() || prod == reporter.runs.end()) continue;
    // CPU time: the machine may be shared, and the move is single-threaded.
    const Measured& r = ref->second;
    const Measured& p = prod->second;
    const double rSeconds = r.cpuSeconds, pSeconds = p.cpuSeconds;
    const double rMoves = r.counters.at("moves"), pMoves = p.counters.at("moves");
    const double rAttempts = r.counters.at("attempts"), pAttempts = p.counters.at("attempts");
    const bool same = rAttempts == pAttempts && r.counters.at("bottom") == p.counters.at("bottom");
    char name[96];
    WorkloadName(Workloads[i], name, sizeof name);
    const double refRate = rMoves / rSeconds, prodRate = pMoves / pSeconds;
    std::printf("%-44s %12.0f %12.0f %7.2f %9.1f %9.1f %s\n", name, refRate, prodRate,
                prodRate / refRate, 1e9 * rSeconds / rAttempts, 1e9 * pSeconds / pAttempts,
                same ? "yes" : "NO");
  }
}

}  // namespace

int main(int argc, char** argv) { return RunWithTable(argc, argv, PrintTable); }

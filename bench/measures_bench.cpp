// What a sample costs: the four measures every row has, and the clusters
// asked for by name, on the largest workload (W2: 250 x 250, K = 20000)
// scattered and after 200000 moves (drops forming). Microseconds per sample.
#include <benchmark/benchmark.h>

#include <memory>

#include "move_workloads.h"
#include "sim/measures.h"
#include "sim/particle_move.h"
#include "sim/reactor.h"

namespace {

// W2 after `moves` moves.
std::unique_ptr<Reactor> Settled(int moves) {
  auto reactor = std::make_unique<Reactor>();
  reactor->params = Workloads[1].params;
  SetUpReactor(*reactor);
  for (int i = 0; i < moves; ++i) MoveParticle(*reactor);
  return reactor;
}

void FourMeasures(benchmark::State& state) {
  const auto reactor = Settled(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(MeasureReactor(*reactor));
}

void ClusterMeasures(benchmark::State& state) {
  const auto reactor = Settled(static_cast<int>(state.range(0)));
  auto work = std::make_unique<ClusterWork>();
  Clusters clusters;
  for (auto _ : state) {
    clusters = CountClusters(*reactor, *work);
    benchmark::DoNotOptimize(clusters);
  }
  state.counters["clusters"] = clusters.count;
  state.counters["largest"] = clusters.largest;
}

BENCHMARK(FourMeasures)->Arg(0)->Arg(200000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ClusterMeasures)->Arg(0)->Arg(200000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

#include "experiment/run.h"

#include <algorithm>

#include "sim/particle_move.h"

namespace {

// The run stands at a sample's T.
bool Take(Sampling& s, std::int32_t T) {
  s.lastSampleT = T;
  return true;
}

}  // namespace

void SetUpRun(Run& run, const SimParams& params, std::uint32_t seed) {
  Reactor& r = run.reactor;
  r.params = params;
  r.random = RandomSource{};
  r.random.seed = seed;
  SetUpReactor(r);
  StartAtZero(run);
}

void StartAtZero(Run& run) {
  run.T = 0;
  run.frozen = false;
  run.chart = ChartSamples{};
  AddChartSample(run.chart, static_cast<std::uint16_t>(run.reactor.observedRowCount));
}

StepResult StepRun(Run& run, std::int64_t moves) {
  StepResult result;
  while (result.moves < moves) {
    if (run.frozen) {
      result.stop = RunStop::Frozen;
      break;
    }
    if (run.T == MaxT) {
      result.stop = RunStop::TLimit;
      break;
    }
    if (MoveParticle(run.reactor) == MoveResult::Frozen) {
      run.frozen = true;
      result.stop = RunStop::Frozen;
      break;
    }
    ++run.T;
    ++result.moves;
    if (run.T % RefreshInterval == 0)
      AddChartSample(run.chart, static_cast<std::uint16_t>(run.reactor.observedRowCount));
  }
  return result;
}

Sampling StartSampling(const Run& run, std::int64_t moves, std::int32_t every) {
  Sampling s;
  s.every = every;
  s.endT = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{run.T} + moves, MaxT));
  return s;
}

bool NextSample(Run& run, Sampling& s, std::int64_t budget) {
  if (s.ended) return false;
  if (s.lastSampleT < 0) return Take(s, run.T);
  const std::int64_t target =
      std::min<std::int64_t>(run.T + MovesToNextSample(run.T, s.every), s.endT);
  if (run.T < target) {
    const StepResult step = StepRun(run, std::min(target - run.T, budget));
    if (step.stop == RunStop::Moves) return run.T == target ? Take(s, run.T) : false;
  }
  // The stretch is over (its last move made, or the run stopped): its last
  // T has a sample.
  s.ended = true;
  return s.lastSampleT != run.T && Take(s, run.T);
}

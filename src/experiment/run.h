// One run, the same under every front end: the classic program's run loop,
// the batch runner, the Python module and the lesson page all set a run up
// and move it through these procedures, so that they agree on its moves,
// its T, where it stops and which samples it gives.
//
// A run is set up from the parameters and a seed (the particles placed by
// the seed's stream, as the program places them) or from an initial grid
// (initial_grid.h: no placement draws; the seed's stream starts with the
// first move). StepRun makes moves and says why it stopped. Samples are
// taken at the first T of a stretch of moves, at every multiple of the
// caller's interval after it, and at its last T (where it ended: its moves
// made, the reactor frozen, or T at its limit).
#pragma once

#include <cstdint>

#include "display/picture.h"  // Required for: ChartSamples
#include "sim/measures.h"
#include "sim/reactor.h"

// T is the program's signed 32-bit step counter: a run stops moving here.
inline constexpr std::int32_t MaxT = 2147483647;
// Moves between two samples unless the caller asks for another interval:
// the chart's cadence.
inline constexpr std::int32_t DefaultSampleEvery = RefreshInterval;

struct Run {
  Reactor reactor;
  std::int32_t T = 0;   // moves made since the set-up
  bool frozen = false;  // a move found that no particle can ever move again
  ChartSamples chart;   // the bottom row at every refresh step, for pictures
};

// Set the run up at T = 0: params must be accepted (parameters.h).
void SetUpRun(Run& run, const SimParams& params, std::uint32_t seed);

// Moves from T to the next multiple of the sample interval after it.
inline std::int64_t MovesToNextSample(std::int32_t T, std::int32_t every) {
  return every - T % every;
}

// Put a run whose reactor is set up at T = 0, its chart holding the first
// sample; both set-ups end so.
void StartAtZero(Run& run);

enum class RunStop : std::uint8_t { Moves, Frozen, TLimit };

struct StepResult {
  std::int32_t moves = 0;
  RunStop stop = RunStop::Moves;  // why it stopped: the moves asked for made, or not
};

// Up to `moves` moves (0 or more); fewer when the reactor is frozen or T
// reaches MaxT.
StepResult StepRun(Run& run, std::int64_t moves);

inline Measures MeasureRun(const Run& run) { return MeasureReactor(run.reactor); }

// A stretch of moves and its samples.
struct Sampling {
  std::int32_t every = DefaultSampleEvery;  // 1 or more
  std::int32_t endT = 0;                    // where the stretch ends unless the run stops first
  std::int32_t lastSampleT = -1;            // -1: none taken yet
  bool ended = false;                       // every sample of the stretch has been taken
};

// A stretch of `moves` moves from the run's T (cut at MaxT), sampled every
// `every` moves.
Sampling StartSampling(const Run& run, std::int64_t moves, std::int32_t every);

// Move the run on toward the stretch's next sample, at most `budget` moves.
// True when the run stands at a sample's T (the first call: at once); false
// when the budget ran out first, or when the stretch is over (sampling.ended).
bool NextSample(Run& run, Sampling& sampling, std::int64_t budget);

// The run every front end moves: why StepRun stops, the chart it keeps, and
// which T's a stretch of moves is sampled at.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "experiment/run.h"
#include "sim/particle_move.h"

namespace {

std::unique_ptr<Run> MadeRun(const SimParams& p, std::uint32_t seed = 0) {
  auto run = std::make_unique<::Run>();
  SetUpRun(*run, p, seed);
  return run;
}

const SimParams Small{20, 20, 120, 0.5, 0.8, 0.2, 2};

TEST(Run, StepsAreTheMovesOfTheReactorAndSayWhyTheyStopped) {
  auto run = MadeRun(Small, 7);
  auto twin = std::make_unique<Reactor>();
  twin->params = Small;
  twin->random.seed = 7;
  SetUpReactor(*twin);
  const StepResult step = StepRun(*run, 4500);
  EXPECT_EQ(step.moves, 4500);
  EXPECT_EQ(step.stop, RunStop::Moves);
  EXPECT_EQ(run->T, 4500);
  std::vector<std::uint16_t> bottoms{static_cast<std::uint16_t>(twin->observedRowCount)};
  for (int T = 1; T <= 4500; ++T) {
    ASSERT_EQ(MoveParticle(*twin), MoveResult::Moved);
    if (T % RefreshInterval == 0)
      bottoms.push_back(static_cast<std::uint16_t>(twin->observedRowCount));
  }
  EXPECT_EQ(std::memcmp(run->reactor.grid, twin->grid, sizeof twin->grid), 0);
  // The chart's samples: the bottom row at T = 0, 2000 and 4000.
  EXPECT_EQ(std::vector<std::uint16_t>(run->chart.values, run->chart.values + run->chart.count),
            bottoms);
  EXPECT_EQ(StepRun(*run, 0).moves, 0);

  // Full: no move ever; T stays, and so does the answer.
  auto full = MadeRun({3, 3, 9, 0.5, 0.5, 0.5, 1});
  for (int i = 0; i < 2; ++i) {
    const StepResult frozen = StepRun(*full, 10);
    EXPECT_EQ(frozen.moves, 0);
    EXPECT_EQ(frozen.stop, RunStop::Frozen);
  }
  EXPECT_TRUE(full->frozen);
  EXPECT_EQ(full->T, 0);

  // T's limit is the program's: never past it.
  run->T = MaxT - 2;
  const StepResult limited = StepRun(*run, 5);
  EXPECT_EQ(limited.moves, 2);
  EXPECT_EQ(limited.stop, RunStop::TLimit);
  EXPECT_EQ(run->T, MaxT);
}

// The sample T's of a stretch, its moves made `budget` at a time.
std::vector<std::int32_t> SampleTs(Run& run, std::int64_t moves, std::int32_t every,
                                   std::int64_t budget) {
  Sampling s = StartSampling(run, moves, every);
  std::vector<std::int32_t> Ts;
  while (!s.ended)
    if (NextSample(run, s, budget)) Ts.push_back(run.T);
  return Ts;
}

struct SamplingCase {
  std::int32_t startT;
  std::int64_t moves;
  std::int32_t every;
  std::vector<std::int32_t> Ts;
};

TEST(Run, AStretchIsSampledAtItsStartEveryMultipleAndItsEnd) {
  const SamplingCase cases[] = {
      {0, 10000, 2000, {0, 2000, 4000, 6000, 8000, 10000}},
      {0, 4500, 2000, {0, 2000, 4000, 4500}},
      {500, 4700, 2000, {500, 2000, 4000, 5200}},  // a stretch that goes on from a T
      {300, 0, 2000, {300}},
      {0, 3, 1, {0, 1, 2, 3}},
      {MaxT - 3, 10, 2, {MaxT - 3, MaxT - 1, MaxT}},  // cut at T's limit
  };
  for (const SamplingCase& c : cases) {
    for (std::int64_t budget : {std::int64_t{1}, std::int64_t{777}, std::int64_t{1} << 40}) {
      auto run = MadeRun(Small);
      if (c.startT < MaxT / 2) StepRun(*run, c.startT);
      else run->T = c.startT;
      EXPECT_EQ(SampleTs(*run, c.moves, c.every, budget), c.Ts)
          << "from " << c.startT << ", " << c.moves << " moves, budget " << budget;
    }
  }
}

TEST(Run, AFrozenRunEndsItsStretchWithASampleAtTheFrozenT) {
  // Gravity alone settles four particles on the floor within a few moves.
  const SimParams settling{4, 4, 4, 0, 0, 1, 1};
  auto probe = MadeRun(settling);
  StepRun(*probe, 1000);
  ASSERT_TRUE(probe->frozen);
  const std::int32_t frozenT = probe->T;
  ASSERT_GT(frozenT, 1);
  for (std::int32_t every : {1, frozenT, frozenT + 5}) {
    auto run = MadeRun(settling);
    const std::vector<std::int32_t> Ts = SampleTs(*run, 1000, every, 1);
    EXPECT_TRUE(run->frozen);
    ASSERT_FALSE(Ts.empty());
    EXPECT_EQ(Ts.back(), frozenT) << every;  // once, whether or not it is a multiple
    EXPECT_EQ(Ts.size(), static_cast<std::size_t>(every == 1 ? frozenT + 1 : 2)) << every;
  }
}

}  // namespace

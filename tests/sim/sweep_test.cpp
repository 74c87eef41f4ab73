// The production move against the literal reference, move for move: the same
// cells move, and at checkpoints the grids, row counts, attempts and the
// position in the random stream agree.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

#include "reference_sim.h"
#include "sim_helpers.h"

namespace {

// The production move at the CPU's vector level and on the portable code,
// and the literal reference.
struct Twin {
  std::vector<std::unique_ptr<Reactor>> fast;
  std::vector<RedrawLog> logs;
  std::unique_ptr<reference::Model> literal = std::make_unique<reference::Model>();
};

std::unique_ptr<Twin> MakeTwin(const SimParams& p, std::uint32_t seed = 0) {
  auto twin = std::make_unique<Twin>();
  std::vector<SimdLevel> levels = {DetectSimd()};
  if (DetectSimd() != SimdLevel::Portable) levels.push_back(SimdLevel::Portable);
  twin->logs.resize(levels.size());
  for (std::size_t i = 0; i < levels.size(); ++i) {
    twin->fast.push_back(MakeReactor(p, levels[i], seed));
    AttachLog(*twin->fast[i], twin->logs[i]);
  }
  twin->literal->params = p;
  twin->literal->twister.seed = seed;
  reference::SetUp(*twin->literal);
  return twin;
}

// Grids and counts; with withStream also the attempts and the position in the
// random stream (a frozen production reactor has made extra failed attempts).
void ExpectSameState(const Twin& twin, bool withStream = true) {
  const reference::Model& literal = *twin.literal;
  for (const auto& reactor : twin.fast) {
    const Reactor& fast = *reactor;
    const int level = static_cast<int>(fast.move.simd);
    for (int r = 0; r < GridSide; ++r)
      for (int c = 0; c < GridSide; ++c)
        ASSERT_EQ(fast.grid[r][c], literal.grid[r][c])
            << "cell " << r << "," << c << " level " << level;
    for (int r = 0; r < RowCountLength; ++r) ASSERT_EQ(fast.rowCounts[r], literal.rowCounts[r]);
    EXPECT_EQ(fast.observedRowCount, literal.observedRowCount);
    if (!withStream) continue;
    EXPECT_EQ(fast.attempts, literal.attempts) << "level " << level;
    RandomSource fastStream = fast.random;
    reference::Twister literalStream = literal.twister;
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(NextRandomWord(fastStream), reference::NextTwister(literalStream))
          << "level " << level;
  }
}

// One production move on each reactor and, when they moved, one reference
// move: the same particle must go to the same cell. Returns the result of
// the production moves, which must agree.
MoveResult StepBoth(Twin& twin, int move) {
  std::vector<MoveResult> results;
  for (std::size_t i = 0; i < twin.fast.size(); ++i) {
    twin.logs[i].cells.clear();
    results.push_back(MoveParticle(*twin.fast[i]));
    EXPECT_EQ(results[i], results[0]) << "move " << move;
  }
  if (results[0] == MoveResult::Frozen) {
    for (const RedrawLog& log : twin.logs) EXPECT_TRUE(log.cells.empty());
    EXPECT_FALSE(reference::AnyMovePossible(*twin.literal)) << "frozen at move " << move;
    return results[0];
  }
  const reference::Move expected = reference::MoveParticle(*twin.literal);
  for (std::size_t i = 0; i < twin.fast.size(); ++i) {
    const RedrawLog& log = twin.logs[i];
    EXPECT_EQ(log.cells.size(), 2u);
    if (log.cells.size() != 2u) return results[0];
    EXPECT_EQ(log.cells[0].row, expected.r0) << "move " << move;
    EXPECT_EQ(log.cells[0].column, expected.c0) << "move " << move;
    EXPECT_EQ(log.cells[1].row, expected.r1) << "move " << move;
    EXPECT_EQ(log.cells[1].column, expected.c1) << "move " << move;
    EXPECT_EQ(twin.fast[i]->lastMoveFromRow, twin.literal->lastMoveFromRow);
    EXPECT_EQ(twin.fast[i]->lastMoveToRow, twin.literal->lastMoveToRow);
  }
  return results[0];
}

struct SweepCase {
  const char* name;
  SimParams params;
  int moves;
  // Repulsion settles into a state where nothing can move; such a case runs
  // until then, and at least minMoves.
  int minMoves = 0;
};

std::ostream& operator<<(std::ostream& out, const SweepCase& c) { return out << c.name; }

class Sweep : public ::testing::TestWithParam<SweepCase> {};

}  // namespace

TEST_P(Sweep, ProductionMakesTheReferenceMoves) {
  const SweepCase& c = GetParam();
  auto twin = MakeTwin(c.params);
  ExpectSameState(*twin);
  for (int move = 1; move <= c.moves; ++move) {
    if (StepBoth(*twin, move) == MoveResult::Frozen) {
      EXPECT_GT(c.minMoves, 0) << "frozen at move " << move;
      EXPECT_GE(move - 1, c.minMoves);
      ExpectSameState(*twin, false);
      return;
    }
    if (HasFailure()) return;
    if (move % 1000 == 0 || move == c.moves) {
      ExpectSameState(*twin);
      if (HasFailure()) return;
    }
  }
  EXPECT_EQ(c.minMoves, 0) << "expected to settle within " << c.moves << " moves";
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, Sweep,
    ::testing::Values(
        SweepCase{"Largest", Params(250, 250, 20000, 0.3, 0.6, 0.1, 10), 10000},
        SweepCase{"LargestCrowded", Params(250, 250, 32767, 1.0, 0.5, 1.0, 10), 4000},
        SweepCase{"OneRow", Params(1, 200, 60, 0.4, 0.9, 0.3, 4), 10000},
        SweepCase{"OneColumn", Params(200, 1, 60, 0.4, 0.9, 0.3, 4), 10000},
        SweepCase{"OneHole", Params(20, 30, 599, 1.0, 0.2, 0.1, 3), 5000},
        SweepCase{"OneHoleRepelled", Params(20, 30, 599, 0.5, 0.7, 0.2, 3), 5000, 50},
        SweepCase{"AllNegative", Params(150, 150, 4000, -0.7, -0.4, -0.3, 4), 100000, 3000},
        SweepCase{"NegativeWallsAndGravity", Params(60, 80, 1500, -0.7, 0.4, -0.3, 4), 10000},
        SweepCase{"GravityOnly", Params(100, 30, 300, 0.0, 0.0, 0.5, 5), 8000},
        SweepCase{"Mid", Params(100, 100, 3000, 0.5, 0.8, 0.2, 3), 35000},
        SweepCase{"StrongCohesion", Params(100, 100, 5000, 0.2, 1.0, 0.5, 5), 15000},
        SweepCase{"Repulsion", Params(50, 70, 1000, 1.0, -1.0, -1.0, 2), 100000, 2000},
        SweepCase{"NearestOnly", Params(30, 30, 450, -1.0, 1.0, 0.0, 1), 10000},
        // Windows wider than the reactor: every sum is cut at the frame.
        SweepCase{"WindowsPastTheFrame", Params(12, 15, 90, 0.6, 0.5, 0.2, 10), 5000, 400},
        SweepCase{"TallNarrow", Params(250, 4, 500, 0.5, 0.5, 0.5, 10), 5000},
        SweepCase{"WideFlat", Params(5, 250, 600, -0.5, 0.8, -0.3, 10), 5000},
        // -0.0 weights: the sums must stay +0.0 where they add nothing.
        SweepCase{"NegativeZeroWallsAndGravity", Params(60, 60, 900, -0.0, 0.7, -0.0, 10), 5000},
        SweepCase{"NegativeZeroCohesion", Params(50, 250, 2000, 0.8, -0.0, 0.3, 6), 5000},
        // Walls and gravity alone: every sideways step far from the walls is an
        // exact tie. Both cases settle until nothing can move.
        SweepCase{"WallsOnlyTies", Params(30, 30, 100, 1.0, 0.0, 0.3, 2), 5000, 1000}),
    [](const ::testing::TestParamInfo<SweepCase>& info) { return info.param.name; });

// Each seed, the extremes included, makes the reference's run from that seed;
// and a seed other than 0 changes the placement, which a seed dropped on both
// sides would not.
TEST(Seeds, ProductionMakesTheReferenceMovesFromEachSeed) {
  const SimParams p = Params(60, 80, 1500, 0.5, 0.8, 0.2, 3);
  std::unique_ptr<GridSnapshot> seedZero;
  for (std::uint32_t seed : {0u, 1u, 4294967295u, 20261208u}) {
    auto twin = MakeTwin(p, seed);
    EXPECT_EQ(twin->fast[0]->random.seed, seed);
    if (seed == 0)
      seedZero = Snapshot(*twin->fast[0]);
    else
      EXPECT_NE(std::memcmp(seedZero->cells, twin->fast[0]->grid, sizeof(ReactorGrid)), 0) << seed;
    ExpectSameState(*twin);
    for (int move = 1; move <= 5000; ++move) {
      ASSERT_EQ(StepBoth(*twin, move), MoveResult::Moved) << "seed " << seed;
      if (move % 1000 == 0) ExpectSameState(*twin);
      if (HasFailure()) return;
    }
  }
}

// One hole under gravity alone: it rises a row per move, each move about one
// attempt in a thousand, until it reaches the top row and nothing can move.
TEST(RareMoves, FollowTheReferenceUntilFrozen) {
  auto twin = MakeTwin(Params(40, 40, 1599, 0.0, 0.0, 0.5, 3));
  int holeRow = 0;
  for (int r = 1; r <= 40; ++r)
    for (int c = 1; c <= 40; ++c)
      if (twin->fast[0]->grid[r][c] == Empty) holeRow = r;
  ASSERT_GT(holeRow, 1);
  for (int move = 1; move < holeRow; ++move)
    ASSERT_EQ(StepBoth(*twin, move), MoveResult::Moved) << "move " << move;
  ExpectSameState(*twin);
  EXPECT_EQ(StepBoth(*twin, holeRow), MoveResult::Frozen);
  EXPECT_EQ(twin->fast[0]->rowCounts[1], 39);  // the hole reached the top row
}

// Full checks between attempts draw nothing, so they cannot change a move;
// nor may they miss a sideways, vertical or diagonal move.
TEST(RareMoves, FullChecksBetweenAttemptsKeepTheTrajectory) {
  for (const SimParams& p : {Params(20, 30, 599, 1.0, 0.2, 0.1, 3),
                             Params(1, 200, 60, 0.4, 0.9, 0.3, 4),
                             Params(200, 1, 60, 0.4, 0.9, 0.3, 4)}) {
    auto twin = MakeTwin(p);
    for (int move = 1; move <= 300; ++move) {
      for (auto& reactor : twin->fast) reactor->move.frozenCheckBound = 1;
      ASSERT_EQ(StepBoth(*twin, move), MoveResult::Moved) << p.N << "x" << p.M << " move " << move;
      if (HasFailure()) return;
    }
    ExpectSameState(*twin);
    EXPECT_GT(twin->fast[0]->attempts, 2 * 300);  // failures, each followed by a check
  }
}

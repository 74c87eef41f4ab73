// The production move against the literal reference, move for move: the same
// cells move, and at checkpoints the grids, row counts, attempts and the
// position in the random stream agree.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>

#include "reference_sim.h"
#include "sim_helpers.h"

namespace {

struct Twin {
  std::unique_ptr<Reactor> fast;
  std::unique_ptr<reference::Model> literal = std::make_unique<reference::Model>();
  RedrawLog log;
};

std::unique_ptr<Twin> MakeTwin(const SimParams& p) {
  auto twin = std::make_unique<Twin>();
  twin->fast = MakeReactor(p);
  AttachLog(*twin->fast, twin->log);
  twin->literal->params = p;
  reference::SetUp(*twin->literal);
  return twin;
}

// Grids and counts; with withStream also the attempts and the position in the
// random stream (a frozen production reactor has made extra failed attempts).
void ExpectSameState(const Twin& twin, bool withStream = true) {
  const Reactor& fast = *twin.fast;
  const reference::Model& literal = *twin.literal;
  for (int r = 0; r < GridSide; ++r)
    for (int c = 0; c < GridSide; ++c)
      ASSERT_EQ(fast.grid[r][c], literal.grid[r][c]) << "cell " << r << "," << c;
  for (int r = 0; r < RowCountLength; ++r) ASSERT_EQ(fast.rowCounts[r], literal.rowCounts[r]);
  EXPECT_EQ(fast.observedRowCount, literal.observedRowCount);
  if (!withStream) return;
  EXPECT_EQ(fast.attempts, literal.attempts);
  RandomSource fastStream = fast.random;
  reference::Twister literalStream = literal.twister;
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(NextRandomWord(fastStream), reference::NextTwister(literalStream));
}

// One production move and, when it moved, one reference move: the same
// particle must go to the same cell. Returns the production result.
MoveResult StepBoth(Twin& twin, int move) {
  twin.log.cells.clear();
  const MoveResult result = MoveParticle(*twin.fast);
  if (result == MoveResult::Frozen) {
    EXPECT_TRUE(twin.log.cells.empty());
    EXPECT_FALSE(reference::AnyMovePossible(*twin.literal)) << "frozen at move " << move;
    return result;
  }
  const reference::Move expected = reference::MoveParticle(*twin.literal);
  EXPECT_EQ(twin.log.cells.size(), 2u);
  if (twin.log.cells.size() != 2u) return result;
  EXPECT_EQ(twin.log.cells[0].row, expected.r0) << "move " << move;
  EXPECT_EQ(twin.log.cells[0].column, expected.c0) << "move " << move;
  EXPECT_EQ(twin.log.cells[1].row, expected.r1) << "move " << move;
  EXPECT_EQ(twin.log.cells[1].column, expected.c1) << "move " << move;
  EXPECT_EQ(twin.fast->lastMoveFromRow, twin.literal->lastMoveFromRow);
  EXPECT_EQ(twin.fast->lastMoveToRow, twin.literal->lastMoveToRow);
  return result;
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
        SweepCase{"NearestOnly", Params(30, 30, 450, -1.0, 1.0, 0.0, 1), 10000}),
    [](const ::testing::TestParamInfo<SweepCase>& info) { return info.param.name; });

// One hole under gravity alone: it rises a row per move, each move about one
// attempt in a thousand, until it reaches the top row and nothing can move.
TEST(RareMoves, FollowTheReferenceUntilFrozen) {
  auto twin = MakeTwin(Params(40, 40, 1599, 0.0, 0.0, 0.5, 3));
  int holeRow = 0;
  for (int r = 1; r <= 40; ++r)
    for (int c = 1; c <= 40; ++c)
      if (twin->fast->grid[r][c] == Empty) holeRow = r;
  ASSERT_GT(holeRow, 1);
  for (int move = 1; move < holeRow; ++move)
    ASSERT_EQ(StepBoth(*twin, move), MoveResult::Moved) << "move " << move;
  ExpectSameState(*twin);
  EXPECT_EQ(StepBoth(*twin, holeRow), MoveResult::Frozen);
  EXPECT_EQ(twin->fast->rowCounts[1], 39);  // the hole reached the top row
}

// Full checks between attempts draw nothing, so they cannot change a move;
// nor may they miss a sideways, vertical or diagonal move.
TEST(RareMoves, FullChecksBetweenAttemptsKeepTheTrajectory) {
  for (const SimParams& p : {Params(20, 30, 599, 1.0, 0.2, 0.1, 3),
                             Params(1, 200, 60, 0.4, 0.9, 0.3, 4),
                             Params(200, 1, 60, 0.4, 0.9, 0.3, 4)}) {
    auto twin = MakeTwin(p);
    for (int move = 1; move <= 300; ++move) {
      twin->fast->move.frozenCheckBound = 1;
      ASSERT_EQ(StepBoth(*twin, move), MoveResult::Moved) << p.N << "x" << p.M << " move " << move;
      if (HasFailure()) return;
    }
    ExpectSameState(*twin);
    EXPECT_GT(twin->fast->attempts, 2 * 300);  // failures, each followed by a check
  }
}

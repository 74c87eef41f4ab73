// Reactors in which no move can ever be accepted are reported, in bounded time,
// with the grid as it was.
#include <gtest/gtest.h>

#include <cstring>

#include "sim_helpers.h"

namespace {

void ExpectFrozenAndUntouched(Reactor& reactor) {
  const auto before = Snapshot(reactor);
  RedrawLog log;
  AttachLog(reactor, log);
  EXPECT_EQ(MoveParticle(reactor), MoveResult::Frozen);
  EXPECT_EQ(MoveParticle(reactor), MoveResult::Frozen);  // and stays so
  EXPECT_EQ(std::memcmp(before->cells, reactor.grid, sizeof(ReactorGrid)), 0);
  EXPECT_TRUE(log.cells.empty());
  ExpectCountsMatchGrid(reactor);
}

// Put the reactor's particles in full rows against the bottom (G > 0) or the
// top (G < 0) wall.
void StackRows(Reactor& reactor, int rows, bool atBottom) {
  const SimParams& p = reactor.params;
  for (int r = 1; r <= p.N; ++r) {
    const bool full = atBottom ? r > p.N - rows : r <= rows;
    for (int c = 1; c <= p.M; ++c) reactor.grid[r][c] = full ? Particle : Empty;
    reactor.rowCounts[r] = static_cast<std::int16_t>(full ? p.M : 0);
  }
  reactor.observedRowCount = reactor.rowCounts[p.N];
}

}  // namespace

TEST(FrozenReactor, FullReactorHasNoFreeCell) {
  for (const SimParams& p : {Params(3, 3, 9, 0.5, 0.8, 0.2, 3), Params(1, 1, 1, 1, 1, 1, 10),
                             Params(250, 131, 32750, 1.0, 1.0, 1.0, 10)}) {
    auto reactor = MakeReactor(p);
    ExpectFrozenAndUntouched(*reactor);
  }
}

TEST(FrozenReactor, NoForcesMeansEveryScoreTies) {
  auto reactor = MakeReactor(Params(100, 100, 3000, 0.0, 0.0, 0.0, 3));
  ExpectFrozenAndUntouched(*reactor);
}

TEST(FrozenReactor, SettledLayerUnderGravityAlone) {
  for (double G : {0.3, -0.3}) {
    auto reactor = MakeReactor(Params(12, 10, 30, 0.0, 0.0, G, 2));
    StackRows(*reactor, 3, G > 0);
    ExpectFrozenAndUntouched(*reactor);
  }
  // The same layer under the opposite pull still moves.
  auto lifted = MakeReactor(Params(12, 10, 30, 0.0, 0.0, -0.3, 2));
  StackRows(*lifted, 3, true);
  EXPECT_EQ(MoveParticle(*lifted), MoveResult::Moved);
  EXPECT_EQ(lifted->lastMoveToRow, 9);
}

TEST(FrozenReactor, LastDiagonalStepIsFound) {
  // A full bottom row but for column 1, and one particle above column 2: its
  // step down-left is the only move left. Checking after every failure must
  // find it, and then nothing can move.
  auto reactor = MakeReactor(Params(6, 8, 8, 0.0, 0.0, 0.4, 2));
  StackRows(*reactor, 1, true);
  reactor->grid[6][1] = Empty;
  reactor->grid[5][2] = Particle;
  reactor->rowCounts[5] = 1;
  reactor->rowCounts[6] = 7;
  reactor->observedRowCount = 7;
  reactor->move.frozenCheckBound = 1;
  ASSERT_EQ(MoveParticle(*reactor), MoveResult::Moved);
  EXPECT_EQ(reactor->grid[6][1], Particle);
  EXPECT_EQ(reactor->grid[5][2], Empty);
  ExpectFrozenAndUntouched(*reactor);
}

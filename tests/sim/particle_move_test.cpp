#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdlib>

#include "sim_helpers.h"

namespace {

struct Cell {
  int row = 0, column = 0;
};

Cell FindParticle(const Reactor& reactor) {
  for (int r = 1; r <= reactor.params.N; ++r)
    for (int c = 1; c <= reactor.params.M; ++c)
      if (reactor.grid[r][c] == Particle) return {r, c};
  return {};
}

double Potential(const Reactor& reactor, int r, int c) {
  return AttractionPotential(reactor, static_cast<std::int16_t>(r), static_cast<std::int16_t>(c));
}

}  // namespace

TEST(CellDistance, IsTheEuclideanDistance) {
  EXPECT_EQ(CellDistance(0, 0, 3, 4), 5.0);
  EXPECT_EQ(CellDistance(7, 9, 7, 9), 0.0);
  EXPECT_EQ(CellDistance(1, 2, 2, 1), std::sqrt(2.0));
  EXPECT_EQ(CellDistance(250, 0, 0, 250), std::sqrt(125000.0));
}

TEST(AttractionPotential, CountsTheFrameButNothingBeyondIt) {
  // A one-cell reactor: its eight neighbours are walls, four at 1 and four at
  // sqrt(2). Larger windows reach only empty cells beyond the frame.
  auto small = MakeReactor(Params(1, 1, 1, 1.0, 0.5, 0.0, 1));
  const double framed = Potential(*small, 1, 1);
  EXPECT_DOUBLE_EQ(framed, 4.0 + 4.0 / std::sqrt(2.0));
  for (int rSz : {2, 10}) {
    auto wide = MakeReactor(Params(1, 1, 1, 1.0, 0.5, 0.0, rSz));
    EXPECT_EQ(Potential(*wide, 1, 1), framed) << "rSz " << rSz;
  }
}

TEST(AttractionPotential, WindowStopsAtRowAndColumn250) {
  // Walls alone weigh; the bottom wall row 251 and right wall column 251 are
  // outside every window.
  auto reactor = MakeReactor(Params(250, 250, 1, 1.0, 0.0, 0.0, 10));
  EXPECT_EQ(Potential(*reactor, 250, 125), 0.0);
  EXPECT_EQ(Potential(*reactor, 125, 250), 0.0);
  EXPECT_EQ(Potential(*reactor, 250, 250), 0.0);
  double topWall = 0.0;  // row 0 seen from row 1: columns 115..135
  for (int dj = -10; dj <= 10; ++dj) topWall += 1.0 / std::sqrt(1.0 + dj * dj);
  EXPECT_NEAR(Potential(*reactor, 1, 125), topWall, 1e-12);
  EXPECT_NEAR(Potential(*reactor, 125, 1), topWall, 1e-12);
}

TEST(AttractionPotential, ThePresentCellCountsInTheTargetsScore) {
  auto reactor = MakeReactor(Params(50, 50, 1, 0.0, 0.7, 0.0, 3));
  const Cell p = FindParticle(*reactor);
  EXPECT_EQ(Potential(*reactor, p.row, p.column), 0.0);
  EXPECT_EQ(Potential(*reactor, p.row + 1, p.column), 0.7);
  EXPECT_EQ(Potential(*reactor, p.row, p.column - 1), 0.7);
  EXPECT_EQ(Potential(*reactor, p.row - 1, p.column + 1), 0.7 / std::sqrt(2.0));
  EXPECT_EQ(Potential(*reactor, p.row + 2, p.column), 0.35);
}

TEST(MoveParticle, LoneParticleMovesOnlyByItsOwnCohesion) {
  // Nothing else around: the target scores Kh/d against 0, so it moves every
  // time with Kh > 0 and never with Kh < 0.
  auto attracted = MakeReactor(Params(50, 50, 1, 0.0, 0.7, 0.0, 3));
  for (int i = 0; i < 50; ++i) {
    const Cell before = FindParticle(*attracted);
    ASSERT_EQ(MoveParticle(*attracted), MoveResult::Moved);
    const Cell after = FindParticle(*attracted);
    EXPECT_LE(std::abs(after.row - before.row), 1);
    EXPECT_LE(std::abs(after.column - before.column), 1);
    EXPECT_TRUE(after.row != before.row || after.column != before.column);
  }
  auto repelled = MakeReactor(Params(50, 50, 1, 0.0, -0.7, 0.0, 3));
  EXPECT_EQ(MoveParticle(*repelled), MoveResult::Frozen);
}

TEST(MoveParticle, TiesNeverMove) {
  // One particle in a 1 x 2 reactor: both cells see mirror images of the same
  // walls, summed to the same double, and gravity cannot act sideways.
  auto tied = MakeReactor(Params(1, 2, 1, 1.0, 0.0, 0.5, 1));
  const Cell start = FindParticle(*tied);
  EXPECT_EQ(MoveParticle(*tied), MoveResult::Frozen);
  EXPECT_EQ(FindParticle(*tied).column, start.column);
  EXPECT_GT(tied->attempts, 0);

  // The particle's own cohesion breaks the tie.
  auto untied = MakeReactor(Params(1, 2, 1, 1.0, 0.1, 0.5, 1));
  ASSERT_EQ(MoveParticle(*untied), MoveResult::Moved);
  EXPECT_EQ(FindParticle(*untied).column, 3 - start.column);

  auto still = MakeReactor(Params(20, 20, 100, 0.0, 0.0, 0.0, 4));
  EXPECT_EQ(MoveParticle(*still), MoveResult::Frozen);
}

TEST(MoveParticle, GravityAloneMovesDownUntilTheLayerSettles) {
  for (double G : {0.5, -0.5}) {
    auto reactor = MakeReactor(Params(30, 20, 100, 0.0, 0.0, G, 2));
    const int down = G > 0 ? 1 : -1;
    int moves = 0;
    while (MoveParticle(*reactor) == MoveResult::Moved) {
      ASSERT_EQ(reactor->lastMoveToRow - reactor->lastMoveFromRow, down);
      ASSERT_LT(++moves, 100 * 30);  // each particle crosses the reactor at most once
    }
    EXPECT_GT(moves, 100);
    // Settled: every particle rests on a wall or on particles below it.
    for (int r = 1; r <= 30; ++r)
      for (int c = 1; c <= 20; ++c) {
        if (reactor->grid[r][c] != Particle) continue;
        for (int dc = -1; dc <= 1; ++dc)
          EXPECT_NE(reactor->grid[r + down][c + dc], Empty) << "G " << G << " at " << r << "," << c;
      }
    ExpectCountsMatchGrid(*reactor);
  }
}

TEST(MoveParticle, RedrawsItsTwoCellsAndKeepsTheRowCounts) {
  auto reactor = MakeReactor(Params(40, 30, 300, 0.5, 0.5, 0.2, 2));
  RedrawLog log;
  AttachLog(*reactor, log);
  for (int i = 0; i < 500; ++i) {
    const auto before = Snapshot(*reactor);
    log.cells.clear();
    ASSERT_EQ(MoveParticle(*reactor), MoveResult::Moved);
    ASSERT_EQ(log.cells.size(), 2u);
    const RedrawnCell from = log.cells[0], to = log.cells[1];
    EXPECT_EQ(from.state, Empty);
    EXPECT_EQ(to.state, Particle);
    EXPECT_EQ(from.N, 40);
    EXPECT_EQ(to.M, 30);
    EXPECT_EQ(before->cells[from.row][from.column], Particle);
    EXPECT_EQ(before->cells[to.row][to.column], Empty);
    EXPECT_EQ(reactor->grid[from.row][from.column], Empty);
    EXPECT_EQ(reactor->grid[to.row][to.column], Particle);
    EXPECT_LE(std::abs(to.row - from.row), 1);
    EXPECT_LE(std::abs(to.column - from.column), 1);
    EXPECT_EQ(reactor->lastMoveFromRow, from.row);
    EXPECT_EQ(reactor->lastMoveToRow, to.row);
    ExpectCountsMatchGrid(*reactor);
  }
  // No hook: moves go on drawing nothing.
  reactor->redraw.drawCell = nullptr;
  EXPECT_EQ(MoveParticle(*reactor), MoveResult::Moved);
  ExpectCountsMatchGrid(*reactor);
}

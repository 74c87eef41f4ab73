#include <gtest/gtest.h>

#include "reference_sim.h"
#include "sim_helpers.h"

TEST(SetUpReactor, DrawsTheColumnBeforeTheRow) {
  // First outputs map to column 10 + 1 of 20 and row 5 + 1 of 10.
  auto reactor = MakeReactor(Params(10, 20, 1, 0, 0, 0, 1));
  EXPECT_EQ(reactor->grid[6][11], Particle);
  EXPECT_EQ(CountCells(*reactor, Particle), 1);
}

TEST(SetUpReactor, FramesTheSpaceAndLeavesCellsBeyondItEmpty) {
  auto reactor = MakeReactor(Params(3, 4, 5, 0.5, 0.5, 0.5, 2));
  for (int r = 0; r < GridSide; ++r) {
    for (int col = 0; col < GridSide; ++col) {
      const CellState cell = reactor->grid[r][col];
      const bool inFrame = r <= 4 && col <= 5;
      const bool onFrame = inFrame && (r == 0 || r == 4 || col == 0 || col == 5);
      if (onFrame) EXPECT_EQ(cell, Wall) << r << "," << col;
      else if (inFrame) EXPECT_NE(cell, Wall) << r << "," << col;
      else EXPECT_EQ(cell, Empty) << r << "," << col;
    }
  }
  ExpectCountsMatchGrid(*reactor);
}

TEST(SetUpReactor, LargestReactorUsesTheLastRowAndColumnAsWalls) {
  auto reactor = MakeReactor(Params(250, 250, 7, 0, 0, 0, 10));
  for (int i = 0; i <= 251; ++i) {
    EXPECT_EQ(reactor->grid[0][i], Wall);
    EXPECT_EQ(reactor->grid[251][i], Wall);
    EXPECT_EQ(reactor->grid[i][0], Wall);
    EXPECT_EQ(reactor->grid[i][251], Wall);
  }
  EXPECT_EQ(CountCells(*reactor, Wall), 4 * 251);
  EXPECT_EQ(CountCells(*reactor, Empty), 250 * 250 - 7);
  ExpectCountsMatchGrid(*reactor);
}

TEST(SetUpReactor, FullReactorFillsEveryCell) {
  auto reactor = MakeReactor(Params(7, 9, 63, 0, 0, 0, 1));
  for (int r = 1; r <= 7; ++r) {
    EXPECT_EQ(reactor->rowCounts[r], 9);
    for (int col = 1; col <= 9; ++col) EXPECT_EQ(reactor->grid[r][col], Particle);
  }
  EXPECT_EQ(reactor->observedRowCount, 9);
  ExpectCountsMatchGrid(*reactor);
}

TEST(SetUpReactor, SingleRowIsTheObservedRow) {
  auto reactor = MakeReactor(Params(1, 50, 30, 0, 0, 0, 1));
  EXPECT_EQ(reactor->observedRow, 1);
  EXPECT_EQ(reactor->observedRowCount, 30);
  for (int col = 0; col <= 51; ++col) {
    EXPECT_EQ(reactor->grid[0][col], Wall);
    EXPECT_EQ(reactor->grid[2][col], Wall);
  }
  ExpectCountsMatchGrid(*reactor);
}

TEST(SetUpReactor, PlacementIsReproducibleAndMatchesTheReference) {
  const SimParams cases[] = {Params(40, 40, 800, 0, 0, 0, 1), Params(1, 1, 1, 0, 0, 0, 1),
                             Params(12, 5, 60, 0, 0, 0, 1), Params(250, 250, 32767, 0, 0, 0, 1),
                             Params(250, 3, 700, 0, 0, 0, 1)};
  for (const SimParams& p : cases) {
    auto first = MakeReactor(p);
    auto second = MakeReactor(p);
    auto literal = std::make_unique<reference::Model>();
    literal->params = p;
    reference::SetUp(*literal);
    for (int r = 0; r < GridSide; ++r)
      for (int col = 0; col < GridSide; ++col) {
        ASSERT_EQ(first->grid[r][col], second->grid[r][col]);
        ASSERT_EQ(first->grid[r][col], literal->grid[r][col]) << p.N << "x" << p.M;
      }
    for (int r = 0; r < RowCountLength; ++r) ASSERT_EQ(first->rowCounts[r], literal->rowCounts[r]);
    ExpectCountsMatchGrid(*first);
  }
}

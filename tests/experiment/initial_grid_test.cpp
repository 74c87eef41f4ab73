// Runs from a grid of one's own: which grids are refused and where, and
// that the seed's stream starts with the first move.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "experiment/initial_grid.h"
#include "sim/particle_move.h"
#include "sim/reference_sim.h"

namespace {

struct GridCase {
  const char* text;
  bool accepted;
  int row, column;  // where the problem is (-1: not one cell's)
};

const GridCase GridCases[] = {
    {"000\n020\n000\n", true, -1, -1},
    {"000\r\n020\r\n000", true, -1, -1},          // Windows line ends, no last one
    {"0000\n0210\n0000\n", true, -1, -1},
    {"000\n010\n000\n", false, -1, -1},           // no particle
    {"000\n020\n000\n\n", false, 3, 0},           // an empty line is a ragged one
    {"000\n0200\n000\n", false, 1, 3},            // ragged
    {"000\n02\n000\n", false, 1, 2},
    {"000\n0x0\n000\n", false, 1, 1},             // another character
    {"000\n030\n000\n", false, 1, 1},             // another digit
    {"000\n120\n000\n", false, 1, 0},             // not framed
    {"000\n022\n000\n", false, 1, 2},
    {"00000\n02000\n00000\n", false, 1, 2},       // a wall inside the frame
    {"000\n000\n", false, -1, -1},                // too small: no row inside
    {"", false, -1, -1},
};

TEST(InitialGrid, GridsAreRefusedWithTheLineAndColumnOfTheirProblem) {
  for (const GridCase& c : GridCases) {
    auto grid = std::make_unique<InitialGrid>();
    GridProblem problem;
    const bool accepted =
        ReadGridText(c.text, *grid, problem) && CheckInitialGrid(CellsOf(*grid), problem);
    EXPECT_EQ(accepted, c.accepted) << c.text;
    if (accepted) continue;
    EXPECT_EQ(problem.row, c.row) << c.text << problem.reason;
    EXPECT_EQ(problem.column, c.column) << c.text << problem.reason;
    EXPECT_STRNE(problem.reason, "");
  }
  // Past 250 x 250 (252 with the walls), in either direction.
  auto grid = std::make_unique<InitialGrid>();
  GridProblem problem;
  std::string wide = std::string(253, '0') + "\n";
  EXPECT_FALSE(ReadGridText(wide + wide + wide, *grid, problem));
  EXPECT_EQ(problem.column, 252);
  std::string tall;
  for (int r = 0; r < 253; ++r) tall += "000\n";
  EXPECT_FALSE(ReadGridText(tall, *grid, problem));
  EXPECT_EQ(problem.row, 252);
  // 32768 particles are more than K can hold.
  std::string many = std::string(252, '0') + "\n";
  for (int r = 1; r <= 250; ++r) many += "0" + std::string(250, '2') + "0\n";
  many += std::string(252, '0') + "\n";
  ASSERT_TRUE(ReadGridText(many, *grid, problem));
  EXPECT_FALSE(CheckInitialGrid(CellsOf(*grid), problem));
  EXPECT_EQ(problem.row, 132);  // the 32768th particle: 131 rows of 250, then 18 more
}

TEST(InitialGrid, ARunFromAGridMakesNoPlacementDrawsAndMovesAsTheReferenceDoes) {
  // A drop in the middle of a 30 x 40 reactor.
  auto grid = std::make_unique<InitialGrid>();
  grid->rows = 32;
  grid->columns = 42;
  int particles = 0;
  for (int r = 0; r < grid->rows; ++r)
    for (int c = 0; c < grid->columns; ++c) {
      const bool frame = r == 0 || c == 0 || r == 31 || c == 41;
      const bool drop = (r - 12) * (r - 12) + (c - 20) * (c - 20) <= 36;
      grid->cells[r][c] = frame ? Wall : drop ? Particle : Empty;
      particles += !frame && drop;
    }
  GridProblem problem;
  ASSERT_TRUE(CheckInitialGrid(CellsOf(*grid), problem)) << problem.reason;
  auto run = std::make_unique<::Run>();
  SetUpRunFromGrid(*run, CellsOf(*grid), 0.3, 0.9, 0.4, 2, 1234);
  EXPECT_EQ(run->reactor.params.N, 30);
  EXPECT_EQ(run->reactor.params.M, 40);
  EXPECT_EQ(run->reactor.params.K, particles);
  EXPECT_EQ(run->T, 0);

  auto literal = std::make_unique<reference::Model>();
  literal->params = run->reactor.params;
  std::memcpy(literal->grid, run->reactor.grid, sizeof literal->grid);
  std::memcpy(literal->rowCounts, run->reactor.rowCounts, sizeof literal->rowCounts);
  literal->observedRow = 30;
  literal->observedRowCount = literal->rowCounts[30];
  literal->twister.seed = 1234;  // its first draw starts the stream
  for (int move = 0; move < 300; ++move) {
    ASSERT_NE(reference::MoveParticle(*literal).r0, -1);
    ASSERT_EQ(StepRun(*run, 1).moves, 1);
    ASSERT_EQ(std::memcmp(literal->grid, run->reactor.grid, sizeof literal->grid), 0) << move;
  }
}

}  // namespace

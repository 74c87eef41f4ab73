// Helpers shared by the simulation tests: a set-up reactor on the heap, a log
// of the cells a move redraws, and counts read straight from a grid.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "sim/particle_move.h"
#include "sim/reactor.h"

inline SimParams Params(int N, int M, int K, double Ah, double Kh, double G, int rSz) {
  SimParams p;
  p.N = static_cast<std::int16_t>(N);
  p.M = static_cast<std::int16_t>(M);
  p.K = static_cast<std::int16_t>(K);
  p.Ah = Ah;
  p.Kh = Kh;
  p.G = G;
  p.rSz = static_cast<std::int16_t>(rSz);
  return p;
}

// Every vector level this CPU has, the portable code first.
inline std::vector<SimdLevel> LevelsHere() {
  std::vector<SimdLevel> levels;
  for (int l = 0; l <= static_cast<int>(DetectSimd()); ++l) levels.push_back(SimdLevel(l));
  return levels;
}

// Set up from this seed, with the random source and the move at this vector level.
inline std::unique_ptr<Reactor> MakeReactor(const SimParams& p, SimdLevel simd = DetectSimd(),
                                            std::uint32_t seed = 0) {
  auto reactor = std::make_unique<Reactor>();
  reactor->params = p;
  reactor->random.simd = simd;
  reactor->random.seed = seed;
  SetUpReactor(*reactor);
  return reactor;
}

// A copy of a grid, to compare with after moves.
struct GridSnapshot {
  ReactorGrid cells;
};

inline std::unique_ptr<GridSnapshot> Snapshot(const Reactor& reactor) {
  auto copy = std::make_unique<GridSnapshot>();
  std::memcpy(copy->cells, reactor.grid, sizeof(ReactorGrid));
  return copy;
}

struct RedrawnCell {
  int N, M, row, column;
  CellState state;
};

struct RedrawLog {
  std::vector<RedrawnCell> cells;
};

inline void LogRedraw(void* context, std::int16_t N, std::int16_t M, std::uint16_t row,
                      std::uint16_t column, CellState state) {
  static_cast<RedrawLog*>(context)->cells.push_back({N, M, row, column, state});
}

inline void AttachLog(Reactor& reactor, RedrawLog& log) {
  reactor.redraw.context = &log;
  reactor.redraw.drawCell = LogRedraw;
}

inline int CountCells(const Reactor& reactor, CellState state) {
  int n = 0;
  for (const auto& row : reactor.grid)
    for (CellState cell : row) n += cell == state;
  return n;
}

// Row counts against the grid, and the invariants every state must keep.
inline void ExpectCountsMatchGrid(const Reactor& reactor) {
  const SimParams& p = reactor.params;
  int total = 0;
  for (int r = 0; r < RowCountLength; ++r) {
    int inRow = 0;
    for (int col = 0; col < GridSide; ++col) inRow += reactor.grid[r][col] == Particle;
    EXPECT_EQ(reactor.rowCounts[r], inRow) << "row " << r;
    if (r == 0 || r > p.N) {
      EXPECT_EQ(reactor.rowCounts[r], 0) << "row " << r;
    }
    total += reactor.rowCounts[r];
  }
  EXPECT_EQ(total, p.K);
  int inSpace = 0;  // particles only ever inside the frame
  for (int r = 1; r <= p.N; ++r)
    for (int col = 1; col <= p.M; ++col) inSpace += reactor.grid[r][col] == Particle;
  EXPECT_EQ(inSpace, p.K);
  EXPECT_EQ(CountCells(reactor, Particle), p.K);
  EXPECT_EQ(reactor.observedRow, p.N);
  EXPECT_EQ(reactor.observedRowCount, reactor.rowCounts[p.N]);
}

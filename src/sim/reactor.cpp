#include "sim/reactor.h"

#include <cassert>
#include <cmath>

#include "sim/particle_move.h"

void SetUpReactor(Reactor& reactor) {
  const SimParams& p = reactor.params;
  assert(p.N >= 1 && p.N <= ReactorLimit && p.M >= 1 && p.M <= ReactorLimit);
  assert(p.K >= 1 && p.K <= p.N * p.M);
  assert(p.rSz >= 1 && p.rSz <= RadiusLimit);
  assert(std::fabs(p.Ah) <= StrengthLimit && std::fabs(p.Kh) <= StrengthLimit &&
         std::fabs(p.G) <= StrengthLimit);

  for (std::int16_t& count : reactor.rowCounts) count = 0;
  for (auto& row : reactor.grid)
    for (CellState& cell : row) cell = Empty;
  for (int col = 0; col <= p.M + 1; ++col) {
    reactor.grid[0][col] = Wall;
    reactor.grid[p.N + 1][col] = Wall;
  }
  for (int r = 1; r <= p.N; ++r) {
    reactor.grid[r][0] = Wall;
    reactor.grid[r][p.M + 1] = Wall;
  }
  // Column first, then row; an occupied cell is drawn again.
  for (int placed = 0; placed < p.K; ++placed) {
    for (;;) {
      const int col = Random(reactor.random, p.M) + 1;
      const int r = Random(reactor.random, p.N) + 1;
      if (reactor.grid[r][col] != Empty) continue;
      reactor.grid[r][col] = Particle;
      ++reactor.rowCounts[r];
      break;
    }
  }
  StartReactor(reactor);
}

void StartReactor(Reactor& reactor) {
  reactor.observedRow = reactor.params.N;
  reactor.observedRowCount = reactor.rowCounts[reactor.observedRow];
  reactor.attempts = 0;
  PrepareMove(reactor);
}

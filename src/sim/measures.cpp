// The measures of measures.h, counted straight from the grid and the row
// counts; none of them changes the reactor or draws a random number.
#include "sim/measures.h"


std::int32_t WallContacts(const Reactor& reactor) {
  const SimParams& p = reactor.params;
  std::int32_t contacts = 0;
  for (int r = 1; r <= p.N; ++r) {
    for (int c = 1; c <= p.M; ++c) {
      if (reactor.grid[r][c] != Particle) continue;
      bool touches = false;
      for (int dr = -1; dr <= 1; ++dr)
        for (int dc = -1; dc <= 1; ++dc) touches |= reactor.grid[r + dr][c + dc] == Wall;
      contacts += touches;
    }
  }
  return contacts;
}

std::int32_t InterfaceLength(const Reactor& reactor) {
  const SimParams& p = reactor.params;
  std::int32_t pairs = 0;
  for (int r = 1; r <= p.N; ++r) {
    for (int c = 1; c <= p.M; ++c) {
      const CellState here = reactor.grid[r][c];
      // Each pair once: with the right and the lower neighbour.
      if (c < p.M && (here == Particle) != (reactor.grid[r][c + 1] == Particle)) ++pairs;
      if (r < p.N && (here == Particle) != (reactor.grid[r + 1][c] == Particle)) ++pairs;
    }
  }
  return pairs;
}

double MeanRow(const Reactor& reactor) {
  std::int64_t rowSum = 0;  // exact: at most 32767 * 250
  for (int r = 1; r <= reactor.params.N; ++r) rowSum += std::int64_t{r} * reactor.rowCounts[r];
  return static_cast<double>(rowSum) / reactor.params.K;
}

Measures MeasureReactor(const Reactor& reactor) {
  Measures m;
  m.bottom = reactor.rowCounts[reactor.params.N];
  m.wallContacts = WallContacts(reactor);
  m.interface = InterfaceLength(reactor);
  m.meanRow = MeanRow(reactor);
  return m;
}

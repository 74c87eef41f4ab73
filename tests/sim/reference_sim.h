// A literal second implementation of the reactor set-up and the particle move,
// written step by step from their definitions with no shortcut: its own grid,
// row counts and Mersenne Twister (from the recurrence, not the library). The
// production code is checked against it move for move. Its move draws until a
// move is accepted, so call it only where a move exists.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "sim/reactor.h"

namespace reference {

inline constexpr std::int32_t WallCell = 0, EmptyCell = 1, ParticleCell = 2;

// MT19937: initialisation from a seed, the twist, and the tempering.
struct Twister {
  std::uint32_t x[624];
  int index = 625;         // 625: not yet initialised
  std::uint32_t seed = 0;  // what the first draw initialises from
};

inline void SeedTwister(Twister& t, std::uint32_t seed) {
  t.x[0] = seed;
  for (int i = 1; i < 624; ++i) t.x[i] = 1812433253u * (t.x[i - 1] ^ (t.x[i - 1] >> 30)) + i;
  t.index = 624;
}

inline std::uint32_t NextTwister(Twister& t) {
  if (t.index == 625) SeedTwister(t, t.seed);
  if (t.index == 624) {
    for (int i = 0; i < 624; ++i) {
      const std::uint32_t y = (t.x[i] & 0x80000000u) | (t.x[(i + 1) % 624] & 0x7fffffffu);
      t.x[i] = t.x[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908b0dfu : 0u);
    }
    t.index = 0;
  }
  std::uint32_t y = t.x[t.index++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

struct Model {
  SimParams params;
  std::int32_t grid[252][252];
  std::int16_t rowCounts[251];
  std::int16_t observedRow, observedRowCount, lastMoveFromRow, lastMoveToRow;
  Twister twister;
  std::int64_t attempts = 0;  // times a target was drawn
};

inline std::int32_t Random(Model& m, std::int32_t n) {
  const std::uint64_t x = NextTwister(m.twister);
  return static_cast<std::int32_t>((x * static_cast<std::uint64_t>(n)) >> 32);
}

inline void SetUp(Model& m) {
  const int N = m.params.N, M = m.params.M;
  for (int r = 0; r <= 250; ++r) m.rowCounts[r] = 0;
  for (int r = 0; r <= 251; ++r)
    for (int col = 0; col <= 251; ++col) m.grid[r][col] = EmptyCell;
  for (int col = 0; col <= M + 1; ++col) {
    m.grid[0][col] = WallCell;
    m.grid[N + 1][col] = WallCell;
  }
  for (int r = 1; r <= N; ++r) {
    m.grid[r][0] = WallCell;
    m.grid[r][M + 1] = WallCell;
  }
  for (int k = 0; k < m.params.K; ++k) {
    int col, r;
    do {  // column first, then row; again while the cell is taken
      col = Random(m, M) + 1;
      r = Random(m, N) + 1;
    } while (m.grid[r][col] != EmptyCell);
    m.grid[r][col] = ParticleCell;
    m.rowCounts[r] = static_cast<std::int16_t>(m.rowCounts[r] + 1);
  }
  m.observedRow = static_cast<std::int16_t>(N);
  m.observedRowCount = m.rowCounts[m.observedRow];
}

inline double CellDistance(std::int16_t r1, std::int16_t c1, std::int16_t r2, std::int16_t c2) {
  const std::int32_t squares = (std::int32_t{r1} - r2) * (std::int32_t{r1} - r2) +
                               (std::int32_t{c1} - c2) * (std::int32_t{c1} - c2);
  return std::sqrt(static_cast<double>(squares));
}

inline double AttractionPotential(const Model& m, std::int16_t r, std::int16_t c) {
  const int rSz = m.params.rSz;
  double sum = 0.0;
  const int top = std::max(0, r - rSz), bottom = std::min(250, r + rSz);
  const int left = std::max(0, c - rSz), right = std::min(250, c + rSz);
  for (int i = top; i <= bottom; ++i) {
    for (int j = left; j <= right; ++j) {
      if (i == r && j == c) continue;
      const auto ii = static_cast<std::int16_t>(i), jj = static_cast<std::int16_t>(j);
      if (m.grid[i][j] == WallCell) sum = sum + m.params.Ah / CellDistance(r, c, ii, jj);
      if (m.grid[i][j] == ParticleCell) sum = sum + m.params.Kh / CellDistance(r, c, ii, jj);
    }
  }
  return sum;
}

struct Move {
  std::int16_t r0, c0, r1, c1;
};

// Gives up with r0 = -1 after GiveUpAttempts failures in a row, so that a
// faulty production move fails a test instead of hanging it.
inline constexpr std::int64_t GiveUpAttempts = 20'000'000;

inline Move MoveParticle(Model& m) {
  for (std::int64_t failures = 0; failures < GiveUpAttempts; ++failures) {
    std::int16_t r0, c0;
    do {
      r0 = static_cast<std::int16_t>(Random(m, m.params.N) + 1);
      c0 = static_cast<std::int16_t>(Random(m, m.params.M) + 1);
    } while (m.grid[r0][c0] != ParticleCell);
    const auto r1 = static_cast<std::int16_t>(r0 + Random(m, 3) - 1);
    const auto c1 = static_cast<std::int16_t>(c0 + Random(m, 3) - 1);
    ++m.attempts;
    const double S = AttractionPotential(m, r1, c1) + m.params.G * (r1 - r0);
    const double P0 = AttractionPotential(m, r0, c0);
    if (S <= P0) continue;
    if (m.grid[r1][c1] != EmptyCell) continue;
    m.grid[r0][c0] = EmptyCell;
    m.grid[r1][c1] = ParticleCell;
    m.lastMoveFromRow = r0;
    m.lastMoveToRow = r1;
    m.rowCounts[r0] = static_cast<std::int16_t>(m.rowCounts[r0] - 1);
    m.rowCounts[r1] = static_cast<std::int16_t>(m.rowCounts[r1] + 1);
    m.observedRowCount = m.rowCounts[m.observedRow];
    return {r0, c0, r1, c1};
  }
  return {-1, -1, -1, -1};
}

// Whether steps 3 to 6 would accept some particle's step to some neighbour.
inline bool AnyMovePossible(const Model& m) {
  for (int r0 = 1; r0 <= m.params.N; ++r0)
    for (int c0 = 1; c0 <= m.params.M; ++c0) {
      if (m.grid[r0][c0] != ParticleCell) continue;
      for (int r1 = r0 - 1; r1 <= r0 + 1; ++r1)
        for (int c1 = c0 - 1; c1 <= c0 + 1; ++c1) {
          const auto a = static_cast<std::int16_t>(r0), b = static_cast<std::int16_t>(c0);
          const auto x = static_cast<std::int16_t>(r1), y = static_cast<std::int16_t>(c1);
          const double S = AttractionPotential(m, x, y) + m.params.G * (r1 - r0);
          if (S > AttractionPotential(m, a, b) && m.grid[r1][c1] == EmptyCell) return true;
        }
    }
  return false;
}

}  // namespace reference

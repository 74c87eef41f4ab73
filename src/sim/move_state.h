// Working state of the particle move, kept inside the reactor so that the move
// allocates nothing. Only particle_move.cpp reads or writes it; a faster move
// may replace this record together with that file.
#pragma once

#include <cstdint>

// Largest neighbourhood radius rSz; it sizes the weight table.
inline constexpr int RadiusLimit = 10;
inline constexpr int WeightTableSide = 2 * RadiusLimit + 1;

struct MoveState {
  // weight[di][dj][state]: what a cell of that state at offset (di, dj) from
  // the centre (indices shifted by rSz) adds to a potential: Ah/d for a wall,
  // Kh/d for a particle, 0 for an empty cell and for the centre itself. The
  // same doubles the division in the potential's definition gives.
  double weight[WeightTableSide][WeightTableSide][4];
  std::int64_t failedAttempts;     // attempts since the last accepted move
  std::int64_t frozenCheckBound;   // failed attempts before the next full check
  bool frozen;                     // a full check found no possible move
};

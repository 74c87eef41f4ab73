// Working state of the particle move, kept inside the reactor so that the move
// allocates nothing: the exact weight table, a byte copy of the grid, the
// fixed-point potentials, the particle picks looked at in one go, and the
// frozen-reactor bookkeeping. Only the move (particle_move.cpp) reads or
// writes it; it is built from the grid at the first move after PrepareMove.
#pragma once

#include <cstdint>

#include "sim/lattice.h"
#include "sim/potential_field.h"
#include "sim/simd.h"

// Picks looked at in one go: one bit each of a 64-bit word.
inline constexpr int PickBatchLimit = 64;
// Bytes after the last cell, so that a vector gather of four bytes at any
// cell stays inside the array.
inline constexpr int CellPadding = 4;

struct MoveState {
  // weight[di][dj][state]: what a cell of that state at offset (di, dj) from
  // the centre (indices shifted by RadiusLimit) adds to a potential: Ah/d for
  // a wall, Kh/d for a particle, 0 for an empty cell and for the centre
  // itself. The same doubles the division in the potential's definition gives.
  double weight[WeightTableSide][WeightTableSide][4];
  PotentialField field;
  std::uint8_t cells[CellCount + CellPadding];  // the grid's states, cell r * GridSide + c
  std::uint32_t pickCell[PickBatchLimit];       // the cell each pick of a batch lands on
  std::int64_t failedAttempts;     // attempts since the last accepted move
  std::int64_t frozenCheckBound;   // failed attempts before the next full check
  bool frozen;                     // a full check found no possible move
  bool built;                      // cells and field match the grid
  SimdLevel simd;
};

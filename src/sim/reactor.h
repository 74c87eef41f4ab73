// The reactor model: the lattice of cells with its wall frame, the run
// parameters, the particle count of every row, the observed bottom row, and the
// one random source of the simulation. SetUpReactor fills it once; afterwards
// only MoveParticle (particle_move.h) changes it, and the display reads it.
#pragma once

#include <cstdint>

#include "sim/lattice.h"
#include "sim/move_state.h"
#include "sim/random_source.h"

// The run parameters; ranges: N, M 1..250, K 1..N*M, Ah, Kh, G -1..1, rSz 1..10.
struct SimParams {
  std::int16_t N = 1, M = 1, K = 1;
  double Ah = 0.0, Kh = 0.0, G = 0.0;
  std::int16_t rSz = 1;
};

// Where a move reports the two cells it changed; drawCell null draws nothing.
struct CellRedrawHook {
  void* context = nullptr;
  void (*drawCell)(void* context, std::int16_t N, std::int16_t M, std::uint16_t row,
                   std::uint16_t column, CellState state) = nullptr;
};

struct Reactor {
  SimParams params;
  ReactorGrid grid;
  RowCounts rowCounts;
  std::int16_t observedRow = 0;        // N: the row just above the bottom wall
  std::int16_t observedRowCount = 0;   // always rowCounts[observedRow]
  std::int16_t lastMoveFromRow = 0;    // rows of the last accepted move
  std::int16_t lastMoveToRow = 0;
  RandomSource random;
  CellRedrawHook redraw;
  std::int64_t attempts = 0;  // particle and target tries of MoveParticle so far
  MoveState move;
};

// Frame the reactor space with walls and scatter params.K particles over it at
// random. Reads params (which must lie in their ranges) and random.seed (0 for
// the program's own run); call once per reactor.
void SetUpReactor(Reactor& reactor);

// Ready a reactor whose grid, rowCounts and params are placed to move: the
// observed row, no attempts yet and the move's tables. SetUpReactor ends so;
// a run from a grid of one's own calls it itself.
void StartReactor(Reactor& reactor);

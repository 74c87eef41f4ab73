// The reactor model: the lattice of cells with its wall frame, the run
// parameters, the particle count of every row, the observed bottom row, and the
// one random source of the simulation. SetUpReactor fills it once; afterwards
// only MoveParticle (particle_move.h) changes it, and the display reads it.
#pragma once

#include <cstdint>
#include <random>

#include "sim/move_state.h"

// Largest N and M; the grid always has room for the largest reactor.
inline constexpr int ReactorLimit = 250;
// Rows and columns of the grid: the reactor space plus its wall frame.
inline constexpr int GridSide = ReactorLimit + 2;
// Entries of RowCounts: rows 0..250 (the histogram copies it whole).
inline constexpr int RowCountLength = ReactorLimit + 1;
// K is a signed 16-bit count.
inline constexpr int ParticleLimit = 32767;
// Ah, Kh and G lie in -StrengthLimit..StrengthLimit.
inline constexpr double StrengthLimit = 1.0;

// The numeric values are what the reactor view colours by.
enum CellState : std::int32_t { Wall = 0, Empty = 1, Particle = 2 };

using ReactorGrid = CellState[GridSide][GridSide];  // [row][column]
using RowCounts = std::int16_t[RowCountLength];

// The run parameters; ranges: N, M 1..250, K 1..N*M, Ah, Kh, G -1..1, rSz 1..10.
struct SimParams {
  std::int16_t N = 1, M = 1, K = 1;
  double Ah = 0.0, Kh = 0.0, G = 0.0;
  std::int16_t rSz = 1;
};

// MT19937 seeded once with 0 and never again: every run with the same
// parameters is the same run.
struct RandomSource {
  std::mt19937 engine{0};
};

// A generator output x in 0..2^32-1 mapped to 0..n-1 as (x * n) >> 32.
inline std::int32_t ScaleToRange(std::uint32_t x, std::int32_t n) {
  return static_cast<std::int32_t>((static_cast<std::uint64_t>(x) *
                                    static_cast<std::uint64_t>(n)) >> 32);
}

// The next random integer in 0..n-1 (n > 0).
inline std::int32_t Random(RandomSource& source, std::int32_t n) {
  return ScaleToRange(static_cast<std::uint32_t>(source.engine()), n);
}

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
// random. Reads params (which must lie in their ranges); call once per reactor.
void SetUpReactor(Reactor& reactor);

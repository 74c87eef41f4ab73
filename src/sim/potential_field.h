// The potential of every cell in fixed point, kept current move by move, so
// that most attempts are decided by two loads and a comparison.
//
// Each weight w of the move's table (Ah/d, Kh/d) is rounded to the integer
// q = round(w * 2^shift). A cell's fixed-point potential is the sum of the q
// of its window, in integers: exact whatever the order, so a change of one
// cell adds or takes its q to or from every cell around it, and the field
// never drifts. It differs from the ordered double sum only by the rounding
// of each q and the rounding of the double additions; FieldVerdict decides a
// comparison from it only when the difference is beyond both (see margin).
#pragma once

#include <cstdint>

#include "sim/lattice.h"
#include "sim/simd.h"

// Cells of the flat grids of the move: cell (r, c) is r * GridSide + c.
inline constexpr int CellCount = GridSide * GridSide;
inline constexpr int WeightTableSide = 2 * RadiusLimit + 1;

// A fixed-point weight per offset (row, column shifted by RadiusLimit).
using FieldTable = std::int64_t[WeightTableSide][WeightTableSide];
// The cells whose potential a step of one particle changes: the box around
// both windows, one row and column more than a window for a diagonal step.
inline constexpr int StepTableSide = WeightTableSide + 1;
using StepTable = std::int64_t[StepTableSide][StepTableSide];

struct PotentialField {
  std::int64_t value[CellCount];  // cells 1..N x 1..M; 0 elsewhere
  FieldTable wall;                // q of a wall at each offset
  FieldTable particle;            // q of a particle
  // step[dr + 1][dc + 1]: what each cell of the box gains when a particle
  // steps by (dr, dc): q from its new place less q from its old one. One pass
  // over the box instead of two over overlapping windows.
  StepTable step[3][3];
  std::int64_t gravity;           // round(G * 2^shift)
  // Largest |fixed-point score difference| whose sign may disagree with the
  // exact comparison; above it the fixed point decides.
  std::int64_t margin;
  int shift;
};

enum class Verdict { Reject, Accept, Undecided };

// Tables, gravity and margin from the move's exact weights weight[di][dj][state]
// (indices shifted by RadiusLimit) for radius rSz and gravity G.
void PrepareField(PotentialField& field, const double (&weight)[WeightTableSide][WeightTableSide][4],
                  int rSz, double G);

// Add table (centred on (row, column)) to the value of every cell 1..N x 1..M
// within rSz rows and columns of it: a cell of that state appeared there.
void AddToField(PotentialField& field, int N, int M, int rSz, int row, int column,
                const FieldTable& table, SimdLevel simd);

// A particle stepped from (r0, c0) to the adjacent (r1, c1): update every
// cell 1..N x 1..M whose window holds either.
void StepInField(PotentialField& field, int N, int M, int rSz, int r0, int c0, int r1, int c1,
                 SimdLevel simd);

// Whether moving the particle at cell `from` to cell `to` (dr rows down) wins,
// as far as the fixed point can tell.
inline Verdict FieldVerdict(const PotentialField& field, int from, int to, int dr) {
  const std::int64_t delta = field.value[to] - field.value[from] + dr * field.gravity;
  if (delta > field.margin) return Verdict::Accept;
  if (delta < -field.margin) return Verdict::Reject;
  return Verdict::Undecided;
}

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
//
// A cell that is not empty carries Blocked less in its value, so that the one
// comparison also rejects a step onto a wall or a particle.
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

// Far below any score difference: fixed-point potentials and their
// differences stay within 2^60 (see PrepareField).
inline constexpr std::int64_t Blocked = std::int64_t{1} << 61;

struct PotentialField {
  // The fixed-point potential of cells 1..N x 1..M (0 elsewhere), less
  // Blocked for every cell that is not empty.
  std::int64_t value[CellCount];
  FieldTable wall;                // q of a wall at each offset
  FieldTable particle;            // q of a particle
  // step[dr + 1][dc + 1]: what each cell of the box gains when a particle
  // steps by (dr, dc): q from its new place less q from its old one. One pass
  // over the box instead of two over overlapping windows.
  StepTable step[3][3];
  std::int64_t gravity;           // round(G * 2^shift)
  // stepScore[dr + 1] = dr * gravity - Blocked: added to value[to] -
  // value[from] (from a particle, so Blocked below its potential) it gives
  // the fixed-point score difference of an empty target.
  std::int64_t stepScore[3];
  // Largest |fixed-point score difference| whose sign may disagree with the
  // exact comparison; above it the fixed point decides.
  std::int64_t margin;
  int shift;
};

enum class Verdict { Reject, Accept, Undecided };

// Tables, gravity and margin from the move's exact weights weight[di][dj][state]
// (indices shifted by RadiusLimit) for radius rSz and gravity G.
void PrepareField(PotentialField& field,
                  const double (&weight)[WeightTableSide][WeightTableSide][4], int rSz, double G);

// Add table (centred on (row, column)) to the value of every cell 1..N x 1..M
// within rSz rows and columns of it: a cell of that state appeared there.
void AddToField(PotentialField& field, int N, int M, int rSz, int row, int column,
                const FieldTable& table, SimdLevel simd);

// A particle stepped from (r0, c0) to the adjacent (r1, c1): update every
// cell 1..N x 1..M whose window holds either.
void StepInField(PotentialField& field, int N, int M, int rSz, int r0, int c0, int r1, int c1,
                 SimdLevel simd);

// Mark a cell as filled (a wall or a particle) or emptied.
inline void FillFieldCell(PotentialField& field, int cell) { field.value[cell] -= Blocked; }
inline void EmptyFieldCell(PotentialField& field, int cell) { field.value[cell] += Blocked; }

// Whether moving the particle at cell `from` to cell `to` (dr rows down) wins,
// as far as the fixed point can tell; Reject when `to` is not empty.
inline Verdict FieldVerdict(const PotentialField& field, int from, int to, int dr) {
  const std::int64_t delta = field.value[to] - field.value[from] + field.stepScore[dr + 1];
  if (delta > field.margin) return Verdict::Accept;
  if (delta < -field.margin) return Verdict::Reject;
  return Verdict::Undecided;
}

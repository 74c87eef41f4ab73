#include "sim/potential_field.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LEMVARIS_X86 1
#endif

namespace {

constexpr double UnitRoundoff = 0x1p-53;  // u: half an ulp of 1.0
// Fixed-point potentials and score differences stay within 2^60, so a value
// less Blocked and every difference formed from values fit in 63 bits.
constexpr double FieldRange = 0x1p60;
constexpr int LargestShift = 52;

std::int64_t Quantise(double w, int shift) { return std::llround(std::ldexp(w, shift)); }

}  // namespace

// Why a decision from the fixed point is the exact one. Let the exact score
// difference be D = fl(P(t) + g) - P(s), with P the ordered double sums of the
// windows of target t and source s and g = G * dr, which is exact (dr is -1, 0
// or 1). Let T be the real sum of the same doubles, n = (2 rSz + 1)^2 - 1 the
// most terms a window has, W a bound on the sum of |w| over a window.
//  - Recursive summation in any order: |P - T| <= gamma_n * W, gamma_n =
//    n u / (1 - n u) (adding an empty cell's +0.0 is exact and costs nothing).
//  - The last addition: |fl(P(t) + g) - (P(t) + g)| <= u (|P(t)| + |G|), and
//    |P(t)| <= (1 + gamma_n) W.
//  - Fixed point: each q is within 1/2 of w 2^shift, so a window's integer sum
//    is within n/2 units of T 2^shift, and the gravity step within 1/2 unit.
// So with delta = fixed(t) - fixed(s) + dr * gravity, the fixed-point
// potentials (for an empty t, value[t] - value[s] + stepScore[dr + 1]),
//   |delta 2^-shift - D| <= 2 gamma_n W + u ((1 + gamma_n) W + |G|)
//                           + n 2^-shift + 2^-(shift+1) = E,
// and margin >= E 2^shift: delta > margin means D > 0 (accept), delta <
// -margin means D < 0 (reject). The factor 1 + 2^-20 and the extra unit cover
// the roundings in computing W and E themselves (a few dozen u at most).
// |delta| <= (2 W + |G|) 2^shift + n <= 2^60; for a filled t the same sum
// comes out Blocked lower, below -2^60, far under -margin: reject.
void PrepareField(PotentialField& f, const double (&weight)[WeightTableSide][WeightTableSide][4],
                  int rSz, double G) {
  assert(rSz >= 1 && rSz <= RadiusLimit);
  double W = 0.0;
  for (int di = -rSz; di <= rSz; ++di)
    for (int dj = -rSz; dj <= rSz; ++dj) {
      const double* w = weight[di + RadiusLimit][dj + RadiusLimit];
      W += std::max(std::fabs(w[Wall]), std::fabs(w[Particle]));
    }
  const double n = (2.0 * rSz + 1) * (2.0 * rSz + 1) - 1;
  int shift = LargestShift;
  while (shift > 0 && std::ldexp(2 * W + std::fabs(G) + 1, shift) > FieldRange) --shift;
  assert(std::ldexp(2 * W + std::fabs(G) + 1, shift) <= FieldRange);
  f.shift = shift;
  for (int di = 0; di < WeightTableSide; ++di)
    for (int dj = 0; dj < WeightTableSide; ++dj) {
      f.wall[di][dj] = Quantise(weight[di][dj][Wall], shift);
      f.particle[di][dj] = Quantise(weight[di][dj][Particle], shift);
    }
  // The box of a step by (dr, dc) starts rSz above and left of the upper and
  // left of the two places.
  for (int dr = -1; dr <= 1; ++dr)
    for (int dc = -1; dc <= 1; ++dc) {
      StepTable& t = f.step[dr + 1][dc + 1];
      const int fromRow = rSz + std::max(0, -dr), fromColumn = rSz + std::max(0, -dc);
      for (int i = 0; i < StepTableSide; ++i)
        for (int j = 0; j < StepTableSide; ++j) {
          t[i][j] = 0;
          const int ai = i - fromRow, aj = j - fromColumn;  // offset from the old place
          const int bi = ai - dr, bj = aj - dc;             // from the new one
          if (std::max(std::abs(bi), std::abs(bj)) <= rSz)
            t[i][j] += f.particle[bi + RadiusLimit][bj + RadiusLimit];
          if (std::max(std::abs(ai), std::abs(aj)) <= rSz)
            t[i][j] -= f.particle[ai + RadiusLimit][aj + RadiusLimit];
        }
    }
  f.gravity = Quantise(G, shift);
  for (int dr = -1; dr <= 1; ++dr) f.stepScore[dr + 1] = dr * f.gravity - Blocked;
  const double gamma = n * UnitRoundoff / (1 - n * UnitRoundoff);
  const double E = 2 * gamma * W + UnitRoundoff * ((1 + gamma) * W + std::fabs(G)) +
                   std::ldexp(n, -shift) + std::ldexp(0.5, -shift);
  f.margin = static_cast<std::int64_t>(std::ceil(std::ldexp(E, shift) * (1 + 0x1p-20))) + 1;
}

namespace {

// A rectangle of cells and the table row that lands on each of its rows.
struct FieldPatch {
  int top, bottom, left, right;  // cells, already cut to 1..N x 1..M
  const std::int64_t* table;     // entry for (top, left)
  int tableStride;               // entries from one row to the next
};

void AddPatchPortable(PotentialField& f, const FieldPatch& p) {
  const std::int64_t* q = p.table;
  for (int i = p.top; i <= p.bottom; ++i, q += p.tableStride) {
    std::int64_t* value = f.value + i * GridSide + p.left;
    for (int k = 0; k <= p.right - p.left; ++k) value[k] += q[k];
  }
}

#ifdef LEMVARIS_X86
__attribute__((target("avx2"))) void AddPatchAvx2(PotentialField& f, const FieldPatch& p) {
  const int width = p.right - p.left + 1;
  const std::int64_t* q = p.table;
  for (int i = p.top; i <= p.bottom; ++i, q += p.tableStride) {
    std::int64_t* value = f.value + i * GridSide + p.left;
    int k = 0;
    for (; k + 4 <= width; k += 4) {
      auto* v = reinterpret_cast<__m256i*>(value + k);
      const __m256i add = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + k));
      _mm256_storeu_si256(v, _mm256_add_epi64(_mm256_loadu_si256(v), add));
    }
    for (; k < width; ++k) value[k] += q[k];
  }
}
#endif

void AddPatch(PotentialField& f, const FieldPatch& p, SimdLevel simd) {
  if (p.top > p.bottom || p.left > p.right) return;
#ifdef LEMVARIS_X86
  if (simd >= SimdLevel::Avx2) return AddPatchAvx2(f, p);
#endif
  (void)simd;
  AddPatchPortable(f, p);
}

// Table entry (0, 0) sits at cell (row, column); the patch is the table's
// rows x columns cut to the reactor space.
FieldPatch PatchAt(int N, int M, int row, int column, int rows, int columns,
                   const std::int64_t* table, int tableStride) {
  FieldPatch p;
  p.top = std::max(1, row);
  p.bottom = std::min(N, row + rows - 1);
  p.left = std::max(1, column);
  p.right = std::min(M, column + columns - 1);
  p.table = table + (p.top - row) * tableStride + (p.left - column);
  p.tableStride = tableStride;
  return p;
}

}  // namespace

// Distances depend on the squares of the offsets only, so the table is the
// same read from the changed cell or from the cell that sees it.
void AddToField(PotentialField& f, int N, int M, int rSz, int row, int column,
                const FieldTable& table, SimdLevel simd) {
  const int side = 2 * rSz + 1;
  AddPatch(f, PatchAt(N, M, row - rSz, column - rSz, side, side,
                      &table[RadiusLimit - rSz][RadiusLimit - rSz], WeightTableSide), simd);
}

void StepInField(PotentialField& f, int N, int M, int rSz, int r0, int c0, int r1, int c1,
                 SimdLevel simd) {
  const int dr = r1 - r0, dc = c1 - c0;
  const StepTable& t = f.step[dr + 1][dc + 1];
  AddPatch(f, PatchAt(N, M, std::min(r0, r1) - rSz, std::min(c0, c1) - rSz,
                      2 * rSz + 1 + std::abs(dr), 2 * rSz + 1 + std::abs(dc), &t[0][0],
                      StepTableSide), simd);
}

// The fixed-point field against the ordered double sums: within its bound,
// the same after any number of moves as built afresh, and never deciding a
// comparison the other way from the exact one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "sim_helpers.h"

namespace {

int CellOf(int row, int column) { return row * GridSide + column; }

// A cell's fixed-point potential as a double (the filled cells' offset undone).
double FieldPotential(const Reactor& reactor, int row, int column) {
  const int cell = CellOf(row, column);
  std::int64_t v = reactor.move.field.value[cell];
  if (reactor.move.cells[cell] != Empty) v += Blocked;
  return std::ldexp(static_cast<double>(v), -reactor.move.field.shift);
}

double Exact(const Reactor& reactor, int row, int column) {
  return AttractionPotential(reactor, static_cast<std::int16_t>(row),
                             static_cast<std::int16_t>(column));
}

// Edges of the technique: rSz 10 reaching past the frame, the largest
// reactor and weights, negative and -0.0 weights, the right wall in column
// 251 and the bottom one in row 251.
const SimParams EdgeCases[] = {
    Params(250, 250, 20000, 0.3, 0.6, 0.1, 10), Params(250, 250, 32767, 1.0, 1.0, 1.0, 10),
    Params(12, 15, 60, -1.0, -1.0, -1.0, 10),   Params(40, 250, 900, -0.0, 0.7, -0.0, 7),
    Params(250, 3, 400, 0.9, -0.0, 0.4, 2),     Params(30, 30, 450, -1.0, 1.0, 0.0, 1),
};

// Moves, stopping early if the reactor freezes.
void MoveSome(Reactor& reactor, int moves) {
  for (int i = 0; i < moves; ++i)
    if (MoveParticle(reactor) != MoveResult::Moved) return;
}

}  // namespace

TEST(PotentialField, EveryCellIsWithinItsBoundOfTheOrderedSum) {
  for (const SimParams& p : EdgeCases) {
    auto reactor = MakeReactor(p);
    BuildMoveCaches(*reactor);
    for (int round = 0; round < 2; ++round) {
      double worst = 0;
      for (int r = 1; r <= p.N; ++r)
        for (int c = 1; c <= p.M; ++c)
          worst =
              std::max(worst, std::fabs(FieldPotential(*reactor, r, c) - Exact(*reactor, r, c)));
      // The smallest weight of these cases is above 1e-3.
      EXPECT_LT(worst, 1e-10) << p.N << "x" << p.M << " rSz " << p.rSz << " round " << round;
      MoveSome(*reactor, 300);
    }
  }
}

TEST(PotentialField, MovesLeaveWhatABuildWouldMake) {
  for (const SimParams& p : {Params(100, 100, 3000, 0.5, 0.8, 0.2, 3), EdgeCases[0], EdgeCases[2],
                             EdgeCases[3], EdgeCases[4]}) {
    for (SimdLevel level : LevelsHere()) {
      auto reactor = MakeReactor(p, level);
      MoveSome(*reactor, 3000);
      const std::vector<std::int64_t> moved(std::begin(reactor->move.field.value),
                                            std::end(reactor->move.field.value));
      BuildMoveCaches(*reactor);
      for (int cell = 0; cell < CellCount; ++cell)
        ASSERT_EQ(moved[cell], reactor->move.field.value[cell])
            << p.N << "x" << p.M << " level " << int(level) << " cell " << cell;
    }
  }
}

// Every particle's every step: a decided verdict is the exact comparison's,
// and the fixed point is never further from the exact score difference than
// the margin allows (the bound the proof in potential_field.cpp gives).
TEST(PotentialField, VerdictAgreesWithTheExactComparison) {
  for (const SimParams& p : EdgeCases) {
    auto reactor = MakeReactor(p);
    MoveSome(*reactor, 200);
    BuildMoveCaches(*reactor);
    const PotentialField& field = reactor->move.field;
    const double unit = std::ldexp(1.0, -field.shift);
    EXPECT_LT(field.margin * unit, 1e-9);  // the filter decides all but near-ties
    long double worst = 0;
    int decided = 0;
    for (int r0 = 1; r0 <= p.N; ++r0)
      for (int c0 = 1; c0 <= p.M; ++c0) {
        if (reactor->grid[r0][c0] != Particle) continue;
        for (int dr = -1; dr <= 1; ++dr)
          for (int dc = -1; dc <= 1; ++dc) {
            const int r1 = r0 + dr, c1 = c0 + dc;
            const Verdict verdict = FieldVerdict(field, CellOf(r0, c0), CellOf(r1, c1), dr);
            if (reactor->grid[r1][c1] != Empty) {
              EXPECT_EQ(verdict, Verdict::Reject);
              continue;
            }
            const double S = Exact(*reactor, r1, c1) + p.G * dr, P0 = Exact(*reactor, r0, c0);
            if (verdict != Verdict::Undecided) {
              ++decided;
              ASSERT_EQ(verdict == Verdict::Accept, S > P0)
                  << r0 << "," << c0 << " by " << dr << "," << dc;
            }
            const std::int64_t delta = field.value[CellOf(r1, c1)] - field.value[CellOf(r0, c0)] +
                                       field.stepScore[dr + 1];
            worst = std::max(worst, std::fabs(static_cast<long double>(delta) * unit -
                                              (static_cast<long double>(S) - P0)));
          }
      }
    EXPECT_LE(worst, field.margin * unit) << p.N << "x" << p.M;
    EXPECT_GT(decided, 0);
  }
}

TEST(PotentialField, MarginItselfIsLeftToTheExactSums) {
  auto reactor = MakeReactor(Params(5, 5, 1, 0.5, 0.5, 0.3, 2));
  BuildMoveCaches(*reactor);
  PotentialField& field = reactor->move.field;
  int from = 0;
  for (int cell = 0; cell < CellCount; ++cell)
    if (reactor->move.cells[cell] == Particle) from = cell;
  const int row = from / GridSide;
  const int to = row == 1 ? from + GridSide : from - GridSide;  // an empty cell above or below
  const int dr = to / GridSide - row;
  ASSERT_EQ(reactor->move.cells[to], Empty);
  const std::int64_t base = field.value[from] + Blocked - dr * field.gravity;  // delta 0 here
  const std::int64_t m = field.margin;
  const struct {
    std::int64_t delta;
    Verdict verdict;
  } expected[] = {{m + 1, Verdict::Accept},  {m, Verdict::Undecided},   {0, Verdict::Undecided},
                  {-m, Verdict::Undecided}, {-m - 1, Verdict::Reject}};
  for (const auto& e : expected) {
    field.value[to] = base + e.delta;
    EXPECT_EQ(FieldVerdict(field, from, to, dr), e.verdict) << "delta " << e.delta;
  }
  // A filled target loses whatever its potential.
  field.value[to] = base + 1000 * m - Blocked;
  EXPECT_EQ(FieldVerdict(field, from, to, dr), Verdict::Reject);
}

TEST(PotentialField, ExactTiesAreLeftToTheExactSums) {
  // One particle in a 1 x 2 reactor, walls only: both cells see mirror
  // images of the same walls, summed to the same double.
  auto reactor = MakeReactor(Params(1, 2, 1, 1.0, 0.0, 0.5, 1));
  BuildMoveCaches(*reactor);
  const int c0 = reactor->grid[1][1] == Particle ? 1 : 2, c1 = 3 - c0;
  ASSERT_EQ(Exact(*reactor, 1, c1), Exact(*reactor, 1, c0));
  EXPECT_EQ(FieldVerdict(reactor->move.field, CellOf(1, c0), CellOf(1, c1), 0), Verdict::Undecided);
}

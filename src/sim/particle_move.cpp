#include "sim/particle_move.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "sim/pick_batch.h"

#if defined(__x86_64__) || defined(__i386__)
#define LEMVARIS_X86 1
#endif

namespace {

// Failed attempts per particle before the first exhaustive check. With at least
// one possible move each attempt succeeds with probability >= 1/(9K), so a
// reactor that can still move reaches 180*K failures in a row with probability
// below e^-20; the check then finds the move and the bound doubles.
constexpr std::int64_t FailuresPerParticleBeforeCheck = 20 * 9;

// A pick and its offset take two words each; the batch always leaves the
// offset of its last pick in the buffer.
constexpr int WordsPerDraw = 2;
constexpr int WordsForLastPick = 2 * WordsPerDraw;

int CellIndex(int row, int column) { return row * GridSide + column; }

}  // namespace

double CellDistance(std::int16_t r1, std::int16_t c1, std::int16_t r2, std::int16_t c2) {
  const std::int32_t dr = std::int32_t{r1} - r2;
  const std::int32_t dc = std::int32_t{c1} - c2;
  return std::sqrt(static_cast<double>(dr * dr + dc * dc));
}

void PrepareMove(Reactor& reactor) {
  const SimParams& p = reactor.params;
  MoveState& move = reactor.move;
  for (int di = -RadiusLimit; di <= RadiusLimit; ++di) {
    for (int dj = -RadiusLimit; dj <= RadiusLimit; ++dj) {
      double* w = move.weight[di + RadiusLimit][dj + RadiusLimit];
      const bool centre = di == 0 && dj == 0;
      const double d = CellDistance(0, 0, static_cast<std::int16_t>(di),
                                    static_cast<std::int16_t>(dj));
      w[Wall] = centre ? 0.0 : p.Ah / d;
      w[Empty] = 0.0;
      w[Particle] = centre ? 0.0 : p.Kh / d;
      w[3] = 0.0;
    }
  }
  PrepareField(move.field, move.weight, p.rSz, p.G);
  move.failedAttempts = 0;
  move.frozenCheckBound = FailuresPerParticleBeforeCheck * p.K;
  move.frozen = false;
  move.built = false;
  move.simd = reactor.random.simd;  // one choice for the whole reactor
}

// Every cell of the window adds its table weight. An empty cell and the centre
// add +0.0, which leaves the sum unchanged: it starts at +0.0 and a sum in
// round-to-nearest never becomes -0.0, so this is the same sequence of
// additions as adding only walls and particles.
double AttractionPotential(const Reactor& reactor, std::int16_t r, std::int16_t c) {
  const int rSz = reactor.params.rSz;
  const int top = std::max(0, r - rSz);
  const int bottom = std::min(ReactorLimit, r + rSz);
  const int left = std::max(0, c - rSz);
  const int right = std::min(ReactorLimit, c + rSz);
  double sum = 0.0;
  for (int i = top; i <= bottom; ++i) {
    const CellState* cells = reactor.grid[i];
    const auto& weights = reactor.move.weight[i - r + RadiusLimit];
    for (int j = left; j <= right; ++j) sum += weights[j - c + RadiusLimit][cells[j]];
  }
  return sum;
}

namespace {

// The definition itself: the target's potential plus the gravity term
// strictly above the present potential.
bool ExactMoveWins(const Reactor& reactor, int from, int to) {
  const auto r0 = static_cast<std::int16_t>(from / GridSide);
  const auto c0 = static_cast<std::int16_t>(from % GridSide);
  const auto r1 = static_cast<std::int16_t>(to / GridSide);
  const auto c1 = static_cast<std::int16_t>(to % GridSide);
  const double score = AttractionPotential(reactor, r1, c1) + reactor.params.G * (r1 - r0);
  return score > AttractionPotential(reactor, r0, c0);
}

// Whether moving the particle at cell `from` to the empty cell `to` wins: the
// fixed point decides unless the scores are too close, then the exact sums.
bool MoveWins(const Reactor& reactor, int from, int to) {
  const int dr = to / GridSide - from / GridSide;
  switch (FieldVerdict(reactor.move.field, from, to, dr)) {
    case Verdict::Accept: return true;
    case Verdict::Reject: return false;
    case Verdict::Undecided: break;
  }
  return ExactMoveWins(reactor, from, to);
}

// Whether any particle has an empty neighbour it would move to. Draws no
// random numbers, so running it leaves the trajectory as it is.
bool AnyMovePossible(const Reactor& reactor) {
  const SimParams& p = reactor.params;
  const std::uint8_t* cells = reactor.move.cells;
  for (int r0 = 1; r0 <= p.N; ++r0) {
    for (int c0 = 1; c0 <= p.M; ++c0) {
      const int from = CellIndex(r0, c0);
      if (cells[from] != Particle) continue;
      for (int dr = -1; dr <= 1; ++dr) {
        for (int dc = -1; dc <= 1; ++dc) {
          const int to = CellIndex(r0 + dr, c0 + dc);
          if (cells[to] == Empty && MoveWins(reactor, from, to)) return true;
        }
      }
    }
  }
  return false;
}

// Carry out an accepted move: grid, caches, redraw, last-move rows, row counts.
void ApplyMove(Reactor& reactor, int from, int to) {
  const SimParams& p = reactor.params;
  MoveState& move = reactor.move;
  const auto r0 = static_cast<std::int16_t>(from / GridSide);
  const auto c0 = static_cast<std::int16_t>(from % GridSide);
  const auto r1 = static_cast<std::int16_t>(to / GridSide);
  const auto c1 = static_cast<std::int16_t>(to % GridSide);
  reactor.grid[r0][c0] = Empty;
  reactor.grid[r1][c1] = Particle;
  move.cells[from] = Empty;
  move.cells[to] = Particle;
  EmptyFieldCell(move.field, from);
  FillFieldCell(move.field, to);
  StepInField(move.field, p.N, p.M, p.rSz, r0, c0, r1, c1, move.simd);
  if (reactor.redraw.drawCell) {
    reactor.redraw.drawCell(reactor.redraw.context, p.N, p.M, static_cast<std::uint16_t>(r0),
                            static_cast<std::uint16_t>(c0), Empty);
    reactor.redraw.drawCell(reactor.redraw.context, p.N, p.M, static_cast<std::uint16_t>(r1),
                            static_cast<std::uint16_t>(c1), Particle);
  }
  reactor.lastMoveFromRow = r0;
  reactor.lastMoveToRow = r1;
  --reactor.rowCounts[r0];
  ++reactor.rowCounts[r1];
  reactor.observedRowCount = reactor.rowCounts[reactor.observedRow];
}

// Attempts in the order of the random draws: row and column of a particle
// (again until a particle is hit), then row and column offset. The stream
// is read in pairs of words, so a batch of pairs is scanned at once for the
// picks that hit a particle (the grid does not change between accepted
// moves); the pair after a hit is its offset, and the next pick follows. Of
// an attempt the target's state is tested before the potentials; both tests
// are free of side effects, so the accepted moves are those of testing the
// potentials first. The frozen check comes after the batch in which the
// failures reach the bound: it draws nothing and a failed attempt changes
// nothing, so when it runs does not matter.
template <SimdLevel Level>
[[gnu::always_inline]] inline MoveResult AttemptUntilMoved(Reactor& reactor) {
  MoveState& move = reactor.move;
  const SimParams& p = reactor.params;
  RandomSource& random = reactor.random;
  const std::int64_t* value = move.field.value;
  const std::int64_t margin = move.field.margin;
  const std::int64_t* stepScore = move.field.stepScore;
  for (;;) {
    if (random.count - random.next < WordsForLastPick) RefillRandom(random);
    const std::uint32_t* words = random.words + random.next;
    const int batch =
        std::min(PickBatchLimit, (random.count - random.next) / WordsPerDraw - 1);
    std::uint64_t hits;
#ifdef LEMVARIS_X86
    if constexpr (Level == SimdLevel::Avx2)
      hits = ScanPicksAvx2(move.cells, words, batch, p.N, p.M, move.pickCell);
    else
#endif
      hits = ScanPicksPortable(move.cells, words, batch, p.N, p.M, move.pickCell);
    const std::uint64_t tries = AttemptsAmongHits(hits);
    for (std::uint64_t todo = tries; todo != 0; todo &= todo - 1) {
      const unsigned pick = static_cast<unsigned>(__builtin_ctzll(todo));
      const std::uint32_t from = move.pickCell[pick];
      const std::uint32_t dr = static_cast<std::uint32_t>(ScaleToRange(words[2 * pick + 2], 3));
      const std::uint32_t dc = static_cast<std::uint32_t>(ScaleToRange(words[2 * pick + 3], 3));
      const std::uint32_t to = from + dr * GridSide + dc - (GridSide + 1);
      // A filled target makes delta far below -margin (see Blocked): one
      // test, where a test of the target's state would be a branch
      // mispredicted at random.
      const std::int64_t delta = value[to] - value[from] + stepScore[dr];
      if (__builtin_expect(delta >= -margin, 0)) {
        if (delta > margin ||
            ExactMoveWins(reactor, static_cast<int>(from), static_cast<int>(to))) {
          reactor.attempts += __builtin_popcountll(tries & (~std::uint64_t{0} >> (63 - pick)));
          random.next += WordsPerDraw * static_cast<int>(pick + 2);
          move.failedAttempts = 0;
          ApplyMove(reactor, static_cast<int>(from), static_cast<int>(to));
          return MoveResult::Moved;
        }
      }
    }
    const int failures = __builtin_popcountll(tries);
    reactor.attempts += failures;
    // The offset of an attempt on the batch's last pick lies just past it.
    random.next += WordsPerDraw * (tries >> (batch - 1) & 1 ? batch + 1 : batch);
    move.failedAttempts += failures;
    if (__builtin_expect(move.failedAttempts < move.frozenCheckBound, 1)) continue;
    move.failedAttempts = 0;
    if (!AnyMovePossible(reactor)) {
      move.frozen = true;
      return MoveResult::Frozen;
    }
    // Moves are rare here: check less often, so checks stay a small share.
    if (move.frozenCheckBound < std::numeric_limits<std::int64_t>::max() / 2)
      move.frozenCheckBound *= 2;
  }
}

#ifdef LEMVARIS_X86
// The same loop where bit counts and shifts have their own instructions.
__attribute__((target("avx2,bmi,bmi2,popcnt"))) MoveResult AttemptUntilMovedAvx2(Reactor& reactor) {
  return AttemptUntilMoved<SimdLevel::Avx2>(reactor);
}
#endif

MoveResult AttemptUntilMovedPortable(Reactor& reactor) {
  return AttemptUntilMoved<SimdLevel::Portable>(reactor);
}

}  // namespace

// The byte grid and the fixed-point field from the grid. Walls in row or
// column 251 lie outside every window and add nothing.
void BuildMoveCaches(Reactor& reactor) {
  const SimParams& p = reactor.params;
  MoveState& move = reactor.move;
  std::memset(move.cells, Wall, sizeof move.cells);
  for (int r = 0; r < GridSide; ++r)
    for (int c = 0; c < GridSide; ++c)
      move.cells[CellIndex(r, c)] = static_cast<std::uint8_t>(reactor.grid[r][c]);
  std::memset(move.field.value, 0, sizeof move.field.value);
  for (int r = 0; r <= std::min(p.N + 1, ReactorLimit); ++r)
    for (int c = 0; c <= std::min(p.M + 1, ReactorLimit); ++c) {
      const CellState state = reactor.grid[r][c];
      if (state == Empty) continue;
      AddToField(move.field, p.N, p.M, p.rSz, r, c,
                 state == Wall ? move.field.wall : move.field.particle, move.simd);
    }
  for (int cell = 0; cell < CellCount; ++cell)
    if (move.cells[cell] != Empty) FillFieldCell(move.field, cell);
  move.built = true;
}

MoveResult MoveParticle(Reactor& reactor) {
  MoveState& move = reactor.move;
  if (move.frozen) return MoveResult::Frozen;
  if (!move.built) BuildMoveCaches(reactor);
#ifdef LEMVARIS_X86
  if (move.simd >= SimdLevel::Avx2) return AttemptUntilMovedAvx2(reactor);
#endif
  return AttemptUntilMovedPortable(reactor);
}

#include "sim/particle_move.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

// Failed attempts per particle before the first exhaustive check. With at least
// one possible move each attempt succeeds with probability >= 1/(9K), so a
// reactor that can still move reaches 180*K failures in a row with probability
// below e^-20; the check then finds the move and the bound doubles.
static constexpr std::int64_t FailuresPerParticleBeforeCheck = 20 * 9;

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
  move.failedAttempts = 0;
  move.frozenCheckBound = FailuresPerParticleBeforeCheck * p.K;
  move.frozen = false;
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

// Whether moving the particle at (r0, c0) to (r1, c1) wins: the target's
// potential plus the gravity term strictly above the present potential.
static bool MoveWins(const Reactor& reactor, std::int16_t r0, std::int16_t c0,
                     std::int16_t r1, std::int16_t c1) {
  const double score = AttractionPotential(reactor, r1, c1) + reactor.params.G * (r1 - r0);
  return score > AttractionPotential(reactor, r0, c0);
}

// Whether any particle has an empty neighbour it would move to. Draws no
// random numbers, so running it leaves the trajectory as it is.
static bool AnyMovePossible(const Reactor& reactor) {
  const SimParams& p = reactor.params;
  for (std::int16_t r0 = 1; r0 <= p.N; ++r0) {
    for (std::int16_t c0 = 1; c0 <= p.M; ++c0) {
      if (reactor.grid[r0][c0] != Particle) continue;
      for (int dr = -1; dr <= 1; ++dr) {
        for (int dc = -1; dc <= 1; ++dc) {
          const auto r1 = static_cast<std::int16_t>(r0 + dr);
          const auto c1 = static_cast<std::int16_t>(c0 + dc);
          if (reactor.grid[r1][c1] == Empty && MoveWins(reactor, r0, c0, r1, c1)) return true;
        }
      }
    }
  }
  return false;
}

// Carry out an accepted move: grid, redraw, last-move rows, row counts.
static void ApplyMove(Reactor& reactor, std::int16_t r0, std::int16_t c0, std::int16_t r1,
                      std::int16_t c1) {
  const SimParams& p = reactor.params;
  reactor.grid[r0][c0] = Empty;
  reactor.grid[r1][c1] = Particle;
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
// (again until a particle is hit), then row and column offset. The target's
// state is tested before the potentials; both tests are free of side effects,
// so the accepted moves are those of testing the potentials first.
MoveResult MoveParticle(Reactor& reactor) {
  MoveState& move = reactor.move;
  if (move.frozen) return MoveResult::Frozen;
  const SimParams& p = reactor.params;
  for (;;) {
    std::int16_t r0, c0;
    do {
      r0 = static_cast<std::int16_t>(Random(reactor.random, p.N) + 1);
      c0 = static_cast<std::int16_t>(Random(reactor.random, p.M) + 1);
    } while (reactor.grid[r0][c0] != Particle);
    const auto r1 = static_cast<std::int16_t>(r0 + Random(reactor.random, 3) - 1);
    const auto c1 = static_cast<std::int16_t>(c0 + Random(reactor.random, 3) - 1);
    ++reactor.attempts;
    if (reactor.grid[r1][c1] == Empty && MoveWins(reactor, r0, c0, r1, c1)) {
      ApplyMove(reactor, r0, c0, r1, c1);
      move.failedAttempts = 0;
      return MoveResult::Moved;
    }
    if (++move.failedAttempts < move.frozenCheckBound) continue;
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

// The simulation step: one particle moves by one cell when the attraction
// potential of the free target cell, plus the gravity term, is strictly greater
// than that of its present cell. A reactor in which no move can ever be
// accepted again is detected exactly and reported instead of looping for ever.
#pragma once

#include <cstdint>

#include "sim/reactor.h"

enum class MoveResult { Moved, Frozen };

// Euclidean distance of two cells; the sum of squares in 32-bit integers.
double CellDistance(std::int16_t r1, std::int16_t c1, std::int16_t r2, std::int16_t c2);

// Adhesion of walls (Ah/d) plus cohesion of particles (Kh/d) over the square of
// radius rSz around (r, c), clipped to rows and columns 0..250, centre excluded,
// summed row by row, left to right.
double AttractionPotential(const Reactor& reactor, std::int16_t r, std::int16_t c);

// Fill the move's tables from reactor.params; SetUpReactor calls it. The
// move keeps its own copy of the grid and of the potentials, built at the
// first move after this: a caller that edits the grid itself calls it again.
void PrepareMove(Reactor& reactor);

// Build the move's copy of the grid and its potentials now, as the first
// move after PrepareMove does.
void BuildMoveCaches(Reactor& reactor);

// Make one accepted move, redrawing its two cells through reactor.redraw, or
// return Frozen (grid untouched) when no particle can ever move again.
MoveResult MoveParticle(Reactor& reactor);

// What experiments read off a reactor besides the picture: the bottom row's
// count, the particles touching a wall, the length of the liquid's surface and
// the particles' mean row. The batch runner's CSV and the Python module both
// take them from here, so a column means the same everywhere.
#pragma once

#include <cstdint>

#include "sim/reactor.h"

struct Measures {
  std::int32_t bottom = 0;        // particles in row N
  std::int32_t wallContacts = 0;  // particles with a wall among their 8 neighbours
  std::int32_t interface = 0;     // orthogonal particle-empty pairs inside the frame
  double meanRow = 0.0;           // mean row number of the particles
};

// Particles with at least one wall cell among their 8 neighbours.
std::int32_t WallContacts(const Reactor& reactor);

// Pairs of orthogonally adjacent cells, both in rows 1..N and columns 1..M,
// of which one holds a particle and the other is empty.
std::int32_t InterfaceLength(const Reactor& reactor);

// The exact sum of the particles' row numbers divided by K, in one division.
double MeanRow(const Reactor& reactor);

Measures MeasureReactor(const Reactor& reactor);

// What experiments read off a reactor besides the picture: the bottom row's
// count, the particles touching a wall, the length of the liquid's surface and
// the particles' mean row, and on request its clusters. The batch runner's CSV
// and the Python module both take them from here, so a column means the same
// everywhere.
#pragma once

#include <cstdint>
#include <string_view>

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

// Clusters: particles joined through any of the 8 cells around them; walls
// join nothing.
struct Clusters {
  std::int32_t count = 0;
  std::int32_t largest = 0;  // particles in the largest cluster (0 for none)
};

// The count's work space, the caller's so that a count allocates nothing:
// the labels of the row above and of this row, and a forest over the
// provisional labels (each particle starts at most one) whose roots hold
// minus their cluster's size. About 130 KB: keep it off small stacks.
struct ClusterWork {
  std::int32_t labels[2][GridSide];
  std::int32_t forest[ParticleLimit];
};

// One pass over the rows (Hoshen-Kopelman with union by size).
Clusters CountClusters(const Reactor& reactor, ClusterWork& work);

// The measures a table takes only when asked for by name.
enum NamedMeasure : std::uint8_t { MeasureClusters, MeasureLargestCluster, NamedMeasureCount };
inline constexpr const char* NamedMeasureNames[NamedMeasureCount] = {"clusters",
                                                                     "largest_cluster"};

// The named measure spelled name, or -1.
int NamedMeasureIndex(std::string_view name);

// The values of the measures asked (NamedMeasure codes, count of them) into
// values, in the order asked; the clusters are counted once.
void TakeNamedMeasures(const Reactor& reactor, const std::uint8_t* asked, int count,
                       ClusterWork& work, double* values);

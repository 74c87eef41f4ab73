// The measures of measures.h, counted straight from the grid and the row
// counts; none of them changes the reactor or draws a random number.
#include "sim/measures.h"

#include <algorithm>
#include <utility>


std::int32_t WallContacts(const Reactor& reactor) {
  const SimParams& p = reactor.params;
  std::int32_t contacts = 0;
  for (int r = 1; r <= p.N; ++r) {
    for (int c = 1; c <= p.M; ++c) {
      if (reactor.grid[r][c] != Particle) continue;
      bool touches = false;
      for (int dr = -1; dr <= 1; ++dr)
        for (int dc = -1; dc <= 1; ++dc) touches |= reactor.grid[r + dr][c + dc] == Wall;
      contacts += touches;
    }
  }
  return contacts;
}

std::int32_t InterfaceLength(const Reactor& reactor) {
  const SimParams& p = reactor.params;
  std::int32_t pairs = 0;
  for (int r = 1; r <= p.N; ++r) {
    for (int c = 1; c <= p.M; ++c) {
      const CellState here = reactor.grid[r][c];
      // Each pair once: with the right and the lower neighbour.
      if (c < p.M && (here == Particle) != (reactor.grid[r][c + 1] == Particle)) ++pairs;
      if (r < p.N && (here == Particle) != (reactor.grid[r + 1][c] == Particle)) ++pairs;
    }
  }
  return pairs;
}

double MeanRow(const Reactor& reactor) {
  std::int64_t rowSum = 0;  // exact: at most 32767 * 250
  for (int r = 1; r <= reactor.params.N; ++r) rowSum += std::int64_t{r} * reactor.rowCounts[r];
  return static_cast<double>(rowSum) / reactor.params.K;
}

Measures MeasureReactor(const Reactor& reactor) {
  Measures m;
  m.bottom = reactor.rowCounts[reactor.params.N];
  m.wallContacts = WallContacts(reactor);
  m.interface = InterfaceLength(reactor);
  m.meanRow = MeanRow(reactor);
  return m;
}

namespace {

std::int32_t Root(std::int32_t* forest, std::int32_t label) {
  while (forest[label] >= 0) {
    const std::int32_t parent = forest[label];
    if (forest[parent] >= 0) forest[label] = forest[parent];  // halve the path
    label = parent;
  }
  return label;
}

// The root of the joined trees of two labels, the smaller tree under the larger.
std::int32_t Join(std::int32_t* forest, std::int32_t a, std::int32_t b) {
  a = Root(forest, a);
  b = Root(forest, b);
  if (a == b) return a;
  if (forest[a] > forest[b]) std::swap(a, b);
  forest[a] += forest[b];
  forest[b] = a;
  return a;
}

}  // namespace

Clusters CountClusters(const Reactor& reactor, ClusterWork& work) {
  const int N = reactor.params.N, M = reactor.params.M;
  std::int32_t* forest = work.forest;
  std::int32_t* above = work.labels[0];
  std::int32_t* here = work.labels[1];
  std::fill(above, above + M + 2, -1);
  here[0] = here[M + 1] = -1;
  std::int32_t labels = 0;
  for (int r = 1; r <= N; ++r) {
    for (int c = 1; c <= M; ++c) {
      if (reactor.grid[r][c] != Particle) {
        here[c] = -1;
        continue;
      }
      // Of the labelled neighbours (left, and the three above), the cell
      // straight above touches the other three, and the left one the one
      // above it: at most two trees to join.
      std::int32_t label = above[c];
      if (label < 0) {
        const std::int32_t left = here[c - 1] >= 0 ? here[c - 1] : above[c - 1];
        const std::int32_t right = above[c + 1];
        if (left >= 0 && right >= 0) label = Join(forest, left, right);
        else if (left >= 0 || right >= 0) label = left >= 0 ? left : right;
      }
      if (label < 0) {
        label = labels++;
        forest[label] = -1;
      } else {
        label = Root(forest, label);
        --forest[label];
      }
      here[c] = label;
    }
    std::swap(above, here);
    here[0] = here[M + 1] = -1;
  }
  Clusters clusters;
  for (std::int32_t label = 0; label < labels; ++label) {
    if (forest[label] >= 0) continue;
    ++clusters.count;
    clusters.largest = std::max(clusters.largest, -forest[label]);
  }
  return clusters;
}

int NamedMeasureIndex(std::string_view name) {
  for (int i = 0; i < NamedMeasureCount; ++i)
    if (name == NamedMeasureNames[i]) return i;
  return -1;
}

void TakeNamedMeasures(const Reactor& reactor, const std::uint8_t* asked, int count,
                       ClusterWork& work, double* values) {
  // Every named measure is one of the clusters': one count serves them all.
  if (count == 0) return;
  const Clusters clusters = CountClusters(reactor, work);
  for (int i = 0; i < count; ++i)
    values[i] = asked[i] == MeasureClusters ? clusters.count : clusters.largest;
}

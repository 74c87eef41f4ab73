// The measures on small hand-drawn reactors whose answers can be counted by
// eye, and on runs whose counts must stay consistent.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "sim/measures.h"
#include "sim_helpers.h"

namespace {

// A reactor whose space is drawn row by row: '#' a particle, '.' empty. K is
// the number of '#'.
std::unique_ptr<Reactor> Drawn(const std::vector<std::string>& rows) {
  const int N = static_cast<int>(rows.size()), M = static_cast<int>(rows[0].size());
  int K = 0;
  for (const std::string& row : rows)
    for (char cell : row) K += cell == '#';
  auto reactor = MakeReactor(Params(N, M, K, 0.5, 0.5, 0.5, 1));
  for (int r = 1; r <= N; ++r) {
    reactor->rowCounts[r] = 0;
    for (int c = 1; c <= M; ++c) {
      const bool particle = rows[r - 1][c - 1] == '#';
      reactor->grid[r][c] = particle ? Particle : Empty;
      reactor->rowCounts[r] += particle;
    }
  }
  reactor->observedRowCount = reactor->rowCounts[N];
  return reactor;
}

}  // namespace

TEST(Measures, WallContactsCountDiagonalWallsButNotInnerCells) {
  // Row 2 column 2 of a 3 x 3 space has no wall among its neighbours; every
  // other cell has, the corners only diagonally beyond the side.
  EXPECT_EQ(WallContacts(*Drawn({"...", ".#.", "..."})), 0);
  EXPECT_EQ(WallContacts(*Drawn({"#..", ".#.", "..#"})), 2);
  EXPECT_EQ(WallContacts(*Drawn({"###", "###", "###"})), 8);
  // One row and one column: every particle touches walls on both sides.
  EXPECT_EQ(WallContacts(*Drawn({"#.#"})), 2);
  EXPECT_EQ(WallContacts(*Drawn({"#", "#", "."})), 2);
}

TEST(Measures, InterfaceCountsParticleEmptyPairsInsideTheFrameOnly) {
  // A particle alone in the middle: four pairs; walls never count.
  EXPECT_EQ(InterfaceLength(*Drawn({"...", ".#.", "..."})), 4);
  // Against the corner: two pairs; a full reactor has none.
  EXPECT_EQ(InterfaceLength(*Drawn({"#..", "...", "..."})), 2);
  EXPECT_EQ(InterfaceLength(*Drawn({"##", "##"})), 0);
  // A settled bottom layer: one pair per column; diagonals do not count.
  EXPECT_EQ(InterfaceLength(*Drawn({"....", "....", "####"})), 4);
  EXPECT_EQ(InterfaceLength(*Drawn({"#.", ".#"})), 4);
}

TEST(Measures, MeanRowAndBottomFromTheRows) {
  const auto layer = Drawn({"....", "#...", "####"});
  const Measures m = MeasureReactor(*layer);
  EXPECT_EQ(m.bottom, 4);
  EXPECT_DOUBLE_EQ(m.meanRow, (2.0 + 4 * 3.0) / 5);
  EXPECT_EQ(m.wallContacts, 5);
  EXPECT_EQ(m.interface, 1 + 3 + 1);  // (2,1) up, row 3 columns 2..4 up, (2,1) right
  // One division of the exact row sum: 1/3 rounded once.
  EXPECT_EQ(MeanRow(*Drawn({"#", ".", "."})), 1.0);
  EXPECT_EQ(MeanRow(*Drawn({"#..", "...", "#.#"})), 7.0 / 3.0);
}

TEST(Measures, FollowARunWithoutChangingIt) {
  auto reactor = MakeReactor(Params(40, 30, 500, 0.6, 0.7, 0.3, 3));
  for (int step = 0; step < 3000; ++step) {
    ASSERT_EQ(MoveParticle(*reactor), MoveResult::Moved);
    if (step % 500 != 0) continue;
    const auto before = Snapshot(*reactor);
    const Measures m = MeasureReactor(*reactor);
    EXPECT_EQ(std::memcmp(before->cells, reactor->grid, sizeof(ReactorGrid)), 0);
    EXPECT_EQ(m.bottom, reactor->observedRowCount);
    EXPECT_GE(m.meanRow, 1.0);
    EXPECT_LE(m.meanRow, 40.0);
    // Every particle of the side columns and of rows 1 and N touches a wall.
    int edge = 0;
    for (int r = 1; r <= 40; ++r)
      for (int c = 1; c <= 30; ++c)
        edge += reactor->grid[r][c] == Particle && (r == 1 || r == 40 || c == 1 || c == 30);
    EXPECT_EQ(m.wallContacts, edge);
  }
}

TEST(Measures, ClustersJoinThroughDiagonalsButNeverThroughWalls) {
  const struct {
    std::vector<std::string> rows;
    int count, largest;
  } cases[] = {
      {{"#.#"}, 2, 1},                              // both touch the top wall: still two
      {{"#", ".", "#"}, 2, 1},                      // both touch the side walls
      {{"#.", ".#"}, 1, 2},                         // a diagonal joins
      {{".#", "#."}, 1, 2},                         // the other diagonal
      {{"#..", "..#"}, 2, 1},                       // a knight's step does not
      {{"..#", ".#.", "#.."}, 1, 3},                // up and to the right, row by row
      {{"#...#", ".#.#.", "..#.."}, 1, 5},          // two arms met from below
      {{"#.#.#", "#.#.#", "#####"}, 1, 11},         // three columns joined by the last row
      {{"###", "#.#", "###"}, 1, 8},                // a ring
      {{"##..#", "##...", "....#"}, 3, 4},
  };
  auto work = std::make_unique<ClusterWork>();
  for (const auto& c : cases) {
    const Clusters clusters = CountClusters(*Drawn(c.rows), *work);
    EXPECT_EQ(clusters.count, c.count) << c.rows[0];
    EXPECT_EQ(clusters.largest, c.largest) << c.rows[0];
  }
  // Asked for by name, in the order asked.
  const std::uint8_t asked[] = {MeasureLargestCluster, MeasureClusters};
  double values[2];
  TakeNamedMeasures(*Drawn({"##..#"}), asked, 2, *work, values);
  EXPECT_EQ(values[0], 2);
  EXPECT_EQ(values[1], 2);
  EXPECT_EQ(NamedMeasureIndex("largest_cluster"), MeasureLargestCluster);
  EXPECT_EQ(NamedMeasureIndex("bottom"), -1);
}

TEST(Measures, ClustersOfTheLargestReactorAreAFloodFills) {
  // Scattered (thousands of clusters, most labels) and after moves.
  auto reactor = MakeReactor(Params(250, 250, 20000, 0.3, 0.6, 0.1, 10));
  auto work = std::make_unique<ClusterWork>();
  std::vector<int> seen(GridSide * GridSide), stack;
  for (int round = 0; round < 2; ++round) {
    Clusters expected;
    std::fill(seen.begin(), seen.end(), 0);
    for (int start = 0; start < GridSide * GridSide; ++start) {
      if (reactor->grid[start / GridSide][start % GridSide] != Particle || seen[start]) continue;
      int size = 0;
      stack.assign(1, start);
      seen[start] = 1;
      while (!stack.empty()) {
        const int cell = stack.back();
        stack.pop_back();
        ++size;
        for (int dr = -1; dr <= 1; ++dr)
          for (int dc = -1; dc <= 1; ++dc) {
            const int next = cell + dr * GridSide + dc;
            if (reactor->grid[next / GridSide][next % GridSide] == Particle && !seen[next]) {
              seen[next] = 1;
              stack.push_back(next);
            }
          }
      }
      ++expected.count;
      expected.largest = std::max(expected.largest, size);
    }
    const Clusters clusters = CountClusters(*reactor, *work);
    EXPECT_EQ(clusters.count, expected.count);
    EXPECT_EQ(clusters.largest, expected.largest);
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(MoveParticle(*reactor), MoveResult::Moved);
  }
}

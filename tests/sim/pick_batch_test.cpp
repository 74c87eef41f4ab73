// The batch of picks: the attempts found by bit arithmetic are those of
// reading the pairs one by one, and the vector scan is the portable one.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>

#include "sim/pick_batch.h"
#include "sim_helpers.h"

namespace {

// The pairs read one at a time: a pick, again after a miss; after a hit its
// offset pair, then the next pick.
std::uint64_t AttemptsByWalking(std::uint64_t hits) {
  std::uint64_t attempts = 0;
  for (int j = 0; j < 64;) {
    if (hits >> j & 1) {
      attempts |= std::uint64_t{1} << j;
      j += 2;
    } else {
      ++j;
    }
  }
  return attempts;
}

}  // namespace

TEST(PickBatch, AttemptsAreThoseOfReadingPairByPair) {
  // Runs of every length at every start, the top bit included.
  for (int length = 1; length <= 64; ++length)
    for (int start = 0; start + length <= 64; ++start) {
      const std::uint64_t run =
          (length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1) << start;
      ASSERT_EQ(AttemptsAmongHits(run), AttemptsByWalking(run)) << length << " at " << start;
      if (length + 1 >= 64) continue;
      const std::uint64_t twoRuns = run | (run << (length + 1));  // split by one miss
      ASSERT_EQ(AttemptsAmongHits(twoRuns), AttemptsByWalking(twoRuns))
          << length << " at " << start;
    }
  std::mt19937_64 bits(7);
  for (int i = 0; i < 200000; ++i) {
    std::uint64_t hits = bits();
    if (i % 3 == 1) hits &= bits();  // sparse, as in a thin liquid
    if (i % 3 == 2) hits |= bits();  // dense, as in a crowded one
    ASSERT_EQ(AttemptsAmongHits(hits), AttemptsByWalking(hits)) << std::hex << hits;
  }
}

TEST(PickBatch, ScanFindsTheCellsAndTheParticles) {
  struct Shape {
    int N, M;
  };
  std::mt19937 random(3);
  for (const Shape shape :
       {Shape{250, 250}, Shape{1, 250}, Shape{250, 1}, Shape{1, 1}, Shape{97, 13}}) {
    auto reactor = MakeReactor(Params(shape.N, shape.M, 1, 0.5, 0.5, 0.5, 1));
    BuildMoveCaches(*reactor);
    std::uint8_t* cells = reactor->move.cells;
    for (int r = 1; r <= shape.N; ++r)
      for (int c = 1; c <= shape.M; ++c) cells[r * GridSide + c] = random() % 3 ? Empty : Particle;
    std::uint32_t words[2 * PickBatchLimit];
    for (int round = 0; round < 200; ++round) {
      for (std::uint32_t& w : words) w = random();
      words[0] = 0xffffffffu;  // the last row and column
      words[3] = 0;            // the first column
      const int count = round % (PickBatchLimit + 1);
      std::uint32_t portable[PickBatchLimit], vector[PickBatchLimit];
      const std::uint64_t hits = ScanPicksPortable(cells, words, count, shape.N, shape.M, portable);
      for (int j = 0; j < count; ++j) {
        const std::uint32_t row = ScaleToRange(words[2 * j], shape.N) + 1;
        const std::uint32_t column = ScaleToRange(words[2 * j + 1], shape.M) + 1;
        ASSERT_EQ(portable[j], row * GridSide + column);
        ASSERT_EQ(hits >> j & 1, cells[portable[j]] == Particle);
      }
      if (count < PickBatchLimit) {
        ASSERT_EQ(hits >> count, 0u);
      }
#if defined(__x86_64__) || defined(__i386__)
      if (DetectSimd() < SimdLevel::Avx2) continue;
      ASSERT_EQ(ScanPicksAvx2(cells, words, count, shape.N, shape.M, vector), hits) << count;
      for (int j = 0; j < count; ++j) ASSERT_EQ(vector[j], portable[j]) << j;
#endif
    }
  }
}

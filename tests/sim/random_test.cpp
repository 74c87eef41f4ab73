#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>

#include "reference_sim.h"
#include "sim/reactor.h"
#include "sim_helpers.h"

TEST(Random, GeneratorIsMersenneTwisterSeededWithZero) {
  RandomSource source;
  const std::uint32_t first[] = {2357136044u, 2546248239u, 3071714933u, 3626093760u};
  for (std::uint32_t x : first) EXPECT_EQ(NextRandomWord(source), x);

  // Past the first twists, against the recurrence written out by hand.
  RandomSource library;
  reference::Twister literal;
  for (int i = 0; i < 3000; ++i)
    ASSERT_EQ(NextRandomWord(library), reference::NextTwister(literal)) << i;
}

// Several million words, so every block position and the wrap-around word
// of many twists are compared, at each vector level the CPU has.
TEST(Random, EveryLevelGivesTheLibrarysStream) {
  for (SimdLevel level : LevelsHere()) {
    auto source = std::make_unique<RandomSource>();
    source->simd = level;
    std::mt19937 library(0);
    for (int i = 0; i < 4'000'000; ++i)
      ASSERT_EQ(NextRandomWord(*source), library()) << "level " << int(level) << " word " << i;
  }
}

// Another seed: the library's stream from that seed, at every vector level
// and across refills; the reference's first word from it is the library's too.
TEST(Random, EachSeedGivesTheLibrarysStreamFromIt) {
  for (std::uint32_t seed : {1u, 4294967295u, 20261208u}) {
    reference::Twister literal;
    literal.seed = seed;
    EXPECT_EQ(reference::NextTwister(literal), std::mt19937(seed)()) << "seed " << seed;
    for (SimdLevel level : LevelsHere()) {
      auto source = std::make_unique<RandomSource>();
      source->simd = level;
      source->seed = seed;
      std::mt19937 library(seed);
      for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(NextRandomWord(*source), library()) << "seed " << seed << " level " << int(level);
    }
  }
}

// The move refills while up to three words are left; they must come first,
// then the next block, at every carry and wherever the block boundary falls.
TEST(Random, EarlyRefillsKeepTheStream) {
  for (SimdLevel level : LevelsHere()) {
    auto source = std::make_unique<RandomSource>();
    source->simd = level;
    std::mt19937 library(0);
    int refills = 0;
    for (int i = 0; i < 300'000; ++i) {
      const int left = source->count - source->next;
      if (left <= RandomCarryLimit && left == refills % (RandomCarryLimit + 1) && i > 0) {
        RefillRandom(*source);
        EXPECT_EQ(source->next, 0);
        EXPECT_EQ(source->count, left + TwisterWords);
        ++refills;
      }
      ASSERT_EQ(NextRandomWord(*source), library()) << "level " << int(level) << " word " << i;
    }
    EXPECT_GT(refills, 400);  // every carry, 0 to 3, many times
  }
}

TEST(Random, MapsByMultiplyingAndKeepingTheHighWord) {
  EXPECT_EQ(ScaleToRange(0u, 3), 0);
  EXPECT_EQ(ScaleToRange(0xFFFFFFFFu, 3), 2);
  EXPECT_EQ(ScaleToRange(0xFFFFFFFFu, 250), 249);
  EXPECT_EQ(ScaleToRange(0x55555555u, 3), 0);  // 3x = 2^32 - 1
  EXPECT_EQ(ScaleToRange(0x55555556u, 3), 1);  // 3x = 2^32 + 2
  EXPECT_EQ(ScaleToRange(0x80000000u, 3), 1);
  EXPECT_EQ(ScaleToRange(0xFFFFFFFFu, 1), 0);

  RandomSource source;
  EXPECT_EQ(Random(source, 250), 137);  // 2357136044 * 250 >> 32
  EXPECT_EQ(Random(source, 20), 11);    // 2546248239 * 20 >> 32
  EXPECT_EQ(Random(source, 10), 7);     // 3071714933 * 10 >> 32
}

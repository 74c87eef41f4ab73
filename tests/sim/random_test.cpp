#include <gtest/gtest.h>

#include <cstdint>

#include "reference_sim.h"
#include "sim/reactor.h"

TEST(Random, GeneratorIsMersenneTwisterSeededWithZero) {
  RandomSource source;
  const std::uint32_t first[] = {2357136044u, 2546248239u, 3071714933u, 3626093760u};
  for (std::uint32_t x : first) EXPECT_EQ(NextRandomWord(source), x);

  // Past the first twists, against the recurrence written out by hand.
  RandomSource library;
  reference::Twister literal;
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(NextRandomWord(library), reference::NextTwister(literal)) << i;
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

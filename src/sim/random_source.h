// The simulation's one random source: MT19937 by its standard initialisation
// from `seed` (0 unless set, first output 2357136044), the very stream of
// std::mt19937(seed), made a block of 624 words at a time so that the move can
// read its words straight from the buffer.
//
// The buffer holds a stretch of the stream: words[next..count) are the words
// not yet drawn. RefillRandom keeps those (at most three) at the front and
// appends the next block, so a reader that wants a few words in a row can
// refill early without losing or reordering any.
#pragma once

#include <cstdint>

#include "sim/simd.h"

// MT19937's state: one twist turns it into the next 624 outputs.
inline constexpr int TwisterWords = 624;
// Words left over when a refill comes early: a reader never asks for more
// than four words at once.
inline constexpr int RandomCarryLimit = 3;
inline constexpr int RandomBufferCapacity = TwisterWords + RandomCarryLimit;

struct RandomSource {
  std::uint32_t state[TwisterWords];
  std::uint32_t words[RandomBufferCapacity];  // tempered outputs
  std::int32_t next = 0;                      // first word not yet drawn
  std::int32_t count = 0;                     // end of the buffered words
  std::uint32_t seed = 0;                     // set before the first draw; kept as a record
  bool seeded = false;                        // state filled from seed
  SimdLevel simd = DetectSimd();
};

// Move the undrawn words (at most RandomCarryLimit) to the front and append
// the next 624 words of the stream.
void RefillRandom(RandomSource& source);

// A generator output x in 0..2^32-1 mapped to 0..n-1 as (x * n) >> 32.
inline std::int32_t ScaleToRange(std::uint32_t x, std::int32_t n) {
  return static_cast<std::int32_t>((static_cast<std::uint64_t>(x) *
                                    static_cast<std::uint64_t>(n)) >> 32);
}

// The next word of the stream.
inline std::uint32_t NextRandomWord(RandomSource& source) {
  if (source.next == source.count) RefillRandom(source);
  return source.words[source.next++];
}

// The next random integer in 0..n-1 (n > 0).
inline std::int32_t Random(RandomSource& source, std::int32_t n) {
  return ScaleToRange(NextRandomWord(source), n);
}

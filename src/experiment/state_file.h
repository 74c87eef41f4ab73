// A run's state as bytes, to be saved and continued elsewhere: the batch
// runner's --save-state and --load-state, Python's Reactor.save, load and
// pickling all write and read this one format, so a run saved by one goes
// on in another with exactly the moves of one unbroken run.
//
// The format moves between machines: a magic, a format version, then fixed
// fields in little-endian order (the parameters, the seed, T, whether it is
// frozen, the generator's position in its stream, the chart's samples and
// the grid's cells), and a CRC-32 of everything before it. What the move
// keeps besides (its caches) is rebuilt from the grid.
//
// A damaged, truncated or foreign file is refused with a short reason; its
// content never reaches the run.
#pragma once

#include <cstddef>
#include <cstdint>

#include "experiment/run.h"

// Bytes before the generator's words: magic, version, parameters, seed, T,
// flags, attempts.
inline constexpr std::size_t StateHeaderSize = 64;
// The most bytes a state takes (a 250 x 250 reactor).
inline constexpr std::size_t StateCapacity = StateHeaderSize + 4 * TwisterWords +
                                             4 * RandomBufferCapacity + 2 + 2 * HistogramCapacity +
                                             GridSide * GridSide + 4;

struct StateBytes {
  std::uint8_t bytes[StateCapacity];
  std::size_t size = 0;
};

// The run's state; the run is not changed.
void EncodeRunState(const Run& run, StateBytes& state);

// The run in the state of bytes[0..size); false, with a reason and the run
// untouched, when the bytes are not a state this program can continue.
bool DecodeRunState(const std::uint8_t* bytes, std::size_t size, Run& run, const char*& reason);

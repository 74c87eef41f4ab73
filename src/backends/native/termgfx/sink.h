// TERMINAL GRAPHICS, the byte sink: what the presenter sends the terminal,
// gathered in a fixed buffer and written to a descriptor when it fills and
// at SinkFlush.
//
// Limits: the writer gives up (failed) on a write error, when abandon turns
// true, or after waiting patienceMs in all for a terminal that does not take
// bytes (-1: as long as it takes); a non-blocking descriptor is never waited
// on for more than WriteWaitMs at a time before abandon is looked at again.
// Dependencies: POSIX write and poll.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Bytes the buffer holds before they are written.
inline constexpr int TermGfxSinkCapacity = 64 * 1024;

struct TermGfxSink {
  int fd = -1;
  const std::atomic<bool>* abandon = nullptr;
  int patienceMs = -1;
  bool failed = false;
  std::int64_t written = 0;  // bytes handed to fd so far
  int used = 0;
  char buffer[TermGfxSinkCapacity];
};

void SinkWrite(TermGfxSink& sink, const char* bytes, std::size_t count);
void SinkFlush(TermGfxSink& sink);

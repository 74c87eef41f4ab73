// TERMINAL GRAPHICS, the byte sink: what the presenter sends the terminal,
// gathered in a fixed buffer and written to a descriptor when it fills and
// at SinkFlush.
//
// Through tmux (SinkWriteThroughTmux): each escape sequence goes to the
// terminal outside in a passthrough string of its own. tmux writes its own
// bytes (a cursor move among them) after each string, so a sequence is
// never cut in two: the one who writes keeps each under TmuxPieceLimit.
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
#include <string_view>

// Bytes the buffer holds before they are written.
inline constexpr int TermGfxSinkCapacity = 64 * 1024;
// The most one passthrough string may hold: tmux drops a string of 1 MiB or
// more (its input buffer); a quarter of that stays well clear of the limit.
inline constexpr std::size_t TmuxPieceLimit = 256 * 1024;

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
// bytes for the terminal outside tmux: each escape sequence, up to and with
// its string terminator, as "ESC P tmux;" + lead + the sequence + "ESC \\",
// every ESC inside doubled. lead (a cursor move, say) may be empty.
void SinkWriteThroughTmux(TermGfxSink& sink, std::string_view lead, const char* bytes,
                          std::size_t count);

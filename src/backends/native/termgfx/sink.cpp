#include "backends/native/termgfx/sink.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// How long one wait for the terminal to take bytes may last before the
// abandon flag is looked at again.
constexpr int WriteWaitMs = 50;

// bytes with every ESC doubled, as tmux reads it back inside its string.
void WriteDoubled(TermGfxSink& s, const char* bytes, std::size_t count) {
  std::size_t from = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (bytes[k] != '\x1b') continue;
    SinkWrite(s, bytes + from, k + 1 - from);
    from = k;  // the ESC goes out again with what follows it
  }
  SinkWrite(s, bytes + from, count - from);
}

}  // namespace

void SinkFlush(TermGfxSink& s) {
  const char* p = s.buffer;
  int left = s.used;
  int waitedMs = 0;
  s.used = 0;
  while (left > 0 && !s.failed) {
    ssize_t n = write(s.fd, p, static_cast<std::size_t>(left));
    if (n > 0) {
      p += n;
      left -= static_cast<int>(n);
      s.written += n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A slow terminal: wait for it, but not past a request to stop.
      if (s.abandon != nullptr && s.abandon->load()) break;
      if (s.patienceMs >= 0 && waitedMs >= s.patienceMs) break;
      pollfd ready = {s.fd, POLLOUT, 0};
      poll(&ready, 1, WriteWaitMs);
      waitedMs += WriteWaitMs;
      continue;
    }
    break;
  }
  if (left > 0) s.failed = true;
}

void SinkWrite(TermGfxSink& s, const char* bytes, std::size_t count) {
  while (count > 0 && !s.failed) {
    if (s.used == TermGfxSinkCapacity) SinkFlush(s);
    const std::size_t room = static_cast<std::size_t>(TermGfxSinkCapacity - s.used);
    const std::size_t n = count < room ? count : room;
    std::memcpy(s.buffer + s.used, bytes, n);
    s.used += static_cast<int>(n);
    bytes += n;
    count -= n;
  }
}

void SinkWriteThroughTmux(TermGfxSink& s, std::string_view lead, const char* bytes,
                          std::size_t count) {
  std::size_t begin = 0;
  while (begin < count && !s.failed) {
    std::size_t end = begin + 1;
    while (end < count && !(bytes[end - 1] == '\x1b' && bytes[end] == '\\')) ++end;
    end = end < count ? end + 1 : count;
    SinkWrite(s, "\x1bPtmux;", 7);
    WriteDoubled(s, lead.data(), lead.size());
    WriteDoubled(s, bytes + begin, end - begin);
    SinkWrite(s, "\x1b\\", 2);
    begin = end;
  }
}

#include "platform/text_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fatal.h"

namespace {

void Restart(LineReader& reader) {
  reader.start = reader.end = 0;
  reader.ended = false;
  reader.skipLineFeed = false;
}

}  // namespace

void SetLineReaderFd(LineReader& reader, int fd) {
  reader.fd = fd;
  reader.memory = nullptr;
  Restart(reader);
}

void SetLineReaderMemory(LineReader& reader, std::string_view text) {
  reader.fd = -1;
  reader.memory = text.data();
  reader.memoryLength = text.size();
  reader.memoryPos = 0;
  Restart(reader);
}

bool FillLineReader(LineReader& reader) {
  if (reader.start < reader.end) return true;
  if (reader.ended) return false;
  reader.start = reader.end = 0;
  if (reader.fd < 0) {
    std::size_t left = reader.memory == nullptr ? 0 : reader.memoryLength - reader.memoryPos;
    std::size_t n = left < LineReaderBufferSize ? left : LineReaderBufferSize;
    if (n > 0) std::memcpy(reader.buffer, reader.memory + reader.memoryPos, n);
    reader.memoryPos += n;
    reader.end = static_cast<int>(n);
  } else {
    for (;;) {
      ssize_t n = read(reader.fd, reader.buffer, LineReaderBufferSize);
      if (n >= 0) {
        reader.end = static_cast<int>(n);
        break;
      }
      if (errno != EINTR) RuntimeError(100);
      if (reader.interrupted != nullptr) reader.interrupted();
    }
  }
  if (reader.end == 0) reader.ended = true;
  return reader.end > 0;
}

bool LineReaderAtEnd(LineReader& reader) {
  for (;;) {
    if (!FillLineReader(reader)) return true;
    char c = reader.buffer[reader.start];
    if (reader.ctrlZEnds && c == LineReaderCtrlZ) {
      reader.ended = true;
      reader.start = reader.end;
      return true;
    }
    // Only the very next byte can be the LF of a CR LF.
    const bool lineFeedOfCr = reader.skipLineFeed && c == '\n';
    reader.skipLineFeed = false;
    if (!lineFeedOfCr) return false;
    ++reader.start;
  }
}

int ReadLine(LineReader& reader, char* out, int capacity) {
  int length = 0;
  const bool read = ReadLineBytes(reader, [&](char c) {
    if (length < capacity) out[length++] = c;
  });
  return read ? length : -1;
}

void Assign(TextFile& file, std::string_view name) {
  if (file.open) Close(file);
  std::size_t n = name.size() < sizeof file.name - 1 ? name.size() : sizeof file.name - 1;
  std::memcpy(file.name, name.data(), n);
  file.name[n] = '\0';
  file.nameLength = static_cast<int>(n);
}

int Reset(TextFile& file) {
  if (file.nameLength < 0) return 102;
  if (file.open) Close(file);
  // Look before opening: opening a device may do something, a FIFO waits.
  struct stat info;
  if (stat(file.name, &info) == 0 && !S_ISREG(info.st_mode)) return 5;
  // Whatever took the name's place since then must not block the open either.
  int fd = open(file.name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    switch (errno) {
      case ENOENT: return 2;
      case ENOTDIR: case ENAMETOOLONG: case ELOOP: return 3;
      case EMFILE: case ENFILE: return 4;
      default: return 5;
    }
  }
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return 5;
  }
  SetLineReaderFd(file.reader, fd);
  file.reader.ctrlZEnds = true;
  file.open = true;
  return 0;
}

bool Eof(TextFile& file) {
  if (!file.open) RuntimeError(103);
  return LineReaderAtEnd(file.reader);
}

int ReadTextFileLine(TextFile& file, char* out, int capacity) {
  if (!file.open) RuntimeError(103);
  return ReadLine(file.reader, out, capacity);
}

void Close(TextFile& file) {
  if (!file.open) RuntimeError(103);
  close(file.reader.fd);
  file.reader.fd = -1;
  file.open = false;
}

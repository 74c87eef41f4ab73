#include "platform/text_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fatal.h"

namespace {

constexpr char CtrlZ = 26;

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
    if (reader.ctrlZEnds && c == CtrlZ) {
      reader.ended = true;
      reader.start = reader.end;
      return true;
    }
    if (!(reader.skipLineFeed && c == '\n')) return false;
    reader.skipLineFeed = false;
    ++reader.start;
  }
}

int ReadLine(LineReader& reader, char* out, int capacity) {
  if (LineReaderAtEnd(reader)) return -1;
  int length = 0;
  while (FillLineReader(reader)) {
    char c = reader.buffer[reader.start++];
    if (c == '\n') break;
    if (c == '\r') {
      reader.skipLineFeed = true;
      break;
    }
    if (reader.ctrlZEnds && c == CtrlZ) {
      reader.ended = true;
      reader.start = reader.end;
      break;
    }
    if (length < capacity) out[length++] = c;
  }
  return length;
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
  int fd = open(file.name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    switch (errno) {
      case ENOENT: return 2;
      case ENOTDIR: case ENAMETOOLONG: case ELOOP: return 3;
      case EMFILE: case ENFILE: return 4;
      default: return 5;
    }
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
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

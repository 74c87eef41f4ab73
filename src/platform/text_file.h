// Reading text line by line without allocation: a LineReader over a file
// descriptor or a block of memory with a fixed buffer, and the read-only text
// files of the help and summary pagers on top of it.
//
// A line ends at LF, CR or CR LF (an LF right after a CR belongs to it, so
// "a\r\n\nb" is a, an empty line, b); the last line needs no line end. In
// text files a Ctrl-Z byte ends the file, as DOS editors wrote it. A line
// longer than the caller's capacity is cut there and the rest of it is skipped.
//
// Only a regular file is a text file. A FIFO, a device or a folder (or a link
// to one) would block, never end or not read: Reset refuses it as it refuses a
// missing file, without waiting. Regular files are read to their end whatever
// size they report, so /proc and /sys files (size 0) read as they are.
//
// Failures: Reset reports a file that cannot be opened as a non-zero I/O
// result (2 not found, 3 bad path, 4 too many open files, 5 access denied or
// not a regular file, 102 no name assigned). Every other failure ends the
// program with "Runtime error <n>": 100 a read error, 103 a file that is not
// open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/shortstring.h"

inline constexpr int LineReaderBufferSize = 4096;
inline constexpr char LineReaderCtrlZ = 26;

struct LineReader {
  int fd = -1;                       // read from this descriptor, or
  const char* memory = nullptr;      // from this block when fd < 0
  std::size_t memoryLength = 0;
  std::size_t memoryPos = 0;
  char buffer[LineReaderBufferSize];
  int start = 0, end = 0;            // unread bytes are buffer[start, end)
  bool ended = false;                // nothing more will come
  bool skipLineFeed = false;         // the last line ended in CR: drop a following LF
  bool ctrlZEnds = false;            // a Ctrl-Z byte ends the input
  // Called when a signal interrupted a read, before it is tried again; it
  // may end the program (the signal asked for the end). Null: just retry.
  void (*interrupted)() = nullptr;
};

// Read from a descriptor / from memory (the block must outlive the reader).
void SetLineReaderFd(LineReader& reader, int fd);
void SetLineReaderMemory(LineReader& reader, std::string_view text);
// Make unread bytes available, waiting for them if the descriptor blocks.
// False at the end. A read error is "Runtime error 100"; a read interrupted
// by a signal calls the reader's interrupted hook.
bool FillLineReader(LineReader& reader);
// True when no byte is left (it may wait for one, see FillLineReader).
bool LineReaderAtEnd(LineReader& reader);
// Read one line into out (at most capacity bytes, the rest of the line
// skipped); returns its length, or -1 at the end of the input.
int ReadLine(LineReader& reader, char* out, int capacity);
// Read one line, handing each of its bytes to keep(c) (the line end not);
// false at the end of the input.
template <typename Keep>
bool ReadLineBytes(LineReader& reader, Keep&& keep);

struct TextFile {
  char name[256] = {};
  int nameLength = -1;  // -1: no name assigned
  bool open = false;
  LineReader reader;
};

// Give the file its name (code page 852 bytes, cut at 255).
void Assign(TextFile& file, std::string_view name);
// Open for reading; 0 or the I/O error number, never fatal.
int Reset(TextFile& file);
bool Eof(TextFile& file);
void Close(TextFile& file);
// Read one line into line, cut at its capacity, the rest of the line skipped.
// At the end of the file line becomes empty.
template <int Capacity>
void Readln(TextFile& file, ShortString<Capacity>& line);

int ReadTextFileLine(TextFile& file, char* out, int capacity);

template <typename Keep>
bool ReadLineBytes(LineReader& reader, Keep&& keep) {
  if (LineReaderAtEnd(reader)) return false;
  while (FillLineReader(reader)) {
    char c = reader.buffer[reader.start++];
    if (c == '\n') break;
    if (c == '\r') {
      reader.skipLineFeed = true;
      break;
    }
    if (reader.ctrlZEnds && c == LineReaderCtrlZ) {
      reader.ended = true;
      reader.start = reader.end;
      break;
    }
    keep(c);
  }
  return true;
}

template <int Capacity>
void Readln(TextFile& file, ShortString<Capacity>& line) {
  int n = ReadTextFileLine(file, line.chars, Capacity);
  line.length = static_cast<std::uint8_t>(n < 0 ? 0 : n);
}

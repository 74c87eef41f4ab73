#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fatal.h"
#include "platform/text_file.h"

namespace {

// A file with these bytes in a fresh temporary folder.
struct TempFile {
  std::filesystem::path folder;
  std::string path;
  explicit TempFile(std::string_view bytes) {
    char pattern[] = "/tmp/lemvaris-text-XXXXXX";
    folder = mkdtemp(pattern);
    path = (folder / "kervatin.hlp").string();
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~TempFile() { std::filesystem::remove_all(folder); }
};

// Every line of the file read with capacity 5, joined by '|'.
std::string LinesOf(std::string_view bytes) {
  TempFile file(bytes);
  TextFile f;
  Assign(f, file.path);
  EXPECT_EQ(Reset(f), 0);
  std::string out;
  ShortString<5> line;
  while (!Eof(f)) {
    Readln(f, line);
    out += std::string(line.view()) + "|";
  }
  Close(f);
  return out;
}

// Every line a memory reader gives with capacity 5, joined by '|'.
std::string MemoryLinesOf(std::string_view bytes) {
  LineReader reader;
  SetLineReaderMemory(reader, bytes);
  std::string out;
  char line[5];
  for (int n; (n = ReadLine(reader, line, 5)) >= 0;) out += std::string(line, n) + "|";
  return out;
}

// A blocking open would hang the test; the alarm ends it instead.
struct HangGuard {
  HangGuard() { alarm(10); }
  ~HangGuard() { alarm(0); }
};

int ExitCodeOf(void (*body)()) {
  try {
    body();
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.message.view(), "Runtime error " + std::to_string(e.code));
    return e.code;
  }
  return 0;
}

}  // namespace

TEST(TextFile, LinesAreCutAtTheCapacityAndTheirRestSkipped) {
  EXPECT_EQ(LinesOf("one\ntwo three\n\nfour"), "one|two t||four|");
  EXPECT_EQ(LinesOf("dos\r\nlines\r\n"), "dos|lines|");
  EXPECT_EQ(LinesOf("old\rmac\r"), "old|mac|");
  EXPECT_EQ(LinesOf(""), "");
  EXPECT_EQ(LinesOf("\n"), "|");
  EXPECT_EQ(LinesOf("end\n\x1a" "after the end\n"), "end|");  // Ctrl-Z ends a DOS file
}

TEST(TextFile, OnlyTheByteRightAfterACrCanBeItsLineFeed) {
  for (auto read : {LinesOf, MemoryLinesOf}) {
    EXPECT_EQ(read("a\rb\n\nc"), "a|b||c|");
    EXPECT_EQ(read("a\r\n\nb"), "a||b|");
    EXPECT_EQ(read("a\r\r\nb\r"), "a||b|");
    EXPECT_EQ(read("\r\n\n"), "||");
    EXPECT_EQ(read("a\rbcdefgh\n\nc"), "a|bcdef||c|");  // also when the line was cut
  }
  // A CR that ends one buffer fill and the LF that starts the next.
  std::string bytes(LineReaderBufferSize - 1, 'x');
  bytes += "\r\n\nz";
  EXPECT_EQ(MemoryLinesOf(bytes), "xxxxx||z|");
}

TEST(TextFile, LongFileAcrossManyBufferFills) {
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += std::to_string(i % 1000) + "\r\n";
  TempFile file(bytes);
  TextFile f;
  Assign(f, file.path);
  ASSERT_EQ(Reset(f), 0);
  ShortString<255> line;
  int count = 0;
  bool inOrder = true;
  while (!Eof(f)) {
    Readln(f, line);
    inOrder = inOrder && line.view() == std::to_string(count % 1000);
    ++count;
  }
  Close(f);
  EXPECT_EQ(count, 5000);
  EXPECT_TRUE(inOrder);
}

TEST(TextFile, ResetReportsAFileThatCannotBeOpened) {
  TempFile file("x");
  TextFile f;
  EXPECT_EQ(Reset(f), 102);  // no name
  Assign(f, file.folder.string() + "/missing.hlp");
  EXPECT_EQ(Reset(f), 2);
  Assign(f, file.path + "/below-a-file");
  EXPECT_EQ(Reset(f), 3);
  Assign(f, file.folder.string());  // a folder is no text file
  EXPECT_NE(Reset(f), 0);
  EXPECT_FALSE(f.open);
}

TEST(TextFile, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
  TempFile file("");
  const std::string fifo = file.folder.string() + "/fifo.hlp";
  const std::string zeroLink = file.folder.string() + "/zero.hlp";
  const std::string fifoLink = file.folder.string() + "/fifo-link.hlp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", zeroLink.c_str()), 0);
  ASSERT_EQ(symlink(fifo.c_str(), fifoLink.c_str()), 0);
  HangGuard guard;
  for (const std::string& name :
       {fifo, zeroLink, fifoLink, std::string("/dev/null"), file.folder.string()}) {
    TextFile f;
    Assign(f, name);
    EXPECT_EQ(Reset(f), 5) << name;
    EXPECT_FALSE(f.open) << name;
  }
  // A writer on the FIFO makes no difference.
  const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  TextFile f;
  Assign(f, fifo);
  EXPECT_EQ(Reset(f), 5);
  close(writer);
}

TEST(TextFile, AProcFileReadsThoughItsSizeIsZero) {
  struct stat info;
  ASSERT_EQ(stat("/proc/self/status", &info), 0);
  EXPECT_EQ(info.st_size, 0);
  TextFile f;
  Assign(f, "/proc/self/status");
  ASSERT_EQ(Reset(f), 0);
  ShortString<255> line;
  Readln(f, line);
  EXPECT_EQ(line.view().substr(0, 5), "Name:");
  EXPECT_FALSE(Eof(f));
  Close(f);
}

TEST(TextFile, UsingAFileThatIsNotOpenIsRuntimeError103) {
  EXPECT_EQ(ExitCodeOf([] {
              TextFile f;
              Eof(f);
            }),
            103);
  EXPECT_EQ(ExitCodeOf([] {
              TextFile f;
              ShortString<80> line;
              Readln(f, line);
            }),
            103);
  EXPECT_EQ(ExitCodeOf([] {
              TextFile f;
              Close(f);
            }),
            103);
}

TEST(TextFile, ReadErrorIsRuntimeError100) {
  EXPECT_EQ(ExitCodeOf([] {
              LineReader reader;
              SetLineReaderFd(reader,
                              open("/tmp", O_RDONLY | O_DIRECTORY));  // read() fails: EISDIR
              char line[8];
              ReadLine(reader, line, 8);
            }),
            100);
}

#include "backends/native/transcript.h"

#include <cstdint>

#include "platform/console.h"
#include "text/cp852.h"
#include "platform/program_exit.h"
#include "text/utf8.h"

namespace {

// Columns from + 1 to to of row y in UTF-8, trailing blanks left out;
// returns the bytes and sets end to the last column taken (at least from).
int RowUtf8(const Console& con, int y, int from, int to, int& end, char* out) {
  char row[ConsoleWidth];
  ConsoleRowText(con, y, row);
  while (to > from && row[to - 1] == ' ') --to;
  end = to > from ? to : from;
  int n = 0;
  for (int x = from; x < end; ++x)
    n += EncodeUtf8(ConsoleCharToUnicode(static_cast<std::uint8_t>(row[x])), out + n);
  return n;
}

int RowUtf8(const Console& con, int y, char* out) {
  int end = 0;
  return RowUtf8(con, y, 0, ConsoleWidth, end, out);
}

void TranscriptFailed(Transcript& t) {
  if (t.failed) return;
  t.failed = true;
  RuntimeError(101);
}

std::uint32_t RowBit(int y) { return 1u << (y - 1); }

// The transcript is one stream of rows, top to bottom, each row once between
// two erasures; text written to a row the stream has passed is not repeated.
// Rows go out from the first one written to (or the row the stream is on) to
// the last one written to. With upToCursor the stream stops on the cursor's
// row, after the last character before the cursor and without the line end,
// so that a waiting prompt can be read; that row stays marked in writtenRows
// until its line end is out, so an erasure still finishes it. Rows below the
// cursor wait.
void WriteTranscript(Transcript& t, Console& con, bool upToCursor) {
  if (t.failed || con.writtenRows == 0) return;
  int first = t.row;
  if (first == 0)
    while ((con.writtenRows & RowBit(++first)) == 0) {}
  int last = ConsoleHeight;
  while (last > first && (con.writtenRows & RowBit(last)) == 0) --last;
  int stop = upToCursor && con.cursorY < last ? con.cursorY : last;
  if (stop < first) return;  // the cursor stands above the rows to go out
  for (int y = first; y <= stop; ++y) {
    const bool open = upToCursor && y == stop;
    const int from = y == t.row ? t.columns : 0;
    const int to = open && y == con.cursorY ? con.cursorX - 1 : ConsoleWidth;
    char line[ConsoleWidth * 4 + 1];
    int end = 0;
    int n = RowUtf8(con, y, from, to, end, line);
    if (!open) line[n++] = '\n';
    if (std::fwrite(line, 1, static_cast<std::size_t>(n), t.out) != static_cast<std::size_t>(n))
      TranscriptFailed(t);
    if (open) {
      t.row = y;
      t.columns = end;
    }
  }
  if (upToCursor) {
    con.writtenRows = (con.writtenRows & ~(RowBit(stop) - 1)) | RowBit(stop);
  } else {
    con.writtenRows = 0;
    t.row = 0;
    t.columns = 0;
  }
}

void TranscriptEraseHook(void* context, Console& con) {
  WriteTranscript(*static_cast<Transcript*>(context), con, false);
}

}  // namespace

void StartTranscript(Transcript& t, Console& con, std::FILE* out) {
  t.out = out;
  con.eraseHook = ConsoleEraseHook{&t, TranscriptEraseHook};
}

void ShowTranscript(Transcript& t, Console& con) {
  if (t.failed) return;
  WriteTranscript(t, con, true);
  if (std::fflush(t.out) != 0) TranscriptFailed(t);
}

void EndTranscript(Transcript& t, Console& con) {
  try {
    WriteTranscript(t, con, false);
  } catch (const ProgramExit&) {
    // already ending: the failed write cannot be reported any better
  }
  std::fflush(t.out);
  con.eraseHook = ConsoleEraseHook{};
}

void PrintConsoleScreen(const Console& con, std::FILE* out) {
  int last = ConsoleHeight;
  char row[ConsoleWidth];
  while (last > 0 && ConsoleRowText(con, last, row) == 0) --last;
  for (int y = 1; y <= last; ++y) {
    char line[ConsoleWidth * 4 + 1];
    int n = RowUtf8(con, y, line);
    line[n++] = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(n), out);
  }
  std::fflush(out);
}

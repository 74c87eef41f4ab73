// The console as a plain transcript: what the terminal presenter writes
// instead of a screen when standard output is not a terminal (a pipe, a
// file), and the last screen printed after the alternate screen is left.
//
// Every row that text was written to goes out once, in screen order, in
// UTF-8. What stands above and before the cursor goes out whenever the
// console is shown (before every wait for a key or an answer, so a prompt can
// be read through a pipe); the rest of a row goes out when it is cleared or
// scrolled away (the console's erase hook), and at the end.
#pragma once

#include <cstdio>

struct Console;

struct Transcript {
  std::FILE* out = nullptr;
  bool failed = false;  // a write failed; reported once, then silent
  int row = 0;          // the row the transcript stopped on, or 0 after an erasure
  int columns = 0;      // columns of that row already written (no line end yet)
};

// Write the console's transcript to out from now on; the console's erase
// hook points at transcript, which must stay where it is.
void StartTranscript(Transcript& transcript, Console& console, std::FILE* out);
// Write what stands above and before the cursor (the console is shown) and
// flush. A failed write is "Runtime error 101", once.
void ShowTranscript(Transcript& transcript, Console& console);
// Write the rest and detach from the console; a failed write is not
// reported again (the program is ending).
void EndTranscript(Transcript& transcript, Console& console);

// The console's rows down to the last one with text, as UTF-8 lines on out.
void PrintConsoleScreen(const Console& console, std::FILE* out);

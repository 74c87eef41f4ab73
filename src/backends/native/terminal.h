// The terminal presenter: shows the console model on the person's terminal
// and reads keys from it.
//
// Output: when standard output is a terminal, ncurses mirrors the console in
// UTF-8 with its colours (changed rows only). The alternate screen, if the
// terminal has one, is left at the end and the last console screen is printed
// on the normal screen, so it stays readable. When standard output is not a
// terminal (or ncurses cannot drive it), a plain UTF-8 transcript is written
// instead (transcript.h).
//
// Keys: from standard input when it is a terminal, else from /dev/tty. Key
// mode (no line buffering, no echo; Ctrl-C still signals) is set by the first
// key operation and kept while the program asks for keys; it is taken off
// when the program reads a line in the terminal's own line mode, and at the
// end. Switching it off between two polls would let the terminal echo keys
// typed in between onto the screen.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <termios.h>

#include "backends/native/transcript.h"

struct Console;
struct KeyQueue;

enum class TerminalOutput : std::uint8_t {
  None,        // nothing shown (not opened, or closed)
  Screen,      // ncurses on standard output
  Transcript,  // plain text on standard output
};

// Bytes of a key sequence that may still be incomplete.
inline constexpr int TerminalPendingCapacity = 64;
// ncurses keeps copies of the whole screen: a size no terminal has (`stty
// rows 9999 cols 9999`) would take it gigabytes and a minute. It is told at
// most this much; the console needs 80 x 25.
inline constexpr int TerminalMaxColumns = 1000;
inline constexpr int TerminalMaxRows = 500;

struct Terminal {
  TerminalOutput output = TerminalOutput::None;
  void* screen = nullptr;          // the ncurses SCREEN
  bool alternateScreen = false;    // the terminal swaps screens: print the last one
  bool redrawAll = false;          // the terminal's picture is no longer known
  bool screenLent = false;         // another presenter draws on the screen: leave it alone
  int viewTop = 1;                 // console row on the terminal's first line
  Transcript transcript;
  // Keys.
  int keyFd = -1;                  // -1: no terminal to read keys from
  bool ownsKeyFd = false;          // /dev/tty, opened here
  bool keysFromStdin = false;      // standard input is the key terminal
  bool keyInputEnded = false;      // the terminal hung up
  bool keyMode = false;
  bool haveSavedMode = false;
  termios savedMode = {};
  std::uint8_t pending[TerminalPendingCapacity] = {};
  int pendingCount = 0;
  std::int64_t pendingSinceUs = 0;
};

// Why ncurses cannot drive the terminal TERM names on standard output (no
// terminfo entry for it, or no terminfo at all): a Hungarian UTF-8 text,
// naming TERM, into why (capacity bytes); false when it can. Shows nothing.
bool TerminfoMissing(char* why, int capacity);

// Find the terminal, choose the output and install the signal handlers; the
// console's erase hook feeds the transcript.
void OpenTerminal(Terminal& terminal, Console& console);
// Write the transcript of the console to out (what OpenTerminal does when
// standard output is not a terminal).
void UseTranscript(Terminal& terminal, Console& console, std::FILE* out);
// Key mode off, the terminal's mode and screen put back, the last screen
// shown, the transcript completed. Safe to call twice.
void CloseTerminal(Terminal& terminal, Console& console);

// Bring the terminal up to date with the console (cheap when nothing changed).
// A failed transcript write is "Runtime error 101".
void ShowConsole(Terminal& terminal, Console& console);

void EnterKeyMode(Terminal& terminal);
void LeaveKeyMode(Terminal& terminal);
// Move the keys the terminal has sent into the queue without waiting. An
// escape sequence still incomplete after a short time counts as plain keys.
void ReadTerminalKeys(Terminal& terminal, KeyQueue& keys, std::int64_t nowUs);
// Wait until the key terminal has input or timeoutMs passed (also a plain
// sleep when there is no key terminal). Returns early on a signal.
void WaitForTerminal(const Terminal& terminal, int timeoutMs);
// Can keys still come from the terminal?
bool TerminalHasKeys(const Terminal& terminal);

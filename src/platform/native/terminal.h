// The terminal presenter: shows the console model on the person's terminal
// and reads keys from it.
//
// Output: when standard output is a terminal, ncurses mirrors the console in
// UTF-8 with its colours (changed rows only). The alternate screen, if the
// terminal has one, is left at the end and the last console screen is printed
// on the normal screen, so it stays readable. When standard output is not a
// terminal (or ncurses cannot drive it), a plain UTF-8 transcript is written
// instead: every row that text was written to, once, in screen order. What
// stands above and before the cursor goes out whenever the console is shown
// (before every wait for a key or an answer, so a prompt can be read through
// a pipe); the rest of a row goes out when it is cleared or scrolled away,
// and at the end.
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

struct Console;
struct KeyQueue;

enum class TerminalOutput : std::uint8_t {
  None,        // nothing shown (not opened, or closed)
  Screen,      // ncurses on standard output
  Transcript,  // plain text on standard output
};

// Bytes of a key sequence that may still be incomplete.
inline constexpr int TerminalPendingCapacity = 64;

struct Terminal {
  TerminalOutput output = TerminalOutput::None;
  void* screen = nullptr;          // the ncurses SCREEN
  bool alternateScreen = false;    // the terminal swaps screens: print the last one
  bool redrawAll = false;          // the terminal's picture is no longer known
  bool screenLent = false;         // another presenter draws on the screen: leave it alone
  int viewTop = 1;                 // console row on the terminal's first line
  std::FILE* transcript = nullptr;
  bool transcriptFailed = false;   // a write failed; reported once, then silent
  int transcriptRow = 0;           // the row the transcript stopped on, or 0 after an erasure
  int transcriptColumns = 0;       // columns of that row already written (no line end yet)
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

// Decode bytes a terminal sent into keys: characters as code page 852 bytes
// (UTF-8 decoded; characters the code page lacks are dropped), cursor and
// function keys as 0 + PC scan code, Ctrl+@ (the byte 0) as 0 + 3, Enter 13,
// Backspace 8, Esc 27. Returns
// the bytes used; an incomplete sequence at the end is left for later unless
// flush is true. Unknown escape sequences are dropped whole.
int DecodeTerminalKeys(std::string_view bytes, bool flush, KeyQueue& keys);

// The Unicode character a console cell shows: code page 852, with the PC's
// symbols for the control bytes (0 is a blank).
char32_t ConsoleCharToUnicode(std::uint8_t ch);
// Append the UTF-8 bytes of cp to out (room for 4); returns their count.
int EncodeUtf8(char32_t cp, char* out);

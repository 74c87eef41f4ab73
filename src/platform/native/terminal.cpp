#include "platform/native/terminal.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>  // Required for: the screen presenter

#include <cerrno>
#include <clocale>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/cp852.h"
#include "platform/fatal.h"
#include "platform/key_queue.h"
#include "platform/native/signals.h"
#include "platform/utf8.h"

namespace {

// How long the rest of an escape sequence may take to arrive before the
// bytes count as keys of their own (a lone Esc).
constexpr std::int64_t EscapeWaitUs = 30000;

// The PC's extended code of Ctrl+@ (the terminal sends it as the byte 0).
constexpr std::uint8_t CtrlAtScanCode = 3;

// The PC's symbols for the bytes 0 to 31.
constexpr char32_t ControlSymbols[32] = {
    U' ',    0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8,  0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA,  0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191,  0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};

// Console colours (blue = 1, red = 4) in curses numbering (red = 1, blue = 4).
constexpr short CursesColour[8] = {COLOR_BLACK, COLOR_BLUE,    COLOR_GREEN,  COLOR_CYAN,
                                   COLOR_RED,   COLOR_MAGENTA, COLOR_YELLOW, COLOR_WHITE};

SCREEN* ScreenOf(const Terminal& t) { return static_cast<SCREEN*>(t.screen); }

// Colour pair of an attribute: pair 0 is LightGray on Black, the normal one.
short PairOf(std::uint8_t attribute) {
  int fg = attribute & 7, bg = (attribute >> 4) & 7;
  return static_cast<short>(bg * 8 + (7 - fg));
}

void SetUpColours() {
  if (!has_colors() || start_color() == ERR) return;
  assume_default_colors(COLOR_WHITE, COLOR_BLACK);
  if (COLOR_PAIRS < 64) return;
  for (int pair = 1; pair < 64; ++pair)
    init_pair(static_cast<short>(pair), CursesColour[7 - pair % 8], CursesColour[pair / 8]);
}

// Make the locale's character type UTF-8 so that ncurses writes UTF-8.
void UseUtf8Locale() {
  std::setlocale(LC_CTYPE, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

void DrawScreen(Terminal& t, Console& con) {
  set_term(ScreenOf(t));
  int rows = LINES < ConsoleHeight ? LINES : ConsoleHeight;
  int cols = COLS < ConsoleWidth ? COLS : ConsoleWidth;
  // A terminal of fewer than 25 lines shows the rows around the cursor, so
  // that the page prompt on row 25 can be seen.
  int top = con.cursorY > rows ? con.cursorY - rows + 1 : 1;
  if (top != t.viewTop) t.redrawAll = true;
  t.viewTop = top;
  std::uint32_t rowsToDraw = t.redrawAll ? ~0u : con.changedRows;
  for (int y = top; y < top + rows; ++y) {
    if ((rowsToDraw & (1u << (y - 1))) == 0) continue;
    for (int x = 1; x <= cols; ++x) {
      const ConsoleCell& cell = con.cells[y - 1][x - 1];
      wchar_t text[2] = {static_cast<wchar_t>(ConsoleCharToUnicode(cell.ch)), 0};
      attr_t attrs = (cell.attribute & 0x08) != 0 ? A_BOLD : A_NORMAL;
      cchar_t shown;
      setcchar(&shown, text, attrs, PairOf(cell.attribute), nullptr);
      mvadd_wch(y - top, x - 1, &shown);  // ERR at the last cell is harmless
    }
  }
  con.changedRows = 0;
  if (t.redrawAll) clearok(curscr, TRUE);
  t.redrawAll = false;
  if (con.cursorX <= cols) move(con.cursorY - top, con.cursorX - 1);
  refresh();
}

// The terminal was resized or the program continued after a stop.
void Recover(Terminal& t) {
  if (t.keyMode) {
    t.keyMode = false;
    EnterKeyMode(t);
  }
  if (t.output != TerminalOutput::Screen) return;
  winsize size;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
    set_term(ScreenOf(t));
    resize_term(size.ws_row, size.ws_col);
  }
  t.redrawAll = true;
}

// The terminal's description has this string capability.
bool HasCapability(const char* name) {
  const char* value = tigetstr(const_cast<char*>(name));
  return value != nullptr && value != reinterpret_cast<const char*>(-1) && *value != '\0';
}

// What leaves full-screen mode if the program is stopped the hard way:
// leave the alternate screen, show the cursor, normal colours.
ShortString<128> ScreenResetBytes() {
  ShortString<128> bytes;
  for (const char* name : {"sgr0", "cnorm", "rmcup"})
    if (HasCapability(name)) Append(bytes, tigetstr(const_cast<char*>(name)));
  return bytes;
}

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

void TranscriptFailed(Terminal& t) {
  if (t.transcriptFailed) return;
  t.transcriptFailed = true;
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
void WriteTranscript(Terminal& t, Console& con, bool upToCursor) {
  if (t.transcriptFailed || con.writtenRows == 0) return;
  int first = t.transcriptRow;
  if (first == 0)
    while ((con.writtenRows & RowBit(++first)) == 0) {}
  int last = ConsoleHeight;
  while (last > first && (con.writtenRows & RowBit(last)) == 0) --last;
  int stop = upToCursor && con.cursorY < last ? con.cursorY : last;
  if (stop < first) return;  // the cursor stands above the rows to go out
  for (int y = first; y <= stop; ++y) {
    const bool open = upToCursor && y == stop;
    const int from = y == t.transcriptRow ? t.transcriptColumns : 0;
    const int to = open && y == con.cursorY ? con.cursorX - 1 : ConsoleWidth;
    char line[ConsoleWidth * 4 + 1];
    int end = 0;
    int n = RowUtf8(con, y, from, to, end, line);
    if (!open) line[n++] = '\n';
    if (std::fwrite(line, 1, static_cast<std::size_t>(n), t.transcript) != static_cast<std::size_t>(n))
      TranscriptFailed(t);
    if (open) {
      t.transcriptRow = y;
      t.transcriptColumns = end;
    }
  }
  if (upToCursor) {
    con.writtenRows = (con.writtenRows & ~(RowBit(stop) - 1)) | RowBit(stop);
  } else {
    con.writtenRows = 0;
    t.transcriptRow = 0;
    t.transcriptColumns = 0;
  }
}

void TranscriptEraseHook(void* context, Console& con) {
  WriteTranscript(*static_cast<Terminal*>(context), con, false);
}

// After the alternate screen is gone: the last console screen as plain text.
void PrintLastScreen(const Console& con) {
  int last = ConsoleHeight;
  char row[ConsoleWidth];
  while (last > 0 && ConsoleRowText(con, last, row) == 0) --last;
  for (int y = 1; y <= last; ++y) {
    char line[ConsoleWidth * 4 + 1];
    int n = RowUtf8(con, y, line);
    line[n++] = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(n), stdout);
  }
  std::fflush(stdout);
}

int ScanCodeOfTilde(int number) {
  switch (number) {
    case 1: case 7: return ScanHome;
    case 2: return ScanIns;
    case 3: return ScanDel;
    case 4: case 8: return ScanEnd;
    case 5: return ScanPgUp;
    case 6: return ScanPgDn;
    case 11: case 12: case 13: case 14: case 15: return ScanF1 + number - 11;
    case 17: case 18: case 19: case 20: case 21: return ScanF1 + 5 + number - 17;
    case 23: return ScanF11;
    case 24: return ScanF12;
    default: return 0;
  }
}

// Scan code of a cursor or function key named by the last byte of its
// sequence (ESC [ x or ESC O x), or 0.
int ScanCodeOfFinal(std::uint8_t final) {
  switch (final) {
    case 'A': return ScanUp;
    case 'B': return ScanDown;
    case 'C': return ScanRight;
    case 'D': return ScanLeft;
    case 'H': return ScanHome;
    case 'F': return ScanEnd;
    case 'P': case 'Q': case 'R': case 'S': return ScanF1 + final - 'P';
    default: return 0;
  }
}

// One escape sequence at b[0] = ESC: bytes used (> 0), 0 when incomplete,
// -1 when it is no sequence (a lone Esc key).
int DecodeEscape(const std::uint8_t* b, int n, KeyQueue& keys) {
  if (n < 2) return 0;
  if (b[1] == 'O') {  // SS3: application cursor keys, F1 to F4
    if (n < 3) return 0;
    if (b[2] == 'M') {
      PushKey(keys, 13);
    } else if (int scan = ScanCodeOfFinal(b[2]); scan != 0) {
      PushExtendedKey(keys, static_cast<std::uint8_t>(scan));
    }
    return 3;
  }
  if (b[1] != '[') return -1;
  if (n < 3) return 0;
  if (b[2] == '[') {  // the Linux console's F1 to F5
    if (n < 4) return 0;
    if (b[3] >= 'A' && b[3] <= 'E') PushExtendedKey(keys, static_cast<std::uint8_t>(ScanF1 + b[3] - 'A'));
    return 4;
  }
  // CSI: parameter bytes, intermediate bytes, one final byte.
  int j = 2, number = 0;
  bool inFirst = true;
  for (; j < n && b[j] >= 0x30 && b[j] <= 0x3F; ++j) {
    if (b[j] >= '0' && b[j] <= '9' && inFirst && number < 1000) number = number * 10 + (b[j] - '0');
    else inFirst = false;
  }
  for (; j < n && b[j] >= 0x20 && b[j] <= 0x2F; ++j) {}
  if (j >= n) return 0;
  if (b[j] < 0x40 || b[j] > 0x7E) return -1;
  int scan = b[j] == '~' ? ScanCodeOfTilde(number) : ScanCodeOfFinal(b[j]);
  if (scan != 0) PushExtendedKey(keys, static_cast<std::uint8_t>(scan));
  return j + 1;
}

}  // namespace

char32_t ConsoleCharToUnicode(std::uint8_t ch) {
  if (ch < 32) return ControlSymbols[ch];
  if (ch == 127) return 0x2302;
  return Cp852ToUnicode[ch];
}

int EncodeUtf8(char32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

// Keys are decoded here and not by ncurses: ncurses reads keys only through
// a screen it also draws, but keys come from the terminal also when the
// output is a transcript, and the terminal's mode must follow our own waits.
// The sequences are the ANSI ones that xterm, tmux, screen, rxvt and the
// Linux console send.
int DecodeTerminalKeys(std::string_view bytes, bool flush, KeyQueue& keys) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  int n = static_cast<int>(bytes.size());
  int i = 0;
  while (i < n) {
    std::uint8_t c = b[i];
    if (c == 27) {
      int used = DecodeEscape(b + i, n - i, keys);
      if (used > 0) {
        i += used;
        continue;
      }
      if (used == 0 && !flush) break;
      PushKey(keys, 27);
      ++i;
      continue;
    }
    if (c >= 0x80) {
      std::size_t at = static_cast<std::size_t>(i);
      const long cp = NextCodePoint(bytes, at);
      if (cp == Utf8Cut && !flush) break;  // the rest of the character is on its way
      // A broken sequence drops its first byte; only letters beyond ASCII come as several bytes.
      if (int code = cp >= 0x80 ? UnicodeToCp852(static_cast<char32_t>(cp)) : -1; code >= 0x80)
        PushKey(keys, static_cast<std::uint8_t>(code));
      i = static_cast<int>(at);
      continue;
    }
    if (c == 0) {
      // Ctrl+@: a PC reads it as 0 and then 3, its extended code, so a 0
      // taken from the queue is always followed by a scan code.
      PushExtendedKey(keys, CtrlAtScanCode);
    } else {
      PushKey(keys, c == 127 ? 8 : c);
    }
    ++i;
  }
  return i;
}

void OpenTerminal(Terminal& t, Console& con) {
  InstallSignalHandlers();  // before ncurses, which then leaves these signals to us
  if (isatty(STDIN_FILENO)) {
    t.keyFd = STDIN_FILENO;
    t.keysFromStdin = true;
  } else {
    t.keyFd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    t.ownsKeyFd = t.keyFd >= 0;
  }
  if (t.keyFd >= 0 && tcgetattr(t.keyFd, &t.savedMode) == 0) {
    t.haveSavedMode = true;
    RememberTerminalMode(t.keyFd, t.savedMode);
  }
  if (isatty(STDOUT_FILENO)) {
    UseUtf8Locale();
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (screen != nullptr && !HasCapability("cup")) {  // a terminal that cannot place the cursor
      endwin();
      delscreen(screen);
      screen = nullptr;
    }
    if (screen != nullptr) {
      set_term(screen);
      t.screen = screen;
      t.output = TerminalOutput::Screen;
      typeahead(-1);
      scrollok(stdscr, FALSE);
      SetUpColours();
      t.alternateScreen = HasCapability("smcup");
      RememberScreenReset(ScreenResetBytes().view());
      t.redrawAll = true;
      return;
    }
  }
  UseTranscript(t, con, stdout);
}

void UseTranscript(Terminal& t, Console& con, std::FILE* out) {
  t.output = TerminalOutput::Transcript;
  t.transcript = out;
  con.eraseHook = ConsoleEraseHook{&t, TranscriptEraseHook};
}

void ShowConsole(Terminal& t, Console& con) {
  if (TakeTerminalDisturbed()) Recover(t);
  if (t.screenLent) return;
  if (t.output == TerminalOutput::Screen) {
    if (con.changedRows != 0 || t.redrawAll || con.cursorX != getcurx(stdscr) + 1 ||
        con.cursorY != getcury(stdscr) + t.viewTop)
      DrawScreen(t, con);
  } else if (t.output == TerminalOutput::Transcript && !t.transcriptFailed) {
    WriteTranscript(t, con, true);
    if (std::fflush(t.transcript) != 0) TranscriptFailed(t);
  }
}

void CloseTerminal(Terminal& t, Console& con) {
  LeaveKeyMode(t);
  if (t.output == TerminalOutput::Screen) {
    DrawScreen(t, con);
    endwin();
    RememberScreenReset({});
    if (t.alternateScreen) PrintLastScreen(con);
    delscreen(ScreenOf(t));
    t.screen = nullptr;
  } else if (t.output == TerminalOutput::Transcript) {
    try {
      WriteTranscript(t, con, false);
    } catch (const ProgramExit&) {
      // already ending: the failed write cannot be reported any better
    }
    std::fflush(t.transcript);
    con.eraseHook = ConsoleEraseHook{};
  }
  t.output = TerminalOutput::None;
  if (t.haveSavedMode) tcsetattr(t.keyFd, TCSANOW, &t.savedMode);
  t.haveSavedMode = false;
  ForgetTerminalMode();
  if (t.ownsKeyFd) close(t.keyFd);
  t.ownsKeyFd = false;
  t.keyFd = -1;
}

void EnterKeyMode(Terminal& t) {
  if (t.keyMode || !t.haveSavedMode) return;
  termios mode = t.savedMode;
  mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
  mode.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON);
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  tcsetattr(t.keyFd, TCSANOW, &mode);
  t.keyMode = true;
}

void LeaveKeyMode(Terminal& t) {
  if (!t.keyMode) return;
  tcsetattr(t.keyFd, TCSANOW, &t.savedMode);
  t.keyMode = false;
}

void ReadTerminalKeys(Terminal& t, KeyQueue& keys, std::int64_t nowUs) {
  if (!t.keyMode || t.keyInputEnded) return;
  pollfd ready = {t.keyFd, POLLIN, 0};
  if (poll(&ready, 1, 0) > 0) {
    ssize_t n = read(t.keyFd, t.pending + t.pendingCount,
                     static_cast<std::size_t>(TerminalPendingCapacity - t.pendingCount));
    if (n > 0) {
      if (t.pendingCount == 0) t.pendingSinceUs = nowUs;
      t.pendingCount += static_cast<int>(n);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      t.keyInputEnded = true;
    }
  }
  if (t.pendingCount == 0) return;
  bool flush = t.keyInputEnded || t.pendingCount == TerminalPendingCapacity ||
               nowUs - t.pendingSinceUs >= EscapeWaitUs;
  int used = DecodeTerminalKeys(
      std::string_view(reinterpret_cast<const char*>(t.pending), static_cast<std::size_t>(t.pendingCount)),
      flush, keys);
  if (used == 0) return;
  t.pendingCount -= used;
  std::memmove(t.pending, t.pending + used, static_cast<std::size_t>(t.pendingCount));
  t.pendingSinceUs = nowUs;
}

void WaitForTerminal(const Terminal& t, int timeoutMs) {
  if (t.keyMode && !t.keyInputEnded) {
    pollfd ready = {t.keyFd, POLLIN, 0};
    poll(&ready, 1, timeoutMs);
  } else {
    poll(nullptr, 0, timeoutMs);
  }
}

bool TerminalHasKeys(const Terminal& t) { return t.keyFd >= 0 && !t.keyInputEnded; }

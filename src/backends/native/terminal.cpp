#include "backends/native/terminal.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>  // Required for: the screen presenter

#include <term.h>  // Required for: setupterm (is there a terminfo entry?)

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "backends/native/signals.h"
#include "backends/native/terminal_keys.h"
#include "platform/console.h"
#include "platform/key_queue.h"
#include "platform/palette.h"
#include "text/shortstring.h"

namespace {

// How long the rest of an escape sequence may take to arrive before the
// bytes count as keys of their own (a lone Esc).
constexpr std::int64_t EscapeWaitUs = 30000;

SCREEN* ScreenOf(const Terminal& t) { return static_cast<SCREEN*>(t.screen); }

// Colour pair of an attribute: pair 0 is LightGray on Black, the normal one.
short PairOf(std::uint8_t attribute) {
  int fg = attribute & 7, bg = (attribute >> 4) & 7;
  return static_cast<short>(bg * 8 + (7 - fg));
}

// curses numbers its eight colours in ANSI's order.
void SetUpColours() {
  if (!has_colors() || start_color() == ERR) return;
  assume_default_colors(COLOR_WHITE, COLOR_BLACK);
  if (COLOR_PAIRS < 64) return;
  for (int pair = 1; pair < 64; ++pair)
    init_pair(static_cast<short>(pair), AnsiColourOf(7 - pair % 8), AnsiColourOf(pair / 8));
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
    resize_term(std::min<int>(size.ws_row, TerminalMaxRows),
                std::min<int>(size.ws_col, TerminalMaxColumns));
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

// A size variable (LINES, COLUMNS) within limit: ncurses takes the
// environment's over the terminal's own, so a terminal larger than the
// limit (or a variable that says so) is told as the limit.
void LimitSizeVariable(const char* name, int terminal, int limit) {
  const char* given = std::getenv(name);
  const long value = given != nullptr ? std::strtol(given, nullptr, 10) : 0;
  if (value > limit || (value <= 0 && terminal > limit)) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", limit);
    setenv(name, text, 1);
  }
}

}  // namespace

bool TerminfoMissing(char* why, int capacity) {
  int found = 1;
  if (setupterm(nullptr, STDOUT_FILENO, &found) == OK) {
    del_curterm(cur_term);
    return false;
  }
  const char* term = std::getenv("TERM");
  if (term == nullptr) term = "";
  const auto room = static_cast<std::size_t>(capacity);
  if (found == 0)
    std::snprintf(why, room, "a TERM=%s terminálhoz nincs terminfo leírás (Debianon az "
                  "ncurses-term, a kitty-terminfo vagy a foot-terminfo csomag hozza)", term);
  else
    std::snprintf(why, room, "nem található a terminfo adatbázis (TERM=%s; Debianon az "
                  "ncurses-base csomag hozza)", term);
  return true;
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
    winsize size;
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) {
      LimitSizeVariable("LINES", size.ws_row, TerminalMaxRows);
      LimitSizeVariable("COLUMNS", size.ws_col, TerminalMaxColumns);
    }
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

void ShowConsole(Terminal& t, Console& con) {
  if (TakeTerminalDisturbed()) Recover(t);
  if (t.screenLent) return;
  if (t.output == TerminalOutput::Screen) {
    if (con.changedRows != 0 || t.redrawAll || con.cursorX != getcurx(stdscr) + 1 ||
        con.cursorY != getcury(stdscr) + t.viewTop)
      DrawScreen(t, con);
  } else if (t.output == TerminalOutput::Transcript) {
    ShowTranscript(t.transcript, con);
  }
}

void CloseTerminal(Terminal& t, Console& con) {
  LeaveKeyMode(t);
  if (t.output == TerminalOutput::Screen) {
    DrawScreen(t, con);
    endwin();
    RememberScreenReset({});
    if (t.alternateScreen) PrintConsoleScreen(con, stdout);
    delscreen(ScreenOf(t));
    t.screen = nullptr;
  } else if (t.output == TerminalOutput::Transcript) {
    EndTranscript(t.transcript, con);
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

void UseTranscript(Terminal& t, Console& con, std::FILE* out) {
  t.output = TerminalOutput::Transcript;
  StartTranscript(t.transcript, con, out);
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
  int used = DecodeTerminalKeys(std::string_view(reinterpret_cast<const char*>(t.pending),
                                                 static_cast<std::size_t>(t.pendingCount)),
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

// SURFACE PRESENTER of the native back end: the graphics surface drawn in
// the terminal itself, for when no window can be opened (SSH, a text console,
// a container) or the person asks for it (lemvaris --terminal). It fills the
// native back end's SurfacePresenter record (native/surface_presenter.h);
// keys, waits and the console stay with the terminal presenter (terminal.h).
//
// PLATFORM: a terminal (TERM set and not "dumb") on standard output.
//
// How it works:
// - While the surface is open a presenter thread owns the terminal's output
//   and ncurses leaves the screen alone (Terminal::screenLent). The program's
//   own thread only copies the newest frame (the surface and the console's
//   newest line) into a one-frame mailbox and goes on: a frame not yet taken
//   is overwritten (dropped), never queued.
// - The presenter takes the newest frame at most every TermGfxFrameIntervalUs
//   (about 15 a second), and after a frame that took the terminal long to
//   take, waits as long again: a slow terminal gets fewer frames, and never
//   holds the run back. It looks at the terminal's size every
//   TermGfxIdleWakeMs and draws the last frame again at a new size; after
//   the program continued from a stop it sends the next frame whole.
// - When the surface closes, the presenter stops, the screen is cleared and
//   ncurses draws the console again in full.
//
// LIMITATIONS: those of render.h and layout.h. The presenter writes on an open file
// description of its own for the terminal, non-blocking, so stopping it never
// waits on a stuck terminal for more than a moment; an image cut short then
// is ended before the console comes back.
//
// DEPENDENCIES: render.h (libchafa), choice.h, the terminal presenter, std::thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "backends/native/termgfx/choice.h"
#include "backends/native/termgfx/render.h"
#include "backends/native/surface_presenter.h"

struct Terminal;
struct Console;

inline constexpr std::int64_t TermGfxFrameIntervalUs = 66667;
inline constexpr int TermGfxIdleWakeMs = 100;

struct TerminalGraphics {
  Terminal* terminal = nullptr;      // lent to the presenter while shown; null for probes
  const Console* console = nullptr;  // its newest line goes under the picture
  bool fixedSize = false;            // probes: size instead of the terminal's own
  TermGfxSize size;
  int probeFd = -1;  // probes: the output instead of the terminal
  bool shown = false;
  bool failed = false;  // cannot be shown: no output, no thread
  int outFd = -1;
  bool ownsOutFd = false;
  // The presenter and what it shares with the program's thread.
  std::thread presenter;
  std::mutex lock;
  std::condition_variable wake;
  bool stopAsked = false;            // under lock
  bool frameWaiting = false;         // under lock: the mailbox holds a frame not yet taken
  bool redrawWaiting = false;        // under lock: the screen was disturbed, send it all
  std::atomic<bool> abandon{false};  // stop now, even in the middle of a frame
  std::int64_t framesPosted = 0;     // under lock
  std::int64_t framesDropped = 0;    // under lock: overwritten before the presenter took them
  TermGfxFrame mailbox;
  // The presenter's own.
  TermGfxFrame working;
  TermGfxSink sink;
  TermGfxRenderer renderer;
};

// Why terminal graphics cannot be shown on this standard output (Hungarian,
// UTF-8), or null when they can: it must be a terminal, and TERM set and not
// "dumb".
const char* TerminalGraphicsRefusal();

// Set up for the terminal the program runs in, with the pictures chosen for
// it (choice.h). Create the record once, where it stays (main: static); it
// is large.
void SetUpTerminalGraphics(TerminalGraphics& tg, Terminal& terminal, const Console& console,
                           const TermGfxChoice& choice);
// Probes and benchmarks: these capabilities, a terminal of this size, the
// bytes to fd (left open), the line from console.
void SetUpTerminalGraphicsOn(TerminalGraphics& tg, TermGfxCaps caps, TermGfxSize size, int fd,
                             const Console& console);
// The back end for the platform, with tg as its context.
SurfacePresenter TerminalGraphicsPresenter(TerminalGraphics& tg);

// Hand the newest frame over; the first one after the surface opened takes
// the screen from ncurses and starts the presenter. Never waits for output.
void PresentTerminalGraphics(TerminalGraphics& tg, const GraphSurface& surface);
// Stop the presenter, clear the screen and give it back to ncurses.
void HideTerminalGraphics(TerminalGraphics& tg);
// Hide, and free chafa's objects; safe to call more than once.
void ShutdownTerminalGraphics(TerminalGraphics& tg);

// The size of the terminal on fd, with its cells' pixels when it says them.
TermGfxSize TerminalSizeOf(int fd);

// TERMINAL GRAPHICS presenter: the presenter thread, its mailbox and the
// SurfacePresenter record. What it is for, its limits and its dependencies:
// terminal_graphics.h.
#include "backends/native/termgfx/terminal_graphics.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/console.h"
#include "platform/graph.h"
#include "backends/native/terminal.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// How long the closing bytes may wait for a slow terminal.
constexpr int ClosingPatienceMs = 1000;
// The presenter thread's niceness (the program's thread keeps its own).
constexpr int PresenterNice = 10;

bool SameSize(const TermGfxSize& a, const TermGfxSize& b) {
  return a.columns == b.columns && a.rows == b.rows && a.cellWidth == b.cellWidth &&
         a.cellHeight == b.cellHeight;
}

TermGfxSize CurrentSize(const TerminalGraphics& tg) {
  return tg.fixedSize ? tg.size : TerminalSizeOf(tg.outFd);
}

// Through tmux: where the pane is on the terminal outside, asked when the
// picture is first shown and whenever the pane changes size (a split, a
// zoom), as the pane may then have moved.
void FollowTmuxPane(TerminalGraphics& tg) {
  if (!tg.renderer.caps.throughTmux || tg.terminal == nullptr) return;
  const TmuxPane pane = AskTmuxPane();
  tg.renderer.outsideTop = pane.top;
  tg.renderer.outsideLeft = pane.left;
}

// The terminal's own open file description, so that non-blocking writes do
// not change how ncurses and the shell see standard output.
bool OpenOutput(TerminalGraphics& tg) {
  if (tg.probeFd >= 0) {
    tg.outFd = tg.probeFd;
    tg.ownsOutFd = false;
    return true;
  }
  std::fflush(stdout);  // nothing of ncurses' may follow our bytes
  const char* name = ttyname(STDOUT_FILENO);
  tg.outFd = name != nullptr ? open(name, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
  if (tg.outFd < 0) tg.outFd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);  // blocking, but it works
  tg.ownsOutFd = tg.outFd >= 0;
  return tg.outFd >= 0;
}

void CloseOutput(TerminalGraphics& tg) {
  if (tg.ownsOutFd) close(tg.outFd);
  tg.outFd = -1;
  tg.ownsOutFd = false;
}

void PresenterLoop(TerminalGraphics& tg) {
  // Below the program's own thread: on a busy machine the run comes first
  // and the picture gets fewer frames.
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), PresenterNice);
  Clock::time_point nextDue = Clock::now();
  TermGfxSize size = CurrentSize(tg);
  bool haveFrame = false;
  std::unique_lock<std::mutex> hold(tg.lock);
  while (!tg.stopAsked && !tg.sink.failed) {
    const Clock::time_point now = Clock::now();
    const TermGfxSize current = CurrentSize(tg);
    const bool resized = haveFrame && !SameSize(current, size);
    if (!resized && !(tg.frameWaiting && now >= nextDue)) {
      const Clock::time_point idle = now + std::chrono::milliseconds(TermGfxIdleWakeMs);
      tg.wake.wait_until(hold, tg.frameWaiting && nextDue < idle ? nextDue : idle);
      continue;
    }
    size = current;
    if (tg.frameWaiting) {
      tg.working.width = tg.mailbox.width;
      tg.working.height = tg.mailbox.height;
      std::memcpy(tg.working.pixels, tg.mailbox.pixels,
                  static_cast<std::size_t>(tg.mailbox.width) * tg.mailbox.height);
      std::memcpy(tg.working.line, tg.mailbox.line, sizeof tg.mailbox.line);
      tg.frameWaiting = false;
      haveFrame = true;
    }
    if (tg.redrawWaiting) ForgetTermGfxScreen(tg.renderer);
    tg.redrawWaiting = false;
    hold.unlock();
    if (resized) FollowTmuxPane(tg);
    const Clock::time_point start = Clock::now();
    RenderTermGfxFrame(tg.renderer, tg.working, size, tg.sink);
    const Clock::time_point end = Clock::now();
    // A terminal that took long over this frame gets as long to itself.
    const Clock::time_point earliest = start + std::chrono::microseconds(TermGfxFrameIntervalUs);
    nextDue = end + (end - start) > earliest ? end + (end - start) : earliest;
    hold.lock();
  }
}

// Start the presenter with every signal blocked in it, so that signals reach
// the program's thread, whose waits they are meant to end.
bool StartPresenter(TerminalGraphics& tg) {
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  bool started = true;
  try {
    tg.presenter = std::thread(PresenterLoop, std::ref(tg));
  } catch (const std::system_error&) {
    started = false;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return started;
}

void Show(TerminalGraphics& tg) {
  if (!OpenOutput(tg)) {
    tg.failed = true;
    return;
  }
  tg.stopAsked = false;
  tg.frameWaiting = false;
  tg.redrawWaiting = false;
  tg.abandon = false;
  tg.sink.fd = tg.outFd;
  tg.sink.abandon = &tg.abandon;
  tg.sink.patienceMs = -1;
  tg.sink.failed = false;
  tg.sink.used = 0;
  ForgetTermGfxScreen(tg.renderer);
  FollowTmuxPane(tg);
  if (tg.terminal != nullptr) tg.terminal->screenLent = true;
  if (!StartPresenter(tg)) {
    if (tg.terminal != nullptr) tg.terminal->screenLent = false;
    CloseOutput(tg);
    tg.failed = true;
    return;
  }
  tg.shown = true;
}

// The bytes that leave the screen to the console: the end of an image cut
// short, plain attributes, no image, a blank screen, the cursor.
void SendClosing(TerminalGraphics& tg) {
  const TermGfxCaps& caps = tg.renderer.caps;
  TermGfxSink& out = tg.sink;
  out.abandon = nullptr;
  out.patienceMs = ClosingPatienceMs;
  out.failed = false;
  out.used = 0;
  const char* end = "\x1b\\";
  SinkWrite(out, end, 2);
  if (caps.throughTmux) {
    // A passthrough string cut short: the second end closes it where the cut
    // left tmux after an ESC (the first ESC then stood doubled); the image
    // inside it gets its own end outside.
    SinkWrite(out, end, 2);
    SinkWriteThroughTmux(out, {}, end, 2);
  }
  const char* reset = "\x1b[0m";
  SinkWrite(out, reset, std::strlen(reset));
  if (caps.pixels == TermGfxPixels::Kitty)
    SendTermGfxImageBytes(caps, out, TermGfxKittyDelete.data(), TermGfxKittyDelete.size());
  const char* clear = "\x1b[H\x1b[2J\x1b[?25h";
  SinkWrite(out, clear, std::strlen(clear));
  SinkFlush(out);
}

}  // namespace

const char* TerminalGraphicsRefusal() {
  if (!isatty(STDOUT_FILENO)) return "a szabványos kimenet nem terminál";
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0') return "a TERM környezeti változó nincs beállítva";
  if (std::strcmp(term, "dumb") == 0) return "a terminál (TERM=dumb) nem tud grafikát mutatni";
  return nullptr;
}

void SetUpTerminalGraphics(TerminalGraphics& tg, Terminal& terminal, const Console& console,
                           const TermGfxChoice& choice) {
  tg.terminal = &terminal;
  tg.console = &console;
  tg.fixedSize = false;
  tg.probeFd = -1;
  // Pixels chosen by hand that TERM does not claim: chafa's sequences for
  // them come from its fallback, which knows them all.
  const bool termHasThem =
      choice.caps.pixels == TermGfxPixels::Symbols || choice.caps.pixels == choice.claimed;
  SetUpTermGfxRenderer(tg.renderer, choice.caps, termHasThem ? environ : nullptr);
}

void SetUpTerminalGraphicsOn(TerminalGraphics& tg, TermGfxCaps caps, TermGfxSize size, int fd,
                             const Console& console) {
  tg.terminal = nullptr;
  tg.console = &console;
  tg.fixedSize = true;
  tg.size = size;
  tg.probeFd = fd;
  SetUpTermGfxRenderer(tg.renderer, caps, nullptr);
}

SurfacePresenter TerminalGraphicsPresenter(TerminalGraphics& tg) {
  SurfacePresenter b;
  b.context = &tg;
  b.present = [](void* c, const GraphSurface& g) {
    PresentTerminalGraphics(*static_cast<TerminalGraphics*>(c), g);
  };
  b.hide = [](void* c) { HideTerminalGraphics(*static_cast<TerminalGraphics*>(c)); };
  b.shutdown = [](void* c) { ShutdownTerminalGraphics(*static_cast<TerminalGraphics*>(c)); };
  // No events of its own: keys come from the terminal, a resize is seen by
  // the presenter.
  return b;
}

void PresentTerminalGraphics(TerminalGraphics& tg, const GraphSurface& g) {
  if (tg.failed || !g.open) return;
  if (!tg.shown) Show(tg);
  if (!tg.shown) return;
  const Console& con = *tg.console;
  const int row = NewestConsoleRow(con);
  std::lock_guard<std::mutex> hold(tg.lock);
  // The terminal presenter saw the screen disturbed (a stop and continue, a
  // resize): whatever is on it now, the next frame replaces it all. Hiding
  // asks ncurses for its own full redraw again.
  if (tg.terminal != nullptr && tg.terminal->redrawAll) {
    tg.redrawWaiting = true;
    tg.terminal->redrawAll = false;
  }
  if (tg.frameWaiting) ++tg.framesDropped;
  tg.mailbox.width = g.width;
  tg.mailbox.height = g.height;
  std::memcpy(tg.mailbox.pixels, g.pixels, static_cast<std::size_t>(g.width) * g.height);
  std::memcpy(tg.mailbox.line, con.cells[row - 1], sizeof tg.mailbox.line);
  tg.frameWaiting = true;
  ++tg.framesPosted;
  tg.wake.notify_one();
}

void HideTerminalGraphics(TerminalGraphics& tg) {
  if (!tg.shown) return;
  {
    std::lock_guard<std::mutex> hold(tg.lock);
    tg.stopAsked = true;
  }
  tg.abandon = true;  // the console comes next: the frame on its way is not wanted
  tg.wake.notify_one();
  tg.presenter.join();
  SendClosing(tg);
  CloseOutput(tg);
  tg.shown = false;
  if (tg.terminal != nullptr) {
    tg.terminal->screenLent = false;
    tg.terminal->redrawAll = true;
  }
}

void ShutdownTerminalGraphics(TerminalGraphics& tg) {
  HideTerminalGraphics(tg);
  FreeTermGfxRenderer(tg.renderer);
}

TermGfxSize TerminalSizeOf(int fd) {
  TermGfxSize size;
  winsize w = {};
  if (fd < 0 || ioctl(fd, TIOCGWINSZ, &w) != 0) return size;
  size.columns = w.ws_col;
  size.rows = w.ws_row;
  if (w.ws_col > 0 && w.ws_row > 0 && w.ws_xpixel > 0 && w.ws_ypixel > 0) {
    size.cellWidth = w.ws_xpixel / w.ws_col;
    size.cellHeight = w.ws_ypixel / w.ws_row;
  }
  return size;
}

#include "backends/native/native_backend.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "backends/native/signals.h"
#include "text/cp852.h"
#include "platform/fatal.h"
#include "platform/key_queue.h"
#include "platform/platform.h"
#include "text/utf8.h"

namespace {

NativeBackend& Of(void* context) { return *static_cast<NativeBackend*>(context); }

std::int64_t SteadyNowUs() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(now).count();
}

bool PresenterTakesKeys(const NativeBackend& n, const KeyQueue& keys) {
  // A closed surface (the console phases) cannot be typed into.
  return n.surface.pollEvents != nullptr && n.surfaceShown && !keys.endRequested;
}

void ShowSurface(void* context, const GraphSurface& g) {
  NativeBackend& n = Of(context);
  n.surfaceShown = true;
  if (n.surface.present != nullptr) n.surface.present(n.surface.context, g);
}

void HideSurface(void* context) {
  NativeBackend& n = Of(context);
  n.surfaceShown = false;
  if (n.surface.hide != nullptr) n.surface.hide(n.surface.context);
}

void PollKeys(void* context, KeyQueue& keys) {
  NativeBackend& n = Of(context);
  ExitOnPendingSignal();
  if (n.surface.pollEvents != nullptr) n.surface.pollEvents(n.surface.context, keys);
  EnterKeyMode(n.terminal);
  ReadTerminalKeys(n.terminal, keys, SteadyNowUs());
  keys.noMoreKeys = !TerminalHasKeys(n.terminal) && !PresenterTakesKeys(n, keys);
}

bool WaitForInput(void* context, InputKind kind, int ms) {
  NativeBackend& n = Of(context);
  if (kind == InputKind::Keys) {
    WaitForTerminal(n.terminal, ms);
    return true;
  }
  // The answer line is typed in the terminal's own line mode.
  ExitOnPendingSignal();
  LeaveKeyMode(n.terminal);
  if (n.surface.pollEvents != nullptr) n.surface.pollEvents(n.surface.context, n.platform->keys);
  pollfd ready = {STDIN_FILENO, POLLIN, 0};
  return poll(&ready, 1, ms) > 0;
}

void ShutDown(void* context, Console& console, std::string_view message) {
  NativeBackend& n = Of(context);
  // The presenter first: should its display turn out to be gone here, the
  // terminal is still there to say so.
  if (n.surface.shutdown != nullptr) n.surface.shutdown(n.surface.context);
  n.surface = SurfacePresenter{};
  const bool unseen = n.terminal.transcript.failed;
  CloseTerminal(n.terminal, console);
  // The console could not be written: the last word goes to standard error.
  if (unseen && !message.empty()) {
    char line[255 * 4 + 1];
    int length = 0;
    for (char c : message)
      length += EncodeUtf8(ConsoleCharToUnicode(static_cast<std::uint8_t>(c)), line + length);
    line[length++] = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(length), stderr);
  }
  CancelLastResort();
}

[[noreturn]] void EndForLostDisplay(void* context) {
  NativeBackend& n = Of(context);
  n.surface = SurfacePresenter{};  // not even its shutdown may reach the dead display
  ProgramExit lost;
  lost.code = DisplayLostExitCode;
  Assign(lost.message,
         CP852("Lemvaris: megszakadt a kapcsolat a grafikus képernyővel (X szerver)."));
  int code = lost.code;
  try {
    code = FinishProgram(*n.platform, lost);
  } catch (...) {
    // nothing may unwind into the window system's C frames
  }
  std::fflush(nullptr);
  _exit(code);
}

}  // namespace

void UseNativeBackend(Platform& p, NativeBackend& n, SurfacePresenter surface) {
  OpenTerminal(n.terminal, p.console);
  n.surface = surface;
  WireNativeBackend(p, n);
}

void WireNativeBackend(Platform& p, NativeBackend& n) {
  n.platform = &p;
  Backend& b = p.backend;
  b.context = &n;
  b.showConsole = [](void* c, Console& console) { ShowConsole(Of(c).terminal, console); };
  b.showSurface = ShowSurface;
  b.hideSurface = HideSurface;
  b.pollKeys = PollKeys;
  b.waitForInput = WaitForInput;
  b.nowUs = [](void*) { return SteadyNowUs(); };
  b.shutDown = ShutDown;
  p.typedAnswers = n.terminal.keysFromStdin && n.terminal.output == TerminalOutput::Screen;
  p.input.interrupted = ExitOnPendingSignal;
  if (n.surface.watchDisplay != nullptr)
    n.surface.watchDisplay(n.surface.context, EndForLostDisplay, &n);
}

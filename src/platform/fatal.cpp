#include "platform/fatal.h"

#include <unistd.h>

#include <cstdio>

#include "platform/console.h"
#include "platform/platform.h"
#include "platform/shortstring.h"
#include "platform/signals.h"

void RuntimeError(int code, std::string_view detail) {
  ShortString<255> message;
  Assign(message, "Runtime error ");
  AppendInt(message, code);
  Append(message, detail);
  ExitProgram(code, message.view());
}

namespace {

void ShutWindow(Platform& p) {
  p.graphOpen = false;
  if (p.window.shutdown != nullptr) p.window.shutdown(p.window.context);
  p.window = WindowBackend{};
}

}  // namespace

int FinishProgram(Platform& p, const ProgramExit& exit) {
  std::string_view message = exit.message.view();
  try {
    if (!message.empty()) {
      if (WhereX(p.console) != 1) Writeln(p.console);
      Writeln(p.console, message);
    }
  } catch (const ProgramExit&) {
    // a transcript that cannot be written: the message goes to stderr below
  }
  bool transcriptFailed = p.terminal.transcriptFailed;
  // The window first: should its display turn out to be gone here, the
  // terminal is still there to say so.
  ShutWindow(p);
  CloseTerminal(p.terminal, p.console);
  if (transcriptFailed && !message.empty()) {
    char line[255 * 4 + 1];
    int n = 0;
    for (char c : message) n += EncodeUtf8(ConsoleCharToUnicode(static_cast<std::uint8_t>(c)), line + n);
    line[n++] = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(n), stderr);
  }
  CancelLastResort();
  return exit.code;
}

void AbandonPlatform(Platform& p) {
  ShutWindow(p);
  CloseTerminal(p.terminal, p.console);
  CancelLastResort();
}

namespace {

[[noreturn]] void EndForLostDisplay(void* context) {
  Platform& p = *static_cast<Platform*>(context);
  p.window = WindowBackend{};  // not even its shutdown may reach the dead display
  p.graphOpen = false;
  ProgramExit lost;
  lost.code = DisplayLostExitCode;
  Assign(lost.message, CP852("Lemvaris: megszakadt a kapcsolat a grafikus képernyővel (X szerver)."));
  int code = lost.code;
  try {
    code = FinishProgram(p, lost);
  } catch (...) {
    // nothing may unwind into the window system's C frames
  }
  std::fflush(nullptr);
  _exit(code);
}

}  // namespace

void WatchForLostDisplay(Platform& p) {
  if (p.window.watchDisplay != nullptr) p.window.watchDisplay(p.window.context, EndForLostDisplay, &p);
}

#include "platform/fatal.h"

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
  ShutWindow(p);  // first: a back end drawing in the terminal gives the screen back
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

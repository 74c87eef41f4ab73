#include "platform/fatal.h"

#include "platform/console.h"
#include "platform/platform.h"
#include "platform/shortstring.h"

void RuntimeError(int code, std::string_view detail) {
  ShortString<255> message;
  Assign(message, "Runtime error ");
  AppendInt(message, code);
  Append(message, detail);
  ExitProgram(code, message.view());
}

namespace {

// Hand everything back to the person; the back end is not called again.
void ShutDown(Platform& p, std::string_view message) {
  p.graphOpen = false;
  Backend backend = p.backend;
  p.backend = Backend{};
  if (backend.shutDown != nullptr) backend.shutDown(backend.context, p.console, message);
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
    // the console cannot be shown any more: the back end gets the message below
  }
  ShutDown(p, message);
  return exit.code;
}

void AbandonPlatform(Platform& p) { ShutDown(p, {}); }

#include "platform/fatal.h"

#include "platform/console.h"
#include "platform/platform.h"
#include "text/shortstring.h"

namespace {

// Hand everything back to the person. The back end stays wired: one that
// finds its display gone while shutting down finishes the program again from
// inside (with its own message), and a test may run more on the same models.
void ShutDown(Platform& p, std::string_view message) {
  p.graphOpen = false;
  if (p.backend.shutDown != nullptr) p.backend.shutDown(p.backend.context, p.console, message);
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

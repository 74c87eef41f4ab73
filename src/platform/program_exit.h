// Ending the program from anywhere below main. A procedure that must stop the
// program (a runtime error, a misused panel, a buffer too small) throws
// ProgramExit; the outermost caller catches it, writes the message as the last
// line of the text console, puts the terminal back, closes the window and
// exits with the code. Tests catch it the same way and look at the models.
#pragma once

#include <string_view>

#include "text/shortstring.h"

struct ProgramExit {
  int code = 0;
  ShortString<255> message;  // code page 852; empty when already shown
};

// Stop the program with this exit code; message (code page 852) is written as
// one console line by whoever catches it, unless empty.
[[noreturn]] inline void ExitProgram(int code, std::string_view message = {}) {
  ProgramExit e;
  e.code = code;
  Assign(e.message, message);
  throw e;
}

// End the program with "Runtime error <code>" (detail, if any, follows on the
// same line) and exit code code.
[[noreturn]] inline void RuntimeError(int code, std::string_view detail = {}) {
  ShortString<255> message;
  Assign(message, "Runtime error ");
  AppendInt(message, code);
  Append(message, detail);
  ExitProgram(code, message.view());
}

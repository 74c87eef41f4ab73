// Runtime errors and the one way out of the program.
//
// A failed console or file operation ends the program with the console line
// "Runtime error <n>" and exit code n. Whatever ends the program (the normal
// end, a runtime error, the panel's exits 1 and 2, a signal) arrives at
// FinishProgram, which writes the message as the last console line, has the
// back end put everything back as it was (the last screen stays readable)
// and gives main its exit code.
#pragma once

#include <string_view>

#include "platform/program_exit.h"

struct Platform;

// Write the exit message and shut the back end down; returns the exit code
// for main.
int FinishProgram(Platform& platform, const ProgramExit& exit);
// Shut the back end down without writing anything: for an exception that is
// not a ProgramExit, before it goes on.
void AbandonPlatform(Platform& platform);

// Run body(platform) and finish the program however it ends; returns the
// exit code for main (0 when body returns).
template <class Body>
int RunWithPlatform(Platform& platform, Body&& body) {
  try {
    body(platform);
  } catch (const ProgramExit& exit) {
    return FinishProgram(platform, exit);
  } catch (...) {
    AbandonPlatform(platform);
    throw;
  }
  return FinishProgram(platform, ProgramExit{});
}

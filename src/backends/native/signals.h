// Ending the program on SIGINT, SIGTERM and SIGHUP without leaving the
// terminal in key mode. A handler may do almost nothing safely, so it only
// records the signal; the key and line waits look at the record and end the
// program through ProgramExit (exit code 128 + signal), which puts the
// terminal back. Should the program not get there within a couple of seconds
// (a long computation, a hang), an alarm puts the remembered terminal mode
// back and ends the process at once; so does a second signal.
//
// This is the only global state of the platform: a signal handler has no
// other way to reach the program's records.
#pragma once

#include <termios.h>

#include <string_view>

// Install the handlers (no SA_RESTART, so a blocking read returns) and ignore
// SIGPIPE (a closed output is then a write error, not a silent death).
void InstallSignalHandlers();
// The mode to put back on fd in the last resort; ForgetTerminalMode when
// the terminal has been put back normally.
void RememberTerminalMode(int fd, const termios& mode);
void ForgetTerminalMode();
// The bytes that leave full-screen mode, written in the last resort before
// the mode goes back; empty once the screen has been put back normally.
void RememberScreenReset(std::string_view bytes);
// The signal that asked the program to end, or 0.
int PendingSignal();
// End the program (exit code 128 + signal) when a signal asked for it.
void ExitOnPendingSignal();
// True once after the terminal was resized or the program continued after
// a stop: the screen must be redrawn and the key mode set again.
bool TakeTerminalDisturbed();
// The program is ending by itself: no last resort needed any more.
void CancelLastResort();

// Ending the program on every end signal (platform/end_signals.h: SIGINT,
// SIGTERM, SIGHUP, SIGUSR1, SIGALRM, ...) without leaving the terminal in key
// mode. A handler may do almost nothing safely, so it only records the
// signal; the key and line waits look at the record and end the program
// through ProgramExit (exit code 128 + signal), which puts the terminal back.
// Should the program not get there within a couple of seconds (a long
// computation, a hang, a terminal that takes no output), an alarm takes the
// last resort; so does a second signal. The last resort writes the screen
// reset only as far as the terminal takes it without waiting, puts the
// remembered terminal mode back and ends the process; should even that wait,
// the process ends within a second all the same.
//
// A SIGPIPE or SIGXFSZ from the program's own write is no order to end: the
// write fails (a transcript that cannot be written is "Runtime error 101").
//
// This is the only global state of the platform: a signal handler has no
// other way to reach the program's records.
#pragma once

#include <termios.h>

#include <string_view>

// Install the handlers (no SA_RESTART, so a blocking read returns).
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

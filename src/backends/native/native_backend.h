// BACK END native: the person's terminal shows the console and brings the
// keys (terminal.h), and one surface presenter beside it shows the graphics
// surface: the SDL window (window_sdl.h) or the surface drawn in the terminal
// itself (termgfx/terminal_graphics.h).
//
// PLATFORM: Linux and other POSIX systems, started from a terminal (or with
// standard output redirected: the console becomes a transcript).
// LIMITATIONS: one instance per process (the signal handlers are global).
// Answers are typed in key mode when standard input is the terminal shown,
// else read as lines from standard input.
// DEPENDENCIES: ncurses (terminal.cpp), POSIX signals (signals.h), and what
// the surface presenter needs (SDL2 and Xlib, or libchafa).
#pragma once

#include "backends/native/surface_presenter.h"
#include "backends/native/terminal.h"

struct GraphSurface;
struct KeyQueue;
struct Platform;

// The presenter's display went away under the program (its X server ended
// or dropped the connection): the last console line says so, then this exit code.
inline constexpr int DisplayLostExitCode = 5;

struct NativeBackend {
  Terminal terminal;
  SurfacePresenter surface;
  Platform* platform = nullptr;            // the one it is wired into
  bool surfaceShown = false;               // between showSurface and hideSurface
};

// Open the terminal (installing the signal handlers), take the presenter and
// make native the platform's back end (WireNativeBackend).
void UseNativeBackend(Platform& platform, NativeBackend& native, SurfacePresenter surface);
// Make native, with its terminal and presenter as they are, the platform's
// back end: its procedures, how answers come, how an interrupted read ends.
// From then on a lost display ends the program at once, from inside the
// window system's handler (which cannot be returned to or thrown through):
// FinishProgram with its message and DisplayLostExitCode, without another
// call to the presenter, then the process ends with that code.
void WireNativeBackend(Platform& platform, NativeBackend& native);

// The platform record: everything the program reads from and shows to the
// person, in one place. The console and the key queue are models; the
// terminal presenter, the window back end and the graphics surface show
// them. The real platform (SetUpTerminalPlatform) talks to the terminal; the
// scripted one (scripted.h) replaces the person with a script for tests.
//
// Set a Platform up where it will stay: the console's transcript hook points
// into it. main owns one static instance and wires the window back end
// (window) and the surface (graph) into it.
#pragma once

#include <cstdint>

#include "platform/console.h"
#include "platform/key_queue.h"
#include "platform/terminal.h"
#include "platform/text_file.h"
#include "platform/window_backend.h"

struct GraphSurface;
struct Script;

// Time as the platform sees it: the steady clock, or a virtual clock that
// only the scripted platform moves (Delay and waits add to it, nothing sleeps).
struct PlatformClock {
  bool isVirtual = false;
  std::int64_t virtualUs = 0;
  std::int64_t reads = 0;  // looks at the clock, for tests of the throttles
};

// Gates a cheap, frequent call (KeyPressed, PresentIfDue) so that the costly
// part runs at most once per interval. The clock itself is read only every
// budget calls, and the budget adapts so that reads stay a fraction of an
// interval apart however fast the caller loops.
struct PollThrottle {
  std::int64_t intervalUs = 0;
  int budget = 1;     // calls between two clock reads
  int countdown = 1;  // calls left until the next read
  std::int64_t lastCheckUs = 0;
  std::int64_t lastFireUs = INT64_MIN / 2;
};

// Terminal and window are looked at this often while KeyPressed is polled.
inline constexpr std::int64_t KeyPollIntervalUs = 5000;
// The window is shown at most this often by PresentIfDue (about 60 a second).
inline constexpr std::int64_t PresentIntervalUs = 16667;

struct Platform {
  Console console;
  KeyQueue keys;
  GraphSurface* graph = nullptr;  // the surface the window shows
  bool graphOpen = false;         // between NotifyGraphicsOpened and ...Closed
  WindowBackend window;           // null members: no window
  Terminal terminal;              // output None: nothing shown (scripted)
  LineReader input;               // Readln's answers: standard input or the script
  Script* script = nullptr;       // the scripted platform's keys, or null
  PlatformClock clock;
  PollThrottle keyPoll{KeyPollIntervalUs};
  PollThrottle presentPoll{PresentIntervalUs};
  bool endKeyGiven = false;       // the window's end request became a V
};

// The real platform: the terminal (or a transcript) and standard input.
void SetUpTerminalPlatform(Platform& platform);

// Microseconds on the platform's clock.
std::int64_t NowUs(Platform& platform);
// True when the gated work is due; advances the throttle.
bool ThrottleDue(PollThrottle& throttle, Platform& platform);

// Show the surface in the window now (when open and a window exists).
void PresentNow(Platform& platform);
// Show it if the last showing is older than PresentIntervalUs; cheap otherwise.
void PresentIfDue(Platform& platform);
// The surface was opened / closed (the window is then taken off the screen).
void NotifyGraphicsOpened(Platform& platform);
void NotifyGraphicsClosed(Platform& platform);

// The platform record: everything the program reads from and shows to the
// person, in one place. The console, the key queue and the answer lines are
// models; the graphics surface is the program's own; one back end (backend.h)
// shows them to the person and brings the keys. Whatever ends the program
// goes through fatal.h.
//
// Set a Platform up where it will stay (SetUpPlatform) and give it its back
// end before the program runs; main owns one static instance.
#pragma once

#include <cstdint>

#include "platform/backend.h"
#include "platform/console.h"
#include "platform/key_queue.h"
#include "platform/program_exit.h"
#include "platform/text_file.h"

struct GraphSurface;

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

// The back end is asked for keys this often while KeyPressed is polled.
inline constexpr std::int64_t KeyPollIntervalUs = 5000;
// The surface is shown at most this often by PresentIfDue (about 60 a second).
inline constexpr std::int64_t PresentIntervalUs = 16667;

struct Platform {
  Console console;
  KeyQueue keys;
  GraphSurface* graph = nullptr;  // the surface the back end shows
  bool graphOpen = false;         // between NotifyGraphicsOpened and ...Closed
  Backend backend;
  LineReader input;               // Readln's answer lines
  bool typedAnswers = false;      // answers are typed as keys, echoed into the console
  // How a wait for a key ends when no key can ever come.
  ProgramExit noKeysExit;
  std::int64_t clockReads = 0;    // looks at the clock, for tests of the throttles
  PollThrottle keyPoll{KeyPollIntervalUs};
  PollThrottle presentPoll{PresentIntervalUs};
  bool endKeyGiven = false;       // the end request became a V
};

// A fresh platform: empty models, no back end, answers from standard input.
void SetUpPlatform(Platform& platform);

// Microseconds on the back end's clock.
std::int64_t NowUs(Platform& platform);
// True when the gated work is due; advances the throttle.
bool ThrottleDue(PollThrottle& throttle, Platform& platform);

// Bring the console the person sees up to date.
void ShowConsoleNow(Platform& platform);
// Show the surface now (when it is open).
void PresentNow(Platform& platform);
// Show it if the last showing is older than PresentIntervalUs; cheap otherwise.
void PresentIfDue(Platform& platform);
// The surface was opened / closed (the back end then takes it off the screen).
void NotifyGraphicsOpened(Platform& platform);
void NotifyGraphicsClosed(Platform& platform);

// BACK END scripted: the tests' own. The platform's models with no presenter,
// keys and answer lines from a script, and virtual time (Delay and waits only
// move the clock; an empty KeyPressed poll moves it by 1 us, about what a
// real poll of a busy loop costs).
//
// PLATFORM: any; nothing is shown and nothing is read from the person.
// LIMITATIONS: keys and answers only as scripted; presenters are the test's.
// DEPENDENCIES: the platform's models.
//
//   ScriptedPlatform sp;
//   SetUpScriptedPlatform(sp, "n\0Hv"sv, "12\n7\n");  // n, Up, v; two answers
//   int code = RunWithPlatform(sp.platform, [](Platform& p) { ... });
//
// Keys are raw queue bytes: an extended key is 0 followed by its scan code.
// ScriptPause delays the keys after it; ScriptEndRequest is the window being
// closed at that point. Answers are lines of text ending in '\n'. A test may
// put a window of its own in sp.window to see the surface and feed events,
// and a console presenter in sp.consoleView.
//
// The script never hangs a test: a blocking wait (ReadKey, Delay, typing)
// with no key left ends the program with ScriptKeysExhaustedExitCode, and so
// does polling KeyPressed for ScriptIdleLimitUs of virtual time after the
// last key. Running out of answer lines is the real end of input ("Runtime
// error 100: elfogyott a bemenet", exit code 100).
//
// Set up in place and never copy it: the platform points into it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

inline constexpr int ScriptKeysExhaustedExitCode = 250;
inline constexpr std::int64_t ScriptIdleLimitUs = 1000000;

enum class ScriptStepKind : std::uint8_t { Key, Pause, EndRequest };

struct ScriptStep {
  ScriptStepKind kind = ScriptStepKind::Key;
  std::uint8_t key = 0;
  std::int32_t ms = 0;
};

struct Script {
  std::vector<ScriptStep> steps;  // filled before the run, never during it
  std::size_t next = 0;           // the first step not yet delivered
  std::int64_t pauseEndsUs = -1;  // the pause at steps[next] runs until then
  std::int64_t idleSinceUs = -1;  // polled with nothing left since then
  std::string lines;
};

// A test's stand-in for a window; every member may be null.
struct ScriptedWindow {
  void* context = nullptr;
  void (*present)(void* context, const GraphSurface& surface) = nullptr;
  void (*hide)(void* context) = nullptr;
  void (*pollEvents)(void* context, KeyQueue& keys) = nullptr;
  void (*shutdown)(void* context) = nullptr;
};

// A test's stand-in for what shows the console (a terminal presenter of its
// own); every member may be null.
struct ScriptedConsoleView {
  void* context = nullptr;
  void (*show)(void* context, Console& console) = nullptr;
  void (*close)(void* context, Console& console) = nullptr;  // at the way out
};

// Virtual time, or the steady clock when a benchmark turns it off.
struct ScriptedClock {
  bool isVirtual = true;
  std::int64_t virtualUs = 0;
};

struct ScriptedPlatform {
  Platform platform;
  Script script;
  ScriptedWindow window;
  ScriptedConsoleView consoleView;
  ScriptedClock clock;
};

// A fresh platform with these keys and answer lines.
void SetUpScriptedPlatform(ScriptedPlatform& sp, std::string_view keys = {},
                           std::string_view lines = {});
// The scripted platform a platform set up by SetUpScriptedPlatform belongs to.
ScriptedPlatform& ScriptedOf(Platform& platform);
// Append keys, a pause of ms of virtual time, or the window's closing.
void ScriptKeys(ScriptedPlatform& sp, std::string_view keys);
void ScriptPause(ScriptedPlatform& sp, int ms);
void ScriptEndRequest(ScriptedPlatform& sp);

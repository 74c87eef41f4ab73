// The scripted platform for tests: the same console and key queue with no
// presenter, keys and answer lines from a script, and virtual time (Delay
// and waits only move the clock; an empty KeyPressed poll moves it by 1 us,
// about what a real poll of a busy loop costs).
//
//   ScriptedPlatform sp;
//   SetUpScriptedPlatform(sp, "n\0Hv"sv, "12\n7\n");  // n, Up, v; two answers
//   int code = RunWithPlatform(sp.platform, [](Platform& p) { ... });
//
// Keys are raw queue bytes: an extended key is 0 followed by its scan code.
// ScriptPause delays the keys after it; ScriptEndRequest is the window being
// closed at that point. Answers are lines of text ending in '\n'.
//
// The script never hangs a test: a blocking wait (ReadKey, Delay, Readln's
// typing) with no key left ends the program with ScriptKeysExhaustedExitCode,
// and so does polling KeyPressed for ScriptIdleLimitUs of virtual time after
// the last key. Running out of answer lines is the real end of input
// ("Runtime error 100: elfogyott a bemenet", exit code 100).
//
// Set up in place and never copy it: the platform points into the script.
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

struct ScriptedPlatform {
  Platform platform;
  Script script;
};

// A fresh platform with these keys and answer lines.
void SetUpScriptedPlatform(ScriptedPlatform& sp, std::string_view keys = {}, std::string_view lines = {});
// Append keys, a pause of ms of virtual time, or the window's closing.
void ScriptKeys(ScriptedPlatform& sp, std::string_view keys);
void ScriptPause(ScriptedPlatform& sp, int ms);
void ScriptEndRequest(ScriptedPlatform& sp);

// For the keyboard: move the keys that are due into the queue.
void DeliverScriptKeys(Script& script, Platform& platform);
bool ScriptHasKeysLeft(const Script& script);

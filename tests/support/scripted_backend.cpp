#include "support/scripted_backend.h"

#include <poll.h>

#include <chrono>

#include "platform/program_exit.h"

namespace {

ScriptedPlatform& Of(void* context) { return *static_cast<ScriptedPlatform*>(context); }

std::int64_t ClockUs(const ScriptedPlatform& sp) {
  if (sp.clock.isVirtual) return sp.clock.virtualUs;
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(now).count();
}

bool ScriptHasKeysLeft(const Script& script) { return script.next < script.steps.size(); }

// Move the keys that are due into the queue; end the test when the script
// has been polled idle too long.
void DeliverScriptKeys(ScriptedPlatform& sp, KeyQueue& keys) {
  Script& script = sp.script;
  const std::int64_t now = ClockUs(sp);
  while (script.next < script.steps.size()) {
    const ScriptStep& step = script.steps[script.next];
    if (step.kind == ScriptStepKind::Key) {
      if (!PushKey(keys, step.key)) break;
    } else if (step.kind == ScriptStepKind::Pause) {
      if (script.pauseEndsUs < 0) script.pauseEndsUs = now + std::int64_t{step.ms} * 1000;
      if (now < script.pauseEndsUs) break;
      script.pauseEndsUs = -1;
    } else {
      keys.endRequested = true;
    }
    ++script.next;
  }
  if (ScriptHasKeysLeft(script) || keys.count > 0 || keys.endRequested) {
    script.idleSinceUs = -1;
  } else if (script.idleSinceUs < 0) {
    script.idleSinceUs = now;
  } else if (now - script.idleSinceUs >= ScriptIdleLimitUs) {
    ExitProgram(ScriptKeysExhaustedExitCode, "script: no keys left");
  }
}

void ShowSurface(void* context, const GraphSurface& g) {
  ScriptedWindow& w = Of(context).window;
  if (w.present != nullptr) w.present(w.context, g);
}

void HideSurface(void* context) {
  ScriptedWindow& w = Of(context).window;
  if (w.hide != nullptr) w.hide(w.context);
}

void PollKeys(void* context, KeyQueue& keys) {
  ScriptedPlatform& sp = Of(context);
  if (sp.window.pollEvents != nullptr) sp.window.pollEvents(sp.window.context, keys);
  DeliverScriptKeys(sp, keys);
  keys.noMoreKeys = !ScriptHasKeysLeft(sp.script);
}

bool WaitForInput(void* context, InputKind, int ms) {
  ScriptedPlatform& sp = Of(context);
  if (sp.clock.isVirtual)
    sp.clock.virtualUs += std::int64_t{ms} * 1000;
  else
    poll(nullptr, 0, ms);
  return true;
}

}  // namespace

void SetUpScriptedPlatform(ScriptedPlatform& sp, std::string_view keys, std::string_view lines) {
  SetUpPlatform(sp.platform);
  sp.script = Script{};
  sp.window = ScriptedWindow{};
  sp.consoleView = ScriptedConsoleView{};
  sp.clock = ScriptedClock{};
  sp.script.lines.assign(lines);
  SetLineReaderMemory(sp.platform.input, sp.script.lines);
  sp.platform.noKeysExit.code = ScriptKeysExhaustedExitCode;
  Assign(sp.platform.noKeysExit.message, "script: no keys left");
  Backend& b = sp.platform.backend;
  b.context = &sp;
  b.showSurface = ShowSurface;
  b.hideSurface = HideSurface;
  b.pollKeys = PollKeys;
  b.waitForInput = WaitForInput;
  b.nowUs = [](void* c) { return ClockUs(Of(c)); };
  b.idle = [](void* c) {
    if (Of(c).clock.isVirtual) ++Of(c).clock.virtualUs;
  };
  b.showConsole = [](void* c, Console& console) {
    ScriptedConsoleView& v = Of(c).consoleView;
    if (v.show != nullptr) v.show(v.context, console);
  };
  b.shutDown = [](void* c, Console& console, std::string_view) {
    ScriptedWindow& w = Of(c).window;
    if (w.shutdown != nullptr) w.shutdown(w.context);
    w = ScriptedWindow{};  // shut for good, as a real window is
    ScriptedConsoleView& v = Of(c).consoleView;
    if (v.close != nullptr) v.close(v.context, console);
  };
  ScriptKeys(sp, keys);
}

ScriptedPlatform& ScriptedOf(Platform& platform) { return Of(platform.backend.context); }

void ScriptKeys(ScriptedPlatform& sp, std::string_view keys) {
  for (char c : keys)
    sp.script.steps.push_back({ScriptStepKind::Key, static_cast<std::uint8_t>(c), 0});
}

void ScriptPause(ScriptedPlatform& sp, int ms) {
  sp.script.steps.push_back({ScriptStepKind::Pause, 0, ms});
}

void ScriptEndRequest(ScriptedPlatform& sp) {
  sp.script.steps.push_back({ScriptStepKind::EndRequest, 0, 0});
}

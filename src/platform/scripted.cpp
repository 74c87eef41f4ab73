#include "platform/scripted.h"

#include "platform/program_exit.h"

void SetUpScriptedPlatform(ScriptedPlatform& sp, std::string_view keys, std::string_view lines) {
  sp.platform = Platform{};
  sp.script = Script{};
  sp.platform.script = &sp.script;
  sp.platform.clock.isVirtual = true;
  sp.script.lines.assign(lines);
  SetLineReaderMemory(sp.platform.input, sp.script.lines);
  ScriptKeys(sp, keys);
}

void ScriptKeys(ScriptedPlatform& sp, std::string_view keys) {
  for (char c : keys) sp.script.steps.push_back({ScriptStepKind::Key, static_cast<std::uint8_t>(c), 0});
}

void ScriptPause(ScriptedPlatform& sp, int ms) { sp.script.steps.push_back({ScriptStepKind::Pause, 0, ms}); }

void ScriptEndRequest(ScriptedPlatform& sp) { sp.script.steps.push_back({ScriptStepKind::EndRequest, 0, 0}); }

bool ScriptHasKeysLeft(const Script& script) { return script.next < script.steps.size(); }

void DeliverScriptKeys(Script& script, Platform& p) {
  std::int64_t now = NowUs(p);
  while (script.next < script.steps.size()) {
    const ScriptStep& step = script.steps[script.next];
    if (step.kind == ScriptStepKind::Key) {
      if (!PushKey(p.keys, step.key)) break;
    } else if (step.kind == ScriptStepKind::Pause) {
      if (script.pauseEndsUs < 0) script.pauseEndsUs = now + std::int64_t{step.ms} * 1000;
      if (now < script.pauseEndsUs) break;
      script.pauseEndsUs = -1;
    } else {
      p.keys.endRequested = true;
    }
    ++script.next;
  }
  if (ScriptHasKeysLeft(script) || p.keys.count > 0 || p.keys.endRequested) {
    script.idleSinceUs = -1;
  } else if (script.idleSinceUs < 0) {
    script.idleSinceUs = now;
  } else if (now - script.idleSinceUs >= ScriptIdleLimitUs) {
    ExitProgram(ScriptKeysExhaustedExitCode, "script: no keys left");
  }
}

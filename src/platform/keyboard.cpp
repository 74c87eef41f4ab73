#include "platform/keyboard.h"

#include "platform/fatal.h"
#include "platform/platform.h"
#include "platform/scripted.h"
#include "platform/signals.h"

namespace {

// Longest single wait, so that the window is looked at often enough.
constexpr int WaitSliceMs = 10;

bool NoKeySourceLeft(const Platform& p) {
  if (p.script != nullptr) return !ScriptHasKeysLeft(*p.script);
  // A hidden window (the console phases) cannot be typed into.
  bool windowKeys = p.window.pollEvents != nullptr && p.graphOpen && !p.keys.endRequested;
  return !windowKeys && !TerminalHasKeys(p.terminal);
}

[[noreturn]] void NoKeysEver(const Platform& p) {
  if (p.script != nullptr) ExitProgram(ScriptKeysExhaustedExitCode, "script: no keys left");
  RuntimeError(100, CP852(": nincs billentyűzet"));
}

// Sleep (or move the virtual clock) up to ms, waking for terminal input.
void WaitForKeys(Platform& p, int ms) {
  if (p.clock.isVirtual)
    p.clock.virtualUs += std::int64_t{ms} * 1000;
  else
    WaitForTerminal(p.terminal, ms);
}

}  // namespace

void PumpKeys(Platform& p) {
  ExitOnPendingSignal();
  if (p.window.pollEvents != nullptr) p.window.pollEvents(p.window.context, p.keys);
  EnterKeyMode(p.terminal);
  ReadTerminalKeys(p.terminal, p.keys, NowUs(p));
  if (p.script != nullptr) DeliverScriptKeys(*p.script, p);
  if (p.keys.endRequested && (!p.endKeyGiven || (p.keys.count == 0 && NoKeySourceLeft(p)))) {
    PushKey(p.keys, 'V');
    p.endKeyGiven = true;
  }
  ShowConsole(p.terminal, p.console);
}

bool KeyPressed(Platform& p) {
  if (p.keys.count > 0) return true;
  if (p.clock.isVirtual) ++p.clock.virtualUs;
  if (ThrottleDue(p.keyPoll, p)) PumpKeys(p);
  return p.keys.count > 0;
}

char ReadKey(Platform& p) {
  if (p.keys.count == 0) {
    PresentNow(p);
    for (;;) {
      PumpKeys(p);
      if (p.keys.count > 0) break;
      if (NoKeySourceLeft(p)) NoKeysEver(p);
      WaitForKeys(p, WaitSliceMs);
    }
  }
  std::uint8_t key = 0;
  PopKey(p.keys, key);
  p.keys.scanCodeWaiting = key == 0 && p.keys.count > 0;
  return static_cast<char>(key);
}

void Delay(Platform& p, int ms) {
  std::int64_t end = NowUs(p) + std::int64_t{ms} * 1000;
  PumpKeys(p);
  if (p.keys.count == 0 && NoKeySourceLeft(p)) NoKeysEver(p);
  for (std::int64_t now = NowUs(p); now < end; now = NowUs(p)) {
    std::int64_t left = (end - now + 999) / 1000;
    WaitForKeys(p, left < WaitSliceMs ? static_cast<int>(left) : WaitSliceMs);
    PumpKeys(p);
  }
}

bool EndRequested(const Platform& p) { return p.keys.endRequested; }

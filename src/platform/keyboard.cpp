#include "platform/keyboard.h"

#include "platform/platform.h"
#include "text/cp852.h"
#include "text/utf8.h"

namespace {

// Longest single wait, so that the back end is asked for keys often enough.
constexpr int WaitSliceMs = 10;

[[noreturn]] void NoKeysEver(const Platform& p) { throw p.noKeysExit; }

// Wait up to ms for keys (the back end's clock may be its own).
void WaitForKeys(Platform& p, int ms) {
  if (p.backend.waitForInput != nullptr)
    p.backend.waitForInput(p.backend.context, InputKind::Keys, ms);
}

}  // namespace

void PumpKeys(Platform& p) {
  if (p.backend.pollKeys != nullptr) p.backend.pollKeys(p.backend.context, p.keys);
  if (p.keys.endRequested && (!p.endKeyGiven || (p.keys.count == 0 && p.keys.noMoreKeys))) {
    PushKey(p.keys, 'V');
    p.endKeyGiven = true;
  }
  ShowConsoleNow(p);
}

bool KeyPressed(Platform& p) {
  if (p.keys.count > 0) return true;
  if (p.backend.idle != nullptr) p.backend.idle(p.backend.context);
  if (ThrottleDue(p.keyPoll, p)) PumpKeys(p);
  return p.keys.count > 0;
}

char ReadKey(Platform& p) {
  if (p.keys.count == 0) {
    PresentNow(p);
    for (;;) {
      PumpKeys(p);
      if (p.keys.count > 0) break;
      if (p.keys.noMoreKeys) NoKeysEver(p);
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
  if (p.keys.count == 0 && p.keys.noMoreKeys) NoKeysEver(p);
  for (std::int64_t now = NowUs(p); now < end; now = NowUs(p)) {
    std::int64_t left = (end - now + 999) / 1000;
    WaitForKeys(p, left < WaitSliceMs ? static_cast<int>(left) : WaitSliceMs);
    PumpKeys(p);
  }
}

bool EndRequested(const Platform& p) { return p.keys.endRequested; }

int PushTypedText(KeyQueue& keys, std::string_view text) {
  int pushed = 0;
  for (std::size_t at = 0; at < text.size();) {
    const long cp = NextCodePoint(text, at);
    if (cp < 0x20 || cp == 0x7F) continue;
    const int byte = UnicodeToCp852(static_cast<char32_t>(cp));
    if (byte >= 0 && PushKey(keys, static_cast<std::uint8_t>(byte))) ++pushed;
  }
  return pushed;
}

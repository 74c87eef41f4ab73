#include "platform/platform.h"

#include <unistd.h>

#include "platform/graph.h"

namespace {

// Largest number of calls between two clock reads.
constexpr int MaxThrottleBudget = 4096;

}  // namespace

void SetUpPlatform(Platform& p) {
  p = Platform{};
  SetLineReaderFd(p.input, STDIN_FILENO);
  p.noKeysExit.code = 100;
  Assign(p.noKeysExit.message, CP852("Runtime error 100: nincs billentyűzet"));
}

std::int64_t NowUs(Platform& p) {
  ++p.clockReads;
  return p.backend.nowUs != nullptr ? p.backend.nowUs(p.backend.context) : 0;
}

bool ThrottleDue(PollThrottle& t, Platform& p) {
  if (--t.countdown > 0) return false;
  std::int64_t now = NowUs(p);
  std::int64_t sinceCheck = now - t.lastCheckUs;
  t.lastCheckUs = now;
  // Aim at a few clock reads per interval.
  if (sinceCheck < t.intervalUs / 8 && t.budget < MaxThrottleBudget)
    t.budget *= 2;
  else if (sinceCheck > t.intervalUs / 2 && t.budget > 1)
    t.budget /= 2;
  t.countdown = t.budget;
  if (now - t.lastFireUs < t.intervalUs) return false;
  // Keep the average rate when the reads come late; restart after a gap.
  t.lastFireUs = now - t.lastFireUs < 2 * t.intervalUs ? t.lastFireUs + t.intervalUs : now;
  return true;
}

void ShowConsoleNow(Platform& p) {
  if (p.backend.showConsole != nullptr) p.backend.showConsole(p.backend.context, p.console);
}

namespace {

bool Present(Platform& p) {
  if (p.graph == nullptr || !p.graphOpen || p.backend.showSurface == nullptr) return false;
  p.backend.showSurface(p.backend.context, *p.graph);
  return true;
}

}  // namespace

void PresentNow(Platform& p) {
  if (Present(p)) p.presentPoll.lastFireUs = NowUs(p);
}

void PresentIfDue(Platform& p) {
  if (ThrottleDue(p.presentPoll, p)) Present(p);
}

void NotifyGraphicsOpened(Platform& p) { p.graphOpen = true; }

void NotifyGraphicsClosed(Platform& p) {
  p.graphOpen = false;
  if (p.backend.hideSurface != nullptr) p.backend.hideSurface(p.backend.context);
}

#include "platform/platform.h"

#include <chrono>
#include <unistd.h>

namespace {

// Largest number of calls between two clock reads.
constexpr int MaxThrottleBudget = 4096;

}  // namespace

void SetUpTerminalPlatform(Platform& p) {
  p = Platform{};
  OpenTerminal(p.terminal, p.console);
  SetLineReaderFd(p.input, STDIN_FILENO);
}

std::int64_t NowUs(Platform& p) {
  ++p.clock.reads;
  if (p.clock.isVirtual) return p.clock.virtualUs;
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(now).count();
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

namespace {

bool Present(Platform& p) {
  if (p.graph == nullptr || !p.graphOpen || p.window.present == nullptr) return false;
  p.window.present(p.window.context, *p.graph);
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
  if (p.window.hide != nullptr) p.window.hide(p.window.context);
}

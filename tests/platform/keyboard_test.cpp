#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/fatal.h"
#include "platform/key_queue.h"
#include "platform/keyboard.h"
#include "support/scripted_backend.h"

using namespace std::string_view_literals;

namespace {

std::vector<int> Typed(std::string_view text, int* pushed = nullptr) {
  KeyQueue keys;
  const int n = PushTypedText(keys, text);
  if (pushed != nullptr) *pushed = n;
  std::vector<int> codes;
  std::uint8_t key = 0;
  while (PopKey(keys, key)) codes.push_back(key);
  return codes;
}

std::unique_ptr<ScriptedPlatform> WithKeys(std::string_view keys) {
  auto sp = std::make_unique<ScriptedPlatform>();
  SetUpScriptedPlatform(*sp, keys);
  return sp;
}

// A window back end that counts its calls and can be closed by the test.
struct FakeWindow {
  int polls = 0, presents = 0, hides = 0, shutdowns = 0;
  bool closeNow = false;
};

ScriptedWindow WindowOf(FakeWindow& w) {
  ScriptedWindow b;
  b.context = &w;
  b.present = [](void* c, const GraphSurface&) { ++static_cast<FakeWindow*>(c)->presents; };
  b.hide = [](void* c) { ++static_cast<FakeWindow*>(c)->hides; };
  b.pollEvents = [](void* c, KeyQueue& keys) {
    auto& w = *static_cast<FakeWindow*>(c);
    ++w.polls;
    if (w.closeNow) keys.endRequested = true;
  };
  b.shutdown = [](void* c) { ++static_cast<FakeWindow*>(c)->shutdowns; };
  return b;
}

int ExitCodeOf(Platform& p, void (*body)(Platform&)) { return RunWithPlatform(p, body); }

}  // namespace

TEST(Keyboard, ExtendedKeysComeAsZeroThenTheScanCode) {
  auto sp = WithKeys("a\0H\0C"sv);
  Platform& p = sp->platform;
  EXPECT_TRUE(KeyPressed(p));
  EXPECT_EQ(ReadKey(p), 'a');
  EXPECT_EQ(ReadKey(p), 0);
  EXPECT_TRUE(KeyPressed(p));  // the scan code is still waiting
  EXPECT_EQ(ReadKey(p), 72);
  EXPECT_EQ(ReadKey(p), 0);
  EXPECT_EQ(ReadKey(p), 67);
}

TEST(Keyboard, KeyPressedConsumesNothing) {
  auto sp = WithKeys("xy");
  Platform& p = sp->platform;
  EXPECT_TRUE(KeyPressed(p));
  EXPECT_TRUE(KeyPressed(p));
  EXPECT_EQ(ReadKey(p), 'x');
  EXPECT_EQ(ReadKey(p), 'y');
  EXPECT_FALSE(KeyPressed(p));
}

TEST(Keyboard, DelayPassesVirtualTimeAndPausedKeysArriveLater) {
  auto sp = WithKeys("");
  ScriptPause(*sp, 350);
  ScriptKeys(*sp, "k");
  Platform& p = sp->platform;
  int delays = 0;
  while (!KeyPressed(p)) {  // the page prompt's loop
    Delay(p, 100);
    ++delays;
  }
  EXPECT_EQ(delays, 4);
  EXPECT_GE(sp->clock.virtualUs, 400000);
  EXPECT_LT(sp->clock.virtualUs, 401000);
  EXPECT_EQ(ReadKey(p), 'k');
}

TEST(Keyboard, ReadKeyWaitsThroughAPauseWithoutSleeping) {
  auto sp = WithKeys("");
  ScriptPause(*sp, 60000);
  ScriptKeys(*sp, "z");
  EXPECT_EQ(ReadKey(sp->platform), 'z');
  EXPECT_GE(sp->clock.virtualUs, 60000000);
}

TEST(Keyboard, ExhaustedScriptEndsABlockingWaitWithItsOwnExitCode) {
  auto sp = WithKeys("a");
  EXPECT_EQ(ExitCodeOf(sp->platform, [](Platform& p) {
              ReadKey(p);
              ReadKey(p);
            }),
            ScriptKeysExhaustedExitCode);
  sp = WithKeys("");
  EXPECT_EQ(ExitCodeOf(sp->platform, [](Platform& p) { Delay(p, 100); }),
            ScriptKeysExhaustedExitCode);
}

TEST(Keyboard, PollingAnExhaustedScriptEndsAfterTheIdleLimit) {
  auto sp = WithKeys("");
  long polls = 0;
  int code = RunWithPlatform(sp->platform, [&](Platform& p) {
    while (!KeyPressed(p)) ++polls;
  });
  EXPECT_EQ(code, ScriptKeysExhaustedExitCode);
  // 1 us of virtual time a poll, the limit counted from the first pump
  EXPECT_GE(polls, ScriptIdleLimitUs);
  EXPECT_LE(polls, ScriptIdleLimitUs + 2 * KeyPollIntervalUs);
}

TEST(Keyboard, PollingKeyPressedLooksAtTheSourcesRarely) {
  auto sp = WithKeys("");
  FakeWindow window;
  Platform& p = sp->platform;
  sp->window = WindowOf(window);
  const long calls = 200000;  // 0.2 s of virtual time
  for (long i = 0; i < calls; ++i) ASSERT_FALSE(KeyPressed(p));
  // one look per KeyPollIntervalUs, plus the first call's
  EXPECT_GE(window.polls, calls / (KeyPollIntervalUs + 1000));
  EXPECT_LE(window.polls, calls / KeyPollIntervalUs + 1);
  // and the clock itself is read only every few hundred calls
  EXPECT_LT(p.clockReads, calls / 100);
}

TEST(Keyboard, ClosingTheWindowActsAsTheKeyVOnceThenEveryWaitGetsV) {
  auto sp = WithKeys("x");
  FakeWindow window;
  Platform& p = sp->platform;
  sp->window = WindowOf(window);
  EXPECT_EQ(ReadKey(p), 'x');
  EXPECT_FALSE(EndRequested(p));
  window.closeNow = true;
  EXPECT_EQ(ReadKey(p), 'V');
  EXPECT_TRUE(EndRequested(p));
  // no other key source is left: the pagers that follow do not wait
  EXPECT_EQ(ReadKey(p), 'V');
  Delay(p, 100);
  EXPECT_TRUE(KeyPressed(p));
}

TEST(Keyboard, ScriptedEndRequestFollowsTheKeysBeforeIt) {
  auto sp = WithKeys("ab");
  ScriptEndRequest(*sp);
  Platform& p = sp->platform;
  EXPECT_EQ(ReadKey(p), 'a');
  EXPECT_EQ(ReadKey(p), 'b');
  EXPECT_TRUE(EndRequested(p));
  EXPECT_EQ(ReadKey(p), 'V');
}

TEST(Keyboard, ReadKeyShowsTheOpenSurfaceBeforeWaitingOnly) {
  auto sp = WithKeys("ab");
  FakeWindow window;
  Platform& p = sp->platform;
  sp->window = WindowOf(window);
  alignas(16) unsigned char surface[16];  // never looked at by the fake
  p.graph = reinterpret_cast<GraphSurface*>(surface);
  ReadKey(p);  // the surface is closed
  EXPECT_EQ(window.presents, 0);
  NotifyGraphicsOpened(p);
  ReadKey(p);  // a key was waiting: no wait, no present
  EXPECT_EQ(window.presents, 0);
  ScriptKeys(*sp, "c");
  ReadKey(p);
  EXPECT_EQ(window.presents, 1);
  NotifyGraphicsClosed(p);
  EXPECT_EQ(window.hides, 1);
}

TEST(Keyboard, PresentIfDueShowsAboutSixtyTimesASecond) {
  auto sp = WithKeys("");
  FakeWindow window;
  Platform& p = sp->platform;
  sp->window = WindowOf(window);
  alignas(16) unsigned char surface[16];
  p.graph = reinterpret_cast<GraphSurface*>(surface);
  NotifyGraphicsOpened(p);
  for (int i = 0; i < 1000000; ++i) {  // one virtual second
    ++sp->clock.virtualUs;
    PresentIfDue(p);
  }
  EXPECT_GE(window.presents, 57);
  EXPECT_LE(window.presents, 61);
}

TEST(TypedText, TypedTextBecomesCodePage852KeysAndWhatTheCodePageLacksIsDropped) {
  int pushed = 0;
  EXPECT_EQ(Typed("aőŰé▓b", &pushed), (std::vector<int>{'a', 0x8B, 0xEB, 0x82, 178, 'b'}));
  EXPECT_EQ(pushed, 6);
  // The euro sign, control characters and broken bytes give no key.
  EXPECT_EQ(Typed("€\x01\x7f\t\xC3x", &pushed), (std::vector<int>{'x'}));
  EXPECT_EQ(pushed, 1);
}

TEST(TypedText, TypedTextStopsAtAFullQueueAndCountsOnlyWhatWentIn) {
  KeyQueue keys;
  for (int i = 0; i < KeyQueueCapacity - 1; ++i) PushKey(keys, 'k');
  EXPECT_EQ(PushTypedText(keys, "xyz"), 1);
  EXPECT_EQ(keys.count, KeyQueueCapacity);
}

// The native back end's own decisions, apart from its terminal and window.
#include <gtest/gtest.h>

#include <memory>

#include "backends/native/native_backend.h"
#include "platform/fatal.h"
#include "platform/keyboard.h"
#include "platform/platform.h"

namespace {

// A window presenter that only counts how often it is asked for events.
struct CountedPolls {
  int polls = 0;
};

}  // namespace

// No terminal and a window that is not on the screen: nothing can ever be
// typed, so a wait ends the program instead of hanging.
TEST(NativeBackend, HiddenWindowAloneIsNoKeySource) {
  auto p = std::make_unique<Platform>();
  auto native = std::make_unique<NativeBackend>();  // its terminal never opened
  SetUpPlatform(*p);
  CountedPolls window;
  native->surface.context = &window;
  native->surface.pollEvents = [](void* c, KeyQueue&) { ++static_cast<CountedPolls*>(c)->polls; };
  WireNativeBackend(*p, *native);
  p->graphOpen = false;
  const int code = RunWithPlatform(*p, [](Platform& q) { ReadKey(q); });
  EXPECT_EQ(code, 100);
  EXPECT_GE(window.polls, 1);
}

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/fatal.h"
#include "platform/keyboard.h"
#include "backends/native/native_backend.h"
#include "backends/native/transcript_platform.h"
#include "platform/row_text_for_tests.h"
#include "support/scripted_backend.h"

namespace {

std::unique_ptr<ScriptedPlatform> Scripted() {
  auto sp = std::make_unique<ScriptedPlatform>();
  SetUpScriptedPlatform(*sp);
  return sp;
}

struct ShutdownCount {
  int calls = 0;
};

}  // namespace

TEST(Exit, NormalEndGivesZeroAndShutsTheWindow) {
  auto sp = Scripted();
  ShutdownCount count;
  sp->window.context = &count;
  sp->window.shutdown = [](void* c) { ++static_cast<ShutdownCount*>(c)->calls; };
  EXPECT_EQ(RunWithPlatform(sp->platform, [](Platform& p) { Writeln(p.console, "done"); }), 0);
  EXPECT_EQ(count.calls, 1);
  EXPECT_EQ(RowText(sp->platform.console, 1), "done");
  EXPECT_EQ(RowText(sp->platform.console, 2), "");
}

TEST(Exit, MessageGoesOnALineOfItsOwn) {
  auto sp = Scripted();
  int code = RunWithPlatform(sp->platform, [](Platform& p) {
    Write(p.console, "Lapozhatunk?-");
    ExitProgram(1, CP852("Túl sok mező (x nevű) az egyik KarAblak-ban!"));
  });
  EXPECT_EQ(code, 1);
  EXPECT_EQ(RowText(sp->platform.console, 1), "Lapozhatunk?-");
  EXPECT_EQ(RowText(sp->platform.console, 2),
            CP852("Túl sok mező (x nevű) az egyik KarAblak-ban!").view());

  sp = Scripted();
  code = RunWithPlatform(sp->platform, [](Platform&) { RuntimeError(106); });
  EXPECT_EQ(code, 106);
  EXPECT_EQ(RowText(sp->platform.console, 1), "Runtime error 106");
}

TEST(Exit, EmptyMessageWritesNothing) {
  auto sp = Scripted();
  EXPECT_EQ(RunWithPlatform(sp->platform, [](Platform&) { ExitProgram(2); }), 2);
  EXPECT_EQ(sp->platform.console.writtenRows, 0u);
}

TEST(Exit, OtherExceptionsStillShutTheWindowAndGoOn) {
  auto sp = Scripted();
  ShutdownCount count;
  sp->window.context = &count;
  sp->window.shutdown = [](void* c) { ++static_cast<ShutdownCount*>(c)->calls; };
  EXPECT_THROW(RunWithPlatform(sp->platform, [](Platform&) { throw std::logic_error("bug"); }),
               std::logic_error);
  EXPECT_EQ(count.calls, 1);
}

// What a window got from the back end's watch, to call it as the window
// system would.
struct LostDisplayWatch {
  void (*lost)(void*) = nullptr;
  void* lostContext = nullptr;
  bool lostAtShutdown = false;  // the loss shows only when the window shuts
};

SurfacePresenter WatchLikeAWindow(LostDisplayWatch& watch) {
  SurfacePresenter p;
  p.context = &watch;
  p.watchDisplay = [](void* c, void (*lost)(void*), void* lostContext) {
    auto& w = *static_cast<LostDisplayWatch*>(c);
    w.lost = lost;
    w.lostContext = lostContext;
  };
  p.shutdown = [](void* c) {
    auto& w = *static_cast<LostDisplayWatch*>(c);
    if (!w.lostAtShutdown) _exit(99);  // a call to a dead display
    w.lost(w.lostContext);
  };
  return p;
}

// The process ends inside the window system's handler, so these run in a
// child process (death tests); the transcript goes to its stderr.
TEST(ExitDeathTest, LostDisplayEndsAtOnceWithItsMessageAndCodeFive) {
  EXPECT_EXIT(
      {
        LostDisplayWatch watch;
        auto tp = WithTranscript(stderr, WatchLikeAWindow(watch));
        Platform& p = tp->platform;
        RunWithPlatform(p, [&watch](Platform& q) {
          Write(q.console, "Lapozhatunk?|");
          watch.lost(watch.lostContext);
        });
        _exit(98);  // never here
      },
      ::testing::ExitedWithCode(DisplayLostExitCode),
      "^Lapozhatunk\\?\\|\nLemvaris: megszakadt a kapcsolat a grafikus képernyővel \\(X "
      "szerver\\)\\.\n$");
}

// The program was ending anyway (here normally) when shutting the window
// finds the display gone: the terminal is still there to tell it.
TEST(ExitDeathTest, LostDisplayFoundWhileTheWindowShutsIsStillTold) {
  EXPECT_EXIT(
      {
        LostDisplayWatch watch;
        watch.lostAtShutdown = true;
        auto tp = WithTranscript(stderr, WatchLikeAWindow(watch));
        Platform& p = tp->platform;
        RunWithPlatform(p, [](Platform& q) { Writeln(q.console, CP852("Itt a vége")); });
        _exit(98);
      },
      ::testing::ExitedWithCode(DisplayLostExitCode),
      "^Itt a vége\nLemvaris: megszakadt a kapcsolat a grafikus képernyővel \\(X szerver\\)\\.\n$");
}

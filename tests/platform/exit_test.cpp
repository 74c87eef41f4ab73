#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/fatal.h"
#include "platform/keyboard.h"
#include "platform/native/native_backend.h"
#include "platform/row_text_for_tests.h"
#include "support/scripted_backend.h"

namespace {

struct ShutdownCount {
  int calls = 0;
};

// A platform whose console goes to a transcript in out, through the native
// back end with no terminal.
struct TranscriptPlatform {
  Platform platform;
  NativeBackend native;
};

std::unique_ptr<TranscriptPlatform> WithTranscript(std::FILE* out, SurfacePresenter presenter = {}) {
  auto tp = std::make_unique<TranscriptPlatform>();
  SetUpPlatform(tp->platform);
  UseTranscript(tp->native.terminal, tp->platform.console, out);
  tp->native.surface = presenter;
  WireNativeBackend(tp->platform, tp->native);
  return tp;
}

std::unique_ptr<ScriptedPlatform> Scripted() {
  auto sp = std::make_unique<ScriptedPlatform>();
  SetUpScriptedPlatform(*sp);
  return sp;
}

// A key far in the future, so that every Delay of a test is a real wait.
// A scripted platform whose console goes to a transcript in out through the
// terminal presenter, with its one key far off so that waits pass virtual time.
struct ScriptedTranscript {
  ScriptedPlatform sp;
  Terminal terminal;
};

std::unique_ptr<ScriptedTranscript> TranscriptWithWaits(std::FILE* out) {
  auto t = std::make_unique<ScriptedTranscript>();
  SetUpScriptedPlatform(t->sp);
  ScriptPause(t->sp, 3600 * 1000);
  ScriptKeys(t->sp, "x");
  UseTranscript(t->terminal, t->sp.platform.console, out);
  t->sp.consoleView.context = &t->terminal;
  t->sp.consoleView.show = [](void* c, Console& con) { ShowConsole(*static_cast<Terminal*>(c), con); };
  t->sp.consoleView.close = [](void* c, Console& con) { CloseTerminal(*static_cast<Terminal*>(c), con); };
  return t;
}

// Everything written to f so far.
std::string Contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out += static_cast<char>(c);
  return out;
}

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
  EXPECT_EQ(RowText(sp->platform.console, 2), CP852("Túl sok mező (x nevű) az egyik KarAblak-ban!").view());

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
      "^Lapozhatunk\\?\\|\nLemvaris: megszakadt a kapcsolat a grafikus képernyővel \\(X szerver\\)\\.\n$");
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

TEST(Transcript, EveryWrittenRowOnceInScreenOrderAsUtf8) {
  std::FILE* out = std::tmpfile();
  auto tp = WithTranscript(out);
  Platform& p = tp->platform;
  Console& con = p.console;
  // A framed page, its prompt redrawn by a spinner, then the next page.
  Write(con, "\xb2\xb2 Lemvaris \xb2\xb2");
  GotoXY(con, 3, 3);
  Write(con, "first line");
  for (char frame : {'\\', '|', '/'}) {
    GotoXY(con, 35, 25);
    Write(con, "Lapozhatunk?");
    Write(con, frame);
  }
  ClrScr(con);
  Writeln(con, CP852("Itt a vége fuss el véle!!!!"));
  FinishProgram(p, ProgramExit{});
  EXPECT_EQ(Contents(out),
            "▓▓ Lemvaris ▓▓\n\n  first line\n" + std::string(21, '\n') + std::string(34, ' ') +
                "Lapozhatunk?/\nItt a vége fuss el véle!!!!\n");
  std::fclose(out);
}

TEST(Transcript, ScrolledRowsAreWrittenBeforeTheyGo) {
  std::FILE* out = std::tmpfile();
  auto tp = WithTranscript(out);
  Platform& p = tp->platform;
  Window(p.console, 1, 1, 80, 2);
  for (int i = 1; i <= 5; ++i) Writeln(p.console, static_cast<std::int32_t>(i));
  FinishProgram(p, ProgramExit{3, MakeShortString<255>("Runtime error 3")});
  EXPECT_EQ(Contents(out), "1\n2\n3\n4\n5\nRuntime error 3\n");
  std::fclose(out);
}

// Through a pipe the person must read a page and its prompt while the
// program waits for the key: each wait shows what stands before the cursor,
// and the spinner's later frames are not repeated.
TEST(Transcript, EachWaitShowsThePageAndThePromptOnce) {
  std::FILE* out = std::tmpfile();
  auto t = TranscriptWithWaits(out);
  Platform& p = t->sp.platform;
  Console& con = p.console;
  Write(con, "\xb2\xb2 Lemvaris \xb2\xb2");
  GotoXY(con, 3, 3);
  Write(con, "first line");
  const std::string page = "▓▓ Lemvaris ▓▓\n\n  first line\n" + std::string(21, '\n');
  for (char frame : {'\\', '|', '/'}) {
    GotoXY(con, 35, 25);
    Write(con, "Lapozhatunk?");
    Write(con, frame);
    Delay(p, 100);
    EXPECT_EQ(Contents(out), page + std::string(34, ' ') + "Lapozhatunk?\\");
  }
  ClrScr(con);
  Writeln(con, CP852("Itt a vége fuss el véle!!!!"));
  Delay(p, 100);
  EXPECT_EQ(Contents(out), page + std::string(34, ' ') + "Lapozhatunk?\\\nItt a vége fuss el véle!!!!");
  FinishProgram(p, ProgramExit{});
  EXPECT_EQ(Contents(out), page + std::string(34, ' ') + "Lapozhatunk?\\\nItt a vége fuss el véle!!!!\n");
  std::fclose(out);
}

// A question on a framed screen: the frame below it waits, the blank after
// the question is held back, and the answer continues the question's line.
TEST(Transcript, QuestionComesBeforeTheFrameBelowIt) {
  std::FILE* out = std::tmpfile();
  auto t = TranscriptWithWaits(out);
  Platform& p = t->sp.platform;
  Console& con = p.console;
  Writeln(con, "\xb2\xb2\xb2");
  GotoXY(con, 1, 24);
  Write(con, "\xb2\xb2\xb2");
  GotoXY(con, 1, 3);
  Write(con, "Szam? ");
  Delay(p, 100);
  EXPECT_EQ(Contents(out), "▓▓▓\n\nSzam?");
  Writeln(con, "42");
  Write(con, "Next? ");
  Delay(p, 100);
  EXPECT_EQ(Contents(out), "▓▓▓\n\nSzam? 42\nNext?");
  GotoXY(con, 1, 1);
  Write(con, "late");  // the row is out already: not repeated
  FinishProgram(p, ProgramExit{});
  EXPECT_EQ(Contents(out), "▓▓▓\n\nSzam? 42\nNext?\n" + std::string(19, '\n') + "▓▓▓\n");
  std::fclose(out);
}

// A row that the stream stopped on (the last text while the cursor is below
// it) gets its line end before the rows written later, with the blank rows
// between them, and before a clear.
TEST(Transcript, RowsAfterAWaitKeepTheirPlaces) {
  std::FILE* out = std::tmpfile();
  auto t = TranscriptWithWaits(out);
  Platform& p = t->sp.platform;
  Console& con = p.console;
  Writeln(con, "one");
  Writeln(con);
  Delay(p, 100);
  EXPECT_EQ(Contents(out), "one");
  Writeln(con, "three");
  Delay(p, 100);
  EXPECT_EQ(Contents(out), "one\n\nthree");
  ClrScr(con);
  Write(con, "after");
  Delay(p, 100);
  EXPECT_EQ(Contents(out), "one\n\nthree\nafter");
  FinishProgram(p, ProgramExit{});
  EXPECT_EQ(Contents(out), "one\n\nthree\nafter\n");
  std::fclose(out);
}

TEST(Transcript, FailedWriteIsRuntimeError101) {
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  auto tp = WithTranscript(full);
  Platform& p = tp->platform;
  int code = RunWithPlatform(p, [](Platform& q) {
    Writeln(q.console, "text");
    ClrScr(q.console);
    ShowConsoleNow(q);
  });
  EXPECT_EQ(code, 101);
  std::fclose(full);
}

#include <gtest/gtest.h>

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

std::unique_ptr<TranscriptPlatform> WithTranscript(std::FILE* out) {
  auto tp = std::make_unique<TranscriptPlatform>();
  SetUpPlatform(tp->platform);
  UseTranscript(tp->native.terminal, tp->platform.console, out);
  WireNativeBackend(tp->platform, tp->native);
  return tp;
}

std::unique_ptr<ScriptedPlatform> Scripted() {
  auto sp = std::make_unique<ScriptedPlatform>();
  SetUpScriptedPlatform(*sp);
  return sp;
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

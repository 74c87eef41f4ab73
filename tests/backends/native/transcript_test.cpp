// The console as a transcript when standard output is not a terminal.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "backends/native/terminal.h"
#include "backends/native/transcript_platform.h"
#include "platform/fatal.h"
#include "platform/keyboard.h"
#include "platform/row_text_for_tests.h"
#include "support/scripted_backend.h"

namespace {

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
  t->sp.consoleView.show = [](void* c, Console& con) {
    ShowConsole(*static_cast<Terminal*>(c), con);
  };
  t->sp.consoleView.close = [](void* c, Console& con) {
    CloseTerminal(*static_cast<Terminal*>(c), con);
  };
  return t;
}

}  // namespace

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
  EXPECT_EQ(Contents(out),
            page + std::string(34, ' ') + "Lapozhatunk?\\\nItt a vége fuss el véle!!!!");
  FinishProgram(p, ProgramExit{});
  EXPECT_EQ(Contents(out),
            page + std::string(34, ' ') + "Lapozhatunk?\\\nItt a vége fuss el véle!!!!\n");
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

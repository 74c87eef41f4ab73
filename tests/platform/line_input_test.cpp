#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "platform/fatal.h"
#include "platform/line_input.h"
#include "platform/row_text_for_tests.h"
#include "platform/text_file.h"
#include "support/scripted_backend.h"

namespace {

// A scripted platform with these answer lines.
std::unique_ptr<ScriptedPlatform> WithLines(std::string_view lines) {
  auto sp = std::make_unique<ScriptedPlatform>();
  SetUpScriptedPlatform(*sp, {}, lines);
  return sp;
}

std::int32_t ReadInteger(std::string_view lines) {
  auto sp = WithLines(lines);
  std::int32_t value = -999;
  EXPECT_TRUE(Readln(sp->platform, value)) << lines;
  return value;
}

double ReadReal(std::string_view lines) {
  auto sp = WithLines(lines);
  double value = -999;
  EXPECT_TRUE(Readln(sp->platform, value)) << lines;
  return value;
}

// Exit code of reading an integer from these lines, the console kept in sp.
int IntegerExitCode(ScriptedPlatform& sp, std::string_view lines) {
  SetUpScriptedPlatform(sp, {}, lines);
  return RunWithPlatform(sp.platform, [](Platform& p) {
    std::int32_t value;
    static_cast<void>(Readln(p, value));
  });
}


}  // namespace

TEST(LineInput, IntegerIsTheFirstTokenOfTheFirstLineThatHasOne) {
  EXPECT_EQ(ReadInteger("12 34\n"), 12);
  EXPECT_EQ(ReadInteger("\n7\n"), 7);
  EXPECT_EQ(ReadInteger("  \t \n   \n  -25\tx\n"), -25);
  EXPECT_EQ(ReadInteger("+3"), 3);  // the last line needs no line end
  EXPECT_EQ(ReadInteger("65537\n"), 65537);
  EXPECT_EQ(ReadInteger("2147483647\n"), 2147483647);
  EXPECT_EQ(ReadInteger("-2147483648\n"), INT32_MIN);
  EXPECT_EQ(ReadInteger("9\r\n"), 9);
}

TEST(LineInput, RealsInEveryUsualForm) {
  EXPECT_EQ(ReadReal("-1\n"), -1.0);
  EXPECT_EQ(ReadReal("1.0001\n"), 1.0001);
  EXPECT_EQ(ReadReal("1e-3\n"), 1e-3);
  EXPECT_EQ(ReadReal(" 0.5\n"), 0.5);
  EXPECT_EQ(ReadReal("1\n"), 1.0);
  EXPECT_EQ(ReadReal("\n\n-.25 rest\n"), -0.25);
  EXPECT_EQ(ReadReal("2.5E+2\n"), 250.0);
  EXPECT_EQ(ReadReal("0.1\n"), 0.1);  // the double nearest to 0.1, as a double parse gives
  // A decimal comma, as Hungarian writes it, is a decimal point.
  EXPECT_EQ(ReadReal("0,5\n"), 0.5);
  EXPECT_EQ(ReadReal("-,25\n"), -0.25);
  EXPECT_EQ(ReadReal("1,5e2\n"), 150.0);
  EXPECT_EQ(ReadReal("0,1\n"), 0.1);
}

// A typo reads nothing and ends nothing: the next line is the next answer.
TEST(LineInput, MalformedAnswerReadsNothingAndTheNextLineIsRead) {
  for (std::string_view bad : {"abc", "12abc", "1.5", "0,5"}) {
    auto sp = WithLines(std::string(bad) + "\n7\n");
    std::int32_t value = -999;
    EXPECT_FALSE(Readln(sp->platform, value)) << bad;
    EXPECT_EQ(value, -999) << bad;
    EXPECT_EQ(RowText(sp->platform.console, 1), bad);  // the answer as echoed
    EXPECT_TRUE(Readln(sp->platform, value));
    EXPECT_EQ(value, 7);
    EXPECT_EQ(RowText(sp->platform.console, 2), "7");
  }
}

TEST(LineInput, AnswersAreEchoedAfterThePromptWithTheirLineEnds) {
  auto sp = WithLines("\n  42  rest\n");
  Console& con = sp->platform.console;
  Window(con, 3, 3, 78, 23);
  Write(con, "Szomszédsági sugár? [1..10]");
  std::int32_t value;
  EXPECT_TRUE(Readln(sp->platform, value));
  EXPECT_EQ(value, 42);
  EXPECT_EQ(RowText(con, 3), "  Szomszédsági sugár? [1..10]");  // the empty line: just its line end
  EXPECT_EQ(RowText(con, 4), "    42  rest");
  EXPECT_EQ(WhereX(con), 1);
  EXPECT_EQ(WhereY(con), 3);
}

TEST(LineInput, EndOfInputEndsWithRuntimeError100) {
  auto sp = std::make_unique<ScriptedPlatform>();
  EXPECT_EQ(IntegerExitCode(*sp, "\n   \n"), 100);
  EXPECT_EQ(RowText(sp->platform.console, 3),
            CP852("Runtime error 100: elfogyott a bemenet").view());
  EXPECT_EQ(IntegerExitCode(*sp, ""), 100);
}

TEST(LineInput, ALongLineIsOneAnswerWhereverItsNumberStands) {
  // The number after 300 blanks answers the first question; the next lines
  // answer the next ones.
  auto sp = WithLines(std::string(300, ' ') + "5\n7\n9\n");
  std::int32_t first = 0, second = 0, third = 0;
  EXPECT_TRUE(Readln(sp->platform, first));
  EXPECT_TRUE(Readln(sp->platform, second));
  EXPECT_TRUE(Readln(sp->platform, third));
  EXPECT_EQ(first, 5);
  EXPECT_EQ(second, 7);
  EXPECT_EQ(third, 9);
  // The echo keeps 255 of the blanks: the number ends row 4 (80 a row).
  EXPECT_EQ(RowText(sp->platform.console, 4), std::string(255 - 240, ' ') + "5");
  EXPECT_EQ(RowText(sp->platform.console, 5), "7");

  // A long rest of the line after the number is dropped whole.
  EXPECT_EQ(ReadInteger("6 " + std::string(5000, 'x') + "\n8\n"), 6);
  EXPECT_EQ(ReadReal(std::string(1000, '\t') + "0.5" + std::string(1000, ' ') + "x\n"), 0.5);
}

TEST(LineInput, ANumberLongerThanWhatIsKeptIsMalformedNeverCut) {
  for (std::string line : {"5" + std::string(300, 'x'), "0." + std::string(300, '1'),
                           std::string(300, ' ') + "1" + std::string(300, '0')}) {
    auto sp = WithLines(line + "\n7\n");
    double value = 0;
    EXPECT_FALSE(Readln(sp->platform, value));
    EXPECT_TRUE(Readln(sp->platform, value));
    EXPECT_EQ(value, 7.0);
  }
  // A number that fills the kept text reads when a blank follows it.
  const std::string fits(255, '1');
  const std::string lines = fits + " " + std::string(100, '2') + "\n" + fits + "\n" + fits +
                            "2 3\n" + "1 " + std::string(300, '2') + "\n";
  LineReader reader;
  SetLineReaderMemory(reader, lines);
  const double ones = std::strtod(fits.c_str(), nullptr);
  const double malformed = -1;
  AnswerLine line;
  for (double expected : {ones, ones, malformed, 1.0}) {
    ASSERT_TRUE(ReadAnswerLine(reader, line));
    double real = malformed;
    EXPECT_EQ(ParseReal(line, real),
              expected == malformed ? NumberRead::Malformed : NumberRead::Number);
    EXPECT_EQ(real, expected);
  }
  EXPECT_FALSE(ReadAnswerLine(reader, line));
}

TEST(LineInput, AnswerLinesFromADescriptorAcrossManyBufferFills) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string text =
      std::string(10000, ' ') + "5\r\n" + std::string(9000, '8') + "\r\r" + "9";
  ASSERT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fds[1]);
  LineReader reader;
  SetLineReaderFd(reader, fds[0]);
  AnswerLine line;
  std::int32_t value = 0;
  ASSERT_TRUE(ReadAnswerLine(reader, line));
  EXPECT_EQ(line.blankCount, AnswerCapacity);
  EXPECT_EQ(ParseInteger(line, value), NumberRead::Number);
  EXPECT_EQ(value, 5);
  ASSERT_TRUE(ReadAnswerLine(reader, line));
  EXPECT_EQ(ParseInteger(line, value), NumberRead::Malformed);
  ASSERT_TRUE(ReadAnswerLine(reader, line));
  EXPECT_EQ(ParseInteger(line, value), NumberRead::NoNumber);  // the empty line between two CRs
  ASSERT_TRUE(ReadAnswerLine(reader, line));
  EXPECT_EQ(ParseInteger(line, value), NumberRead::Number);
  EXPECT_EQ(value, 9);
  EXPECT_FALSE(ReadAnswerLine(reader, line));
  close(fds[0]);
}

TEST(LineInput, TypedLineKeepsItsRoomAndBackspaceTakesBackBlanksToo) {
  AnswerLine line;
  int taken = 0;
  for (int i = 0; i < 300; ++i) taken += AddAnswerChar(line, ' ');
  EXPECT_EQ(taken, AnswerCapacity);  // blanks past the room are not taken
  for (int i = 0; i < 300; ++i) taken += AddAnswerChar(line, '7');
  EXPECT_EQ(taken, 2 * AnswerCapacity);
  EXPECT_FALSE(line.numberCut);  // a typed line shows all it holds
  while (line.length > 1) RemoveAnswerChar(line);
  std::int32_t value = 0;
  EXPECT_EQ(ParseInteger(line, value), NumberRead::Number);
  EXPECT_EQ(value, 7);
  RemoveAnswerChar(line);
  EXPECT_EQ(line.blankCount, AnswerCapacity);
  RemoveAnswerChar(line);  // then the blanks
  EXPECT_EQ(line.blankCount, AnswerCapacity - 1);
  EXPECT_EQ(ParseInteger(line, value), NumberRead::NoNumber);
}

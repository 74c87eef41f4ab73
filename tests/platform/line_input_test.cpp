#include <gtest/gtest.h>

#include <memory>

#include "platform/fatal.h"
#include "platform/line_input.h"
#include "platform/row_text_for_tests.h"
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
  Readln(sp->platform, value);
  return value;
}

double ReadReal(std::string_view lines) {
  auto sp = WithLines(lines);
  double value = -999;
  Readln(sp->platform, value);
  return value;
}

// Exit code of reading an integer from these lines, the console kept in sp.
int IntegerExitCode(ScriptedPlatform& sp, std::string_view lines) {
  SetUpScriptedPlatform(sp, {}, lines);
  return RunWithPlatform(sp.platform, [](Platform& p) {
    std::int32_t value;
    Readln(p, value);
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
}

TEST(LineInput, MalformedNumbersAreMalformed) {
  std::int32_t i;
  double d;
  for (std::string_view bad : {"abc", "12abc", "1.5", "-", "+", "1e3", "2147483648", "-2147483649",
                               "99999999999999999999", "0x10", "$10"})
    EXPECT_EQ(ParseInteger(bad, i), NumberRead::Malformed) << bad;
  for (std::string_view bad : {"abc", ".", "-", "1e", "1e+", "1.2.3", "inf", "nan", "0x1p3", "1,5", "1e99999"})
    EXPECT_EQ(ParseReal(bad, d), NumberRead::Malformed) << bad;
  EXPECT_EQ(ParseInteger(" \t", i), NumberRead::NoNumber);
  EXPECT_EQ(ParseReal("", d), NumberRead::NoNumber);
}

TEST(LineInput, MalformedAnswerEndsWithRuntimeError106) {
  for (std::string_view bad : {"abc\n", "12abc\n", "1.5\n"}) {
    auto sp = std::make_unique<ScriptedPlatform>();
    EXPECT_EQ(IntegerExitCode(*sp, bad), 106) << bad;
    std::string typed(bad.substr(0, bad.size() - 1));
    EXPECT_EQ(RowText(sp->platform.console, 1), typed);  // the answer as echoed
    EXPECT_EQ(RowText(sp->platform.console, 2), "Runtime error 106");
  }
}

TEST(LineInput, AnswersAreEchoedAfterThePromptWithTheirLineEnds) {
  auto sp = WithLines("\n  42  rest\n");
  Console& con = sp->platform.console;
  Window(con, 3, 3, 78, 23);
  Write(con, "Szomszédsági sugár? [1..10]");
  std::int32_t value;
  Readln(sp->platform, value);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(RowText(con, 3), "  Szomszédsági sugár? [1..10]");  // the empty line: just its line end
  EXPECT_EQ(RowText(con, 4), "    42  rest");
  EXPECT_EQ(WhereX(con), 1);
  EXPECT_EQ(WhereY(con), 3);
}

TEST(LineInput, EndOfInputEndsWithRuntimeError100) {
  auto sp = std::make_unique<ScriptedPlatform>();
  EXPECT_EQ(IntegerExitCode(*sp, "\n   \n"), 100);
  EXPECT_EQ(RowText(sp->platform.console, 3), CP852("Runtime error 100: elfogyott a bemenet").view());
  EXPECT_EQ(IntegerExitCode(*sp, ""), 100);
}

TEST(LineInput, LongLineIsCutAndItsRestDropped) {
  std::string lines = "5" + std::string(300, 'x') + " 6\n7\n";
  auto sp = WithLines(lines);
  std::int32_t value;
  EXPECT_EQ(RunWithPlatform(sp->platform, [&](Platform& p) { Readln(p, value); }), 106);
  sp = WithLines(std::string(300, ' ') + "8\n9\n");  // the number lies beyond the kept part
  Readln(sp->platform, value);
  EXPECT_EQ(value, 9);
}

// The parameters' one reader and one check, through the tables every front
// end relies on: a front end's own tests only show that it routes here.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "experiment/parameters.h"

namespace {

constexpr auto Typed = NumberSyntax::Typed;
constexpr auto Line = NumberSyntax::CommandLine;
constexpr auto Ok = ValueVerdict::Accepted;
constexpr auto Bad = ValueVerdict::Malformed;
constexpr auto Out = ValueVerdict::OutOfRange;
constexpr auto Comma = ValueVerdict::DecimalComma;

struct ReadCase {
  const char* parameter;
  const char* text;
  NumberSyntax syntax;
  ValueVerdict verdict;
  double value;  // the number read, where one was (NaN: not looked at)
};

// How a typed number reads, for each kind, in both syntaxes.
const ReadCase NumberCases[] = {
    {"N", "100", Line, Ok, 100},
    {"N", " 100 ", Typed, Ok, 100},          // a field's blanks around the number
    {"N", " 100", Line, Bad, NAN},           // an argument is the number, nothing else
    {"N", "1 2", Typed, Bad, NAN},           // one number, not the dialog's first token
    {"N", "+7", Line, Ok, 7},
    {"N", "0", Line, Out, 0},
    {"N", "251", Line, Out, 251},
    {"N", "65537", Line, Out, 65537},        // no low 16 bits outside the dialog
    {"N", "99999999999999", Line, Out, NAN}, // whole, past 32 bits: its range is shown
    {"N", "1.0", Line, Bad, NAN},
    {"N", "1e2", Line, Bad, NAN},
    {"N", "", Typed, Bad, NAN},
    {"N", "abc", Line, Bad, NAN},
    {"K", "32767", Line, Ok, 32767},
    {"K", "32768", Line, Out, 32768},
    {"rSz", "10", Line, Ok, 10},
    {"rSz", "11", Line, Out, 11},
    {"Ah", "0.5", Line, Ok, 0.5},
    {"Ah", "0,5", Typed, Ok, 0.5},           // the dialog's and the pages' decimal comma
    {"Ah", "0,1", Line, Comma, NAN},         // on a command line: a list, never a point
    {"Ah", "1,5,2", Line, Bad, NAN},
    {"Ah", "-1", Line, Ok, -1},
    {"Ah", "1", Line, Ok, 1},
    {"Ah", "1.0001", Line, Out, 1.0001},
    {"Ah", "-1.0000000000000001", Line, Ok, -1},  // rounds to -1 as the dialog reads it
    {"Ah", "1e-400", Line, Ok, 0},
    {"Ah", "1e400", Line, Out, HUGE_VAL},
    {"Ah", ".5", Line, Ok, 0.5},
    {"Ah", "nan", Line, Bad, NAN},
    {"Ah", "inf", Line, Bad, NAN},
    {"Kh", "0x1p-1", Line, Bad, NAN},
    {"G", "-0.3", Line, Ok, -0.3},
    // The x87 rounding: extended first, then a double (not the nearest double).
    {"G", "0.81635414257042066", Line, Ok, 0.8163541425704206},  // strtod: ...2072
    {"seed", "0", Line, Ok, 0},
    {"seed", "4294967295", Line, Ok, 4294967295.0},
    {"seed", "4294967296", Line, Out, 4294967296.0},
    {"seed", "-1", Line, Out, -1},           // its range, not "a whole number"
    {"seed", "1.5", Typed, Bad, NAN},
};

TEST(Parameters, TypedNumbersReadByOneRule) {
  for (const ReadCase& c : NumberCases) {
    const int index = ParameterNamed(c.parameter);
    ASSERT_GE(index, 0) << c.parameter;
    double value = NAN;
    EXPECT_EQ(ReadParameter(index, c.text, c.syntax, value), c.verdict)
        << c.parameter << " \"" << c.text << "\"";
    if (!std::isnan(c.value)) {
      EXPECT_EQ(value, c.value) << c.parameter << " \"" << c.text << "\"";
    }
  }
}

struct SetCase {
  ParameterValues values;
  int refused;  // the parameter named, -1: accepted
  ValueVerdict verdict;
};

ParameterValues Set(double N, double M, double K, double Ah, double Kh, double G, double rSz,
                    double seed = 0) {
  return ParameterValues{{N, M, K, Ah, Kh, G, rSz, seed}};
}

// Whole sets: the first parameter out of its range is named; K's N*M only
// once every range holds.
const SetCase SetCases[] = {
    {Set(100, 100, 3000, 0.5, 0.8, 0.2, 3), -1, Ok},
    {Set(1, 1, 1, -1, -1, -1, 1, 4294967295.0), -1, Ok},
    {Set(250, 250, 32767, 1, 1, 1, 10), -1, Ok},
    {Set(5, 5, 25, 0, 0, 0, 1), -1, Ok},
    {Set(5, 5, 26, 0, 0, 0, 1), ParamK, ValueVerdict::AboveCells},
    {Set(5, 5, 26, 2, 0, 0, 1), ParamAh, Out},  // a range before K's N*M
    {Set(0, 300, 0, 0, 0, 0, 0), ParamN, Out},  // the first of several
    {Set(10, 10, 10, 0, 0, 0, 2.5), ParamRSz, Bad},
    {Set(10, 10, 10, 0, NAN, 0, 1), ParamKh, Out},
    {Set(10, 10, 10, 0, 0, 0, 1, -1), ParamSeed, Out},
};

TEST(Parameters, ASetNamesItsFirstRefusedParameter) {
  for (const SetCase& c : SetCases) {
    const Refusal r = CheckParameters(c.values);
    EXPECT_EQ(r.parameter, c.refused) << c.values.value[0] << " " << c.values.value[2];
    EXPECT_EQ(r.verdict, c.verdict);
  }
  SimParams p;
  std::uint32_t seed = 0;
  ToSimParams(Set(250, 7, 1750, -0.5, 1, 0.25, 10, 4294967295.0), p, seed);
  EXPECT_EQ(p.N, 250);
  EXPECT_EQ(p.K, 1750);
  EXPECT_EQ(p.G, 0.25);
  EXPECT_EQ(seed, 4294967295u);
  EXPECT_EQ(FromSimParams(p, seed).value[ParamAh], -0.5);
}

TEST(Parameters, RefusalsSayTheRangeAndWhatWasGiven) {
  char text[RefusalMessageCapacity];
  const ParameterValues five = Set(5, 5, 26, 0, 0, 0, 1);
  DescribeRefusal(text, {ParamN, Out}, five, "--", "\"300\"");
  EXPECT_STREQ(text, "--N must be an integer from 1 to 250, not \"300\"");
  DescribeRefusal(text, {ParamAh, Bad}, five, "", "'x'");
  EXPECT_STREQ(text, "Ah must be a number from -1 to 1, not 'x'");
  DescribeRefusal(text, {ParamK, ValueVerdict::AboveCells}, five, "", "26");
  EXPECT_STREQ(text, "K must be at most N*M = 25, not 26");
  DescribeRefusal(text, {ParamAh, Comma}, five, "--", "\"0,1\"", "0,1");
  EXPECT_STREQ(text, "--Ah: a comma separates list items, never decimals: write 0.1, not \"0,1\"");
  // A shown value of any length is cut, never overflows.
  const std::string huge(1000, '9');
  EXPECT_LT(DescribeRefusal(text, {ParamSeed, Out}, five, "--", huge), RefusalMessageCapacity);
}

}  // namespace

// The number readers on their own: what is malformed, and which double a
// real becomes far from the usual numbers.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text/number_read.h"

namespace {

// The same double, bit for bit (0 and -0 differ).
bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// ParseReal's value, or NaN when the line does not read as a number.
double Real(std::string_view line) {
  double value = 0;
  return ParseReal(line, value) == NumberRead::Number ? value : std::nan("");
}

// All the digits to the nearest long double, then to a double.
double ViaLongDouble(const std::string& number) {
  return static_cast<double>(std::strtold(number.c_str(), nullptr));
}

}  // namespace

TEST(NumberRead, MalformedNumbersAreMalformed) {
  std::int32_t i;
  double d;
  for (std::string_view bad : {"abc", "12abc", "1.5", "-", "+", "1e3", "2147483648", "-2147483649",
                               "99999999999999999999", "0x10", "$10"})
    EXPECT_EQ(ParseInteger(bad, i), NumberRead::Malformed) << bad;
  for (std::string_view bad : {"abc", ".", "-", "1e", "1e+", "1.2.3", "inf", "nan", "0x1p3", "1e",
                               "1e5x", ".e5", ",", "1,2,3", "1.2,3", "1,5e", "0,5x"})
    EXPECT_EQ(ParseReal(bad, d), NumberRead::Malformed) << bad;
  EXPECT_EQ(ParseInteger(" \t", i), NumberRead::NoNumber);
  EXPECT_EQ(ParseReal("", d), NumberRead::NoNumber);
}

TEST(NumberRead, RealsPastTheDoublesRangeReadAsZeroOrInfinity) {
  for (std::string_view tiny : {"1e-5000", "1e-4940", "1e-400", "1e-999999999999999999", "2e-324",
                                "0.0000000000000000000000000000001e-4930"})
    EXPECT_TRUE(SameDouble(Real(tiny), 0.0)) << tiny;
  EXPECT_TRUE(SameDouble(Real("-1e-5000"), -0.0));
  EXPECT_TRUE(SameDouble(Real("-0"), -0.0));
  EXPECT_TRUE(SameDouble(Real("-0.000e999999999999999999"), -0.0));
  EXPECT_TRUE(SameDouble(Real("0e999999999999999999"), 0.0));
  for (std::string_view huge :
       {"1e4933", "1e999", "1e999999999999999999", "1.8e308", "99999e99999"})
    EXPECT_EQ(Real(huge), HUGE_VAL) << huge;
  EXPECT_EQ(Real("-1e4933"), -HUGE_VAL);
  // The smallest double and the largest.
  EXPECT_EQ(Real("4.9406564584124654e-324"), 4.9406564584124654e-324);
  EXPECT_EQ(Real("1.7976931348623157e308"), 1.7976931348623157e308);
}

TEST(NumberRead, LongDigitStringsAndExponentsReadAsAllTheirDigitsSay) {
  const std::string ones(3000, '1');
  EXPECT_EQ(Real("0." + ones), ViaLongDouble("0." + ones));
  EXPECT_EQ(Real(ones + "e-3000"), ViaLongDouble(ones + "e-3000"));
  EXPECT_EQ(Real("0." + std::string(5000, '0') + "1e5001"), 1.0);
  EXPECT_EQ(Real("1" + std::string(5000, '0') + "e-5000"), 1.0);
  EXPECT_EQ(Real("000000000000000000000000000000000.5"), 0.5);
  // 2^53 + 1 + 2^-11 lies halfway between two long doubles and rounds to the
  // even one, 2^53 + 1, which lies halfway between two doubles: 2^53. A 1 far
  // down tips both roundings up: 2^53 + 2.
  const std::string half = "9007199254740993.00048828125";
  const std::string tipped = half + std::string(2000, '0') + "1";
  EXPECT_EQ(Real(half), 9007199254740992.0);
  EXPECT_EQ(Real(tipped), 9007199254740994.0);
  EXPECT_EQ(Real(tipped), ViaLongDouble(tipped));
}

TEST(NumberRead, NumbersThatReadBeforeGiveTheSameDoubles) {
  // Before, every real went through from_chars into a long double.
  for (std::string_view number :
       {"0.1", "1.0001", "-0.25", "2.5E+2", "1e-400", "0.3", "123456789.987654321", "-1",
        "2.4703282292062328e-324", "2.4703282292062327e-324", "9007199254740993",
        "1.00000000000000011102230246251565", "-.5e-3", "7.", "1e308",
        "3.36210314311209350626e-4932"}) {
    long double extended = 0;
    std::from_chars(number.data(), number.data() + number.size(), extended);
    EXPECT_TRUE(SameDouble(Real(number), static_cast<double>(extended))) << number;
  }
}

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>
#include <vector>

#include "text/extended_real.h"
#include "text/number_read.h"
#include "support/real_cases.h"

namespace {

bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The reference, on x86-64 only: the number to the nearest x87 extended real
// (strtold, C locale), then cast to a double.
double X87Reading(const std::string& number) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  return static_cast<double>(strtold_l(number.c_str(), nullptr, c));
}

constexpr bool HaveX87 = LDBL_MANT_DIG == 64;

// The cases ParseReal reads otherwise than the reference (the first few,
// with both doubles), and how many there are.
std::string Mismatches(const std::vector<std::string>& cases) {
  std::string report;
  int count = 0;
  for (const std::string& number : cases) {
    double value = 0;
    const bool read = ParseReal(number, value) == NumberRead::Number;
    const double expected = X87Reading(number);
    if (read && SameDouble(value, expected)) continue;
    if (++count <= 5) {
      char both[80];
      std::snprintf(both, sizeof both, " read %a, x87 %a\n", value, expected);
      report += (number.size() > 80 ? number.substr(0, 80) + "..." : number) + both;
    }
  }
  if (count == 0) return report;
  return std::to_string(count) + " of " + std::to_string(cases.size()) + ":\n" + report;
}

}  // namespace

TEST(ExtendedReal, RoundingBoundariesReadAsTheX87ReadsThem) {
  if (!HaveX87) GTEST_SKIP() << "the reference needs the x87's long double";
  const std::vector<std::string> cases = BoundaryRealCases();
  ASSERT_GT(cases.size(), 10000u);
  EXPECT_EQ(Mismatches(cases), "");
}

TEST(ExtendedReal, DigitsPastTheConvertedOnesCountAsTheX87CountsThem) {
  if (!HaveX87) GTEST_SKIP() << "the reference needs the x87's long double";
  const std::vector<std::string> cases = LongRealCases();
  ASSERT_GT(cases.size(), 1000u);
  EXPECT_EQ(Mismatches(cases), "");
}

TEST(ExtendedReal, RandomNumbersReadAsTheX87ReadsThem) {
  if (!HaveX87) GTEST_SKIP() << "the reference needs the x87's long double";
  const std::vector<std::string> cases = RandomRealCases();
  ASSERT_EQ(cases.size(), 20000u);
  EXPECT_EQ(Mismatches(cases), "");
}

TEST(ExtendedReal, RoundsTwiceFirstTo64BitsThenToADouble) {
  // A quarter of a 64-bit step under the point halfway between 1 + 2^-52 and
  // 1 + 2^-51: 64 bits round it up onto that point, which goes to the even
  // double, up. Rounded once, it would go down to 1 + 2^-52.
  const char* upDigits = "100000000000000033303980233323482451623931410722434520721435546875";
  const double up = ExtendedDecimalToDouble(false, upDigits, 1);
  EXPECT_EQ(up, 1 + 0x1p-51);
  // A quarter step over the point halfway between 1 and 1 + 2^-52: down to 1.
  const char* downDigits = "100000000000000011104940751682779165321335312910377979278564453125";
  const double down = ExtendedDecimalToDouble(false, downDigits, 1);
  EXPECT_EQ(down, 1.0);
  if (HaveX87) {
    EXPECT_EQ(up, X87Reading(std::string("0.") + upDigits + "e1"));
    EXPECT_EQ(down, X87Reading(std::string("0.") + downDigits + "e1"));
  }
}

TEST(ExtendedReal, LeadingZerosEmptyDigitsAndPowersFarOutside) {
  EXPECT_EQ(ExtendedDecimalToDouble(false, "0005", 1), 0.005);
  EXPECT_EQ(ExtendedDecimalToDouble(true, "25", 0), -0.25);
  EXPECT_TRUE(SameDouble(ExtendedDecimalToDouble(true, "000", 7), -0.0));
  EXPECT_TRUE(SameDouble(ExtendedDecimalToDouble(false, "", 0), 0.0));
  EXPECT_EQ(ExtendedDecimalToDouble(false, "1", INT64_MAX), HUGE_VAL);
  EXPECT_EQ(ExtendedDecimalToDouble(true, "1", 310), -HUGE_VAL);
  EXPECT_TRUE(SameDouble(ExtendedDecimalToDouble(true, "9", INT64_MIN), -0.0));
  EXPECT_TRUE(SameDouble(ExtendedDecimalToDouble(false, "9", -330), 0.0));
  EXPECT_TRUE(SameDouble(ExtendedDecimalToDouble(false, "9", -331), 0.0));
  // The most digits, all nines: just under 10^309, 1, 10, 10^-323.
  const std::string nines(ExtendedRealDigits, '9');
  EXPECT_EQ(ExtendedDecimalToDouble(false, nines, 309), HUGE_VAL);
  EXPECT_EQ(ExtendedDecimalToDouble(false, nines, 0), 1.0);
  EXPECT_EQ(ExtendedDecimalToDouble(false, nines, -323), 2 * DBL_TRUE_MIN);
  EXPECT_EQ(ExtendedDecimalToDouble(false, nines, 1), 10.0);
}

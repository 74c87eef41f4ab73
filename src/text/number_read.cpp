#include "text/number_read.h"

#include "text/extended_real.h"

namespace {

// Significant digits handed to the conversion of a real. Every extended
// real that can decide which double a number becomes, and every point
// halfway between two of them, has fewer than 830 significant digits; so
// digits past these only count as "not all zero" (a last digit 1), and the
// double stays the one all the digits give.
constexpr int ConversionDigits = ExtendedRealDigits - 1;
static_assert(ConversionDigits >= 830);
// An exponent stops growing here, far past any that gives neither 0 nor
// infinity, so it never overflows.
constexpr std::int64_t ExponentCap = 1000000000000000;

// Length of the digit run at text[i...].
std::size_t DigitRun(std::string_view text, std::size_t i) {
  std::size_t j = i;
  while (j < text.size() && IsDigit(text[j])) ++j;
  return j - i;
}

// Value of the decimal digits whole.fraction times ten to the exponent,
// rounded to an extended real, then to a double.
double DecimalToDouble(bool negative, std::string_view whole, std::string_view fraction,
                       std::int64_t exponent) {
  // The first significant digits, and a last 1 for dropped ones not all 0
  char digits[ConversionDigits + 1];
  int kept = 0;
  bool droppedNonZero = false;
  bool significant = false;
  std::int64_t scale = 0;  // the value is 0.<kept digits> times ten to scale
  const auto take = [&](std::string_view run, std::int64_t scaleOfFirst) {
    for (std::size_t k = 0; k < run.size(); ++k) {
      if (!significant) {
        if (run[k] == '0') continue;
        significant = true;
        scale = scaleOfFirst - static_cast<std::int64_t>(k);
      }
      if (kept < ConversionDigits)
        digits[kept++] = run[k];
      else if (run[k] != '0')
        droppedNonZero = true;
    }
  };
  take(whole, static_cast<std::int64_t>(whole.size()));
  take(fraction, 0);
  if (droppedNonZero) digits[kept++] = '1';
  return ExtendedDecimalToDouble(negative, std::string_view(digits, static_cast<std::size_t>(kept)),
                                 scale + exponent);
}

}  // namespace

std::string_view FirstToken(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  std::size_t j = i;
  while (j < line.size() && !IsBlank(line[j])) ++j;
  return line.substr(i, j - i);
}

NumberRead ParseInteger(std::string_view line, std::int32_t& value) {
  std::string_view token = FirstToken(line);
  if (token.empty()) return NumberRead::NoNumber;
  std::size_t i = token[0] == '+' || token[0] == '-' ? 1 : 0;
  std::size_t digits = DigitRun(token, i);
  if (digits == 0 || i + digits != token.size()) return NumberRead::Malformed;
  std::int64_t magnitude = 0;
  for (std::size_t k = i; k < token.size(); ++k) {
    magnitude = magnitude * 10 + (token[k] - '0');
    if (magnitude > std::int64_t{INT32_MAX} + 1) return NumberRead::Malformed;
  }
  std::int64_t signedValue = token[0] == '-' ? -magnitude : magnitude;
  if (signedValue > INT32_MAX) return NumberRead::Malformed;
  value = static_cast<std::int32_t>(signedValue);
  return NumberRead::Number;
}

NumberRead ParseReal(std::string_view line, double& value) {
  std::string_view token = FirstToken(line);
  if (token.empty()) return NumberRead::NoNumber;
  // sign, digits with an optional fraction (a digit on at least one side
  // of the point or comma), an optional exponent; nothing else
  std::size_t i = token[0] == '+' || token[0] == '-' ? 1 : 0;
  std::size_t whole = DigitRun(token, i);
  std::size_t j = i + whole;
  std::size_t fraction = 0;
  if (j < token.size() && (token[j] == '.' || token[j] == ',')) {
    fraction = DigitRun(token, j + 1);
    j += 1 + fraction;
  }
  if (whole + fraction == 0) return NumberRead::Malformed;
  std::int64_t exponent = 0;
  if (j < token.size() && (token[j] == 'e' || token[j] == 'E')) {
    std::size_t k = j + 1;
    const bool negative = k < token.size() && token[k] == '-';
    if (k < token.size() && (token[k] == '+' || token[k] == '-')) ++k;
    std::size_t digits = DigitRun(token, k);
    if (digits == 0) return NumberRead::Malformed;
    for (std::size_t d = k; d < k + digits && exponent < ExponentCap; ++d)
      exponent = exponent * 10 + (token[d] - '0');
    if (negative) exponent = -exponent;
    j = k + digits;
  }
  if (j != token.size()) return NumberRead::Malformed;
  const std::size_t fractionStart = i + whole + 1;  // past the point, if there is one
  value = DecimalToDouble(token[0] == '-', token.substr(i, whole),
                          fraction > 0 ? token.substr(fractionStart, fraction) : std::string_view(),
                          exponent);
  return NumberRead::Number;
}

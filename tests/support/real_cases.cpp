#include "support/real_cases.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

// A whole number in base 10^9, least significant limb first.
using Decimal = std::vector<std::uint32_t>;
constexpr std::uint32_t LimbBase = 1000000000;

void MultiplyAdd(Decimal& n, std::uint32_t factor, std::uint32_t addend) {
  std::uint64_t carry = addend;
  for (std::uint32_t& limb : n) {
    carry += std::uint64_t{limb} * factor;
    limb = static_cast<std::uint32_t>(carry % LimbBase);
    carry /= LimbBase;
  }
  for (; carry != 0; carry /= LimbBase) n.push_back(static_cast<std::uint32_t>(carry % LimbBase));
}

std::string Digits(const Decimal& n) {
  if (n.empty()) return "0";
  std::string text = std::to_string(n.back());
  for (std::size_t i = n.size() - 1; i-- > 0;) {
    const std::string limb = std::to_string(n[i]);
    text += std::string(9 - limb.size(), '0') + limb;
  }
  return text;
}

// digits times ten to power
struct Exact {
  std::string digits;
  int power;
};

// (m + 1/2 if half) times two to e, to the last digit.
Exact BinaryValue(std::uint64_t m, bool half, int e) {
  Decimal n;
  for (; m != 0; m /= LimbBase) n.push_back(static_cast<std::uint32_t>(m % LimbBase));
  MultiplyAdd(n, 2, half ? 1 : 0);
  --e;
  const int power = std::min(e, 0);
  for (; e > 0; e -= std::min(e, 29)) MultiplyAdd(n, std::uint32_t{1} << std::min(e, 29), 0);
  for (; e < 0; e += std::min(-e, 13)) {
    std::uint32_t five = 1;
    for (int k = std::min(-e, 13); k > 0; --k) five *= 5;
    MultiplyAdd(n, five, 0);
  }
  return {Digits(n), power};
}

std::string Text(const std::string& digits, int power) {
  return digits + "e" + std::to_string(power);
}

// One more or one less in the last digit of a digit string.
std::string AddOne(std::string digits) {
  std::size_t i = digits.size();
  while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
  return i == 0 ? "1" + digits : (++digits[i - 1], digits);
}
std::string SubtractOne(std::string digits) {
  std::size_t i = digits.size();
  while (i > 0 && digits[i - 1] == '0') digits[--i] = '9';
  if (i > 0) --digits[i - 1];
  return digits;
}

// The point and its neighbours: written both ways, one in the last digit
// either side, one digit longer either side, cut to a few lengths and one
// above each cut.
void AddAround(std::vector<std::string>& cases, const Exact& x, bool negative) {
  const std::string sign = negative ? "-" : "";
  const std::string& d = x.digits;
  const int length = static_cast<int>(d.size());
  cases.push_back(sign + Text(d, x.power));
  const std::string exponent = std::to_string(x.power + length - 1);
  cases.push_back(sign + d.substr(0, 1) + "." + d.substr(1) + "E" + exponent);
  cases.push_back(sign + Text(AddOne(d), x.power));
  cases.push_back(sign + Text(SubtractOne(d), x.power));
  cases.push_back(sign + Text(d + "1", x.power - 1));
  cases.push_back(sign + Text(SubtractOne(d) + "9", x.power - 1));
  for (int cut : {17, 20, 25, 40})
    if (cut < length) {
      const std::string kept = d.substr(0, static_cast<std::size_t>(cut));
      cases.push_back(sign + Text(kept, x.power + length - cut));
      cases.push_back(sign + Text(AddOne(kept), x.power + length - cut));
    }
}

// The rounding points near m times two to e (m of 64 bits): halfway between
// m and its 64-bit neighbours; halfway between the doubles around it and the
// 64-bit halfway points either side of those, which round to the double
// halfway point when they round to even.
std::vector<Exact> RoundingPoints(std::uint64_t m, int e) {
  std::vector<Exact> points;
  for (int j = -2; j <= 1; ++j)
    if (j >= 0 ? m + j >= m : m >= static_cast<std::uint64_t>(-j))
      points.push_back(BinaryValue(m + j, true, e));
  // Bits of m below the double's last: 11, more where the double is subnormal.
  const int drop = std::max(11, -1074 - e);
  if (drop > 64) return points;
  const std::uint64_t atDouble = drop == 64 ? 0 : m >> drop;
  for (int j = -1; j <= 1; ++j) {
    if (j < 0 && atDouble == 0) continue;
    const std::uint64_t k = atDouble + j;
    points.push_back(BinaryValue(k, true, e + drop));
    if (drop == 64 ? k != 0 : (k >> (64 - drop)) != 0) continue;  // k + 1/2 needs more than 64 bits
    const std::uint64_t halfway = (drop == 64 ? 0 : k << drop) + (std::uint64_t{1} << (drop - 1));
    points.push_back(BinaryValue(halfway - 1, true, e));
    points.push_back(BinaryValue(halfway, true, e));
  }
  return points;
}

// A double as a 64-bit significand and its exponent.
std::pair<std::uint64_t, int> Significand64(double d) {
  int exponent = 0;
  const double fraction = std::frexp(d, &exponent);
  return {static_cast<std::uint64_t>(std::ldexp(fraction, 64)), exponent - 64};
}

// (x * n) >> 32: below n.
std::uint32_t Below(std::mt19937& random, std::uint32_t n) {
  return static_cast<std::uint32_t>((std::uint64_t{random()} * n) >> 32);
}
int Between(std::mt19937& random, int low, int high) {
  return low + static_cast<int>(Below(random, static_cast<std::uint32_t>(high - low + 1)));
}
std::uint64_t Bits64(std::mt19937& random) {
  const std::uint64_t high = random();
  return high << 32 | random();
}

}  // namespace

std::vector<std::string> BoundaryRealCases() {
  std::vector<std::pair<std::uint64_t, int>> anchors;
  for (double d : {1.0, 0.1, 1e-300, 1e300, 0.5, 1e23, 9007199254740992.0, 1.0001, 0.3, DBL_MIN,
                   std::nextafter(DBL_MIN, 0.0), DBL_MIN / 2 + DBL_TRUE_MIN, 5 * DBL_TRUE_MIN,
                   2 * DBL_TRUE_MIN, DBL_TRUE_MIN, DBL_MAX, std::nextafter(DBL_MAX, 0.0)})
    anchors.push_back(Significand64(d));
  constexpr std::uint64_t Top = std::uint64_t{1} << 63;
  anchors.push_back({Top, -1075 - 63});           // half the smallest subnormal
  anchors.push_back({Top, -16382 - 63});          // the extended format's smallest normal
  anchors.push_back({Top + 1, -16445 - 63});      // its smallest subnormal
  anchors.push_back({~std::uint64_t{0}, 16320});  // its largest number
  std::mt19937 random(1);
  for (int i = 0; i < 150; ++i)
    anchors.push_back({Bits64(random) | Top, Between(random, -1140 - 63, 1024 - 63)});
  for (int i = 0; i < 6; ++i)
    anchors.push_back({Bits64(random) | Top, Between(random, -16510, 16320)});

  std::vector<std::string> cases = {"-0", "-0.0", "-.0e5", "-0e-99999", "0", "+0.", "-1e-400",
                                    "-2e-324", "-2.5e-324", "2.4703282292062328e-324"};
  // Either side of the range's limits: 0.<digits> times ten to 310 and -330.
  for (const char* edge : {"0.99999999999999999999e310", "1e309", "1e310", "0.1e311", "9.9e-331",
                           "1e-331", "0.1e-330", "0.99999999999999999999e-330"})
    cases.push_back(edge);
  bool negative = false;
  for (const auto& [m, e] : anchors)
    for (const Exact& point : RoundingPoints(m, e)) {
      AddAround(cases, point, negative);
      negative = !negative;
    }
  return cases;
}

std::vector<std::string> LongRealCases() {
  std::vector<std::string> cases;
  std::mt19937 random(2);
  for (int i = 0; i < 40; ++i) {
    const std::uint64_t m = Bits64(random) | std::uint64_t{1} << 63;
    const int e = Between(random, -1100, 1000);
    for (const Exact& x : RoundingPoints(m, e)) {
      if (x.digits.size() >= 990) continue;
      for (int length : {999, 1000, 1001, 1002, 1010}) {
        const int pad = length - static_cast<int>(x.digits.size());
        cases.push_back(Text(x.digits + std::string(pad - 1, '0') + "1", x.power - pad));
        cases.push_back(Text(SubtractOne(x.digits) + std::string(pad, '9'), x.power - pad));
      }
      // The exact point padded past the digits converted stays the point.
      cases.push_back("0." + std::string(1200, '0') + x.digits + std::string(1200, '0') + "e" +
                      std::to_string(x.power + 1200 + static_cast<int>(x.digits.size())));
    }
  }
  for (int i = 0; i < 200; ++i) {
    std::string digits(100 + Below(random, 3000), '0');
    for (char& c : digits) c = static_cast<char>('0' + Below(random, 10));
    const int power = Between(random, -340, 300) - static_cast<int>(digits.size());
    cases.push_back(Text(digits, power));
  }
  return cases;
}

std::vector<std::string> RandomRealCases() {
  std::vector<std::string> cases;
  std::mt19937 random(3);
  for (int i = 0; i < 20000; ++i) {
    std::string text = Below(random, 3) == 0 ? "-" : Below(random, 4) == 0 ? "+" : "";
    const int count = Between(random, 1, 40);
    std::string digits;
    for (int k = 0; k < count; ++k) digits += static_cast<char>('0' + Below(random, 10));
    const int point = Between(random, 0, count + 1);  // past the end: no point
    if (point == 0 && Below(random, 2) == 0)
      text += "0." + std::string(Below(random, 20), '0') + digits;
    else if (point <= count)
      text += digits.substr(0, point) + "." + digits.substr(point);
    else
      text += digits;
    switch (Below(random, 5)) {
      case 0: break;  // no exponent
      case 1: text += "e" + std::to_string(Between(random, -340, 320)); break;
      case 2: text += "E-" + std::to_string(Between(random, 300, 350)); break;
      case 3: text += "e+" + std::to_string(Between(random, 280, 330)); break;
      default: text += "e" + std::to_string(Between(random, -5000, 5000)); break;
    }
    cases.push_back(text);
  }
  return cases;
}

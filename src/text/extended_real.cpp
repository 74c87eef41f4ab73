#include "text/extended_real.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace {

// Outside these powers every digit string is infinity or 0: 0.<digits> times
// ten to a power past MaxPower is at least 10^309, past the largest double
// however it rounds; below MinPower it is under 10^-331, far under half the
// smallest subnormal. Between them every value is a normal extended real, so
// the extended format's own range never decides.
constexpr std::int64_t MaxPower = 310;
constexpr std::int64_t MinPower = -330;

// Words of the largest number the division meets: five to the most digits
// less the lowest power, times 2^66 (log2 10 < 10/3).
constexpr int BigWords = ((ExtendedRealDigits - static_cast<int>(MinPower)) * 10 / 3 + 96) / 32;

// A natural number: size words, least significant first, the top one not 0.
struct BigNumber {
  std::uint32_t word[BigWords];
  int size = 0;
};

std::uint32_t Word(const BigNumber& n, int i) { return i >= 0 && i < n.size ? n.word[i] : 0; }

// n = n * factor + addend
void MultiplyAdd(BigNumber& n, std::uint32_t factor, std::uint32_t addend) {
  std::uint64_t carry = addend;
  for (int i = 0; i < n.size; ++i) {
    carry += std::uint64_t{n.word[i]} * factor;
    n.word[i] = static_cast<std::uint32_t>(carry);
    carry >>= 32;
  }
  if (carry == 0) return;
  assert(n.size < BigWords && "BigWords is too small for the digits and powers taken");
  n.word[n.size++] = static_cast<std::uint32_t>(carry);
}

void MultiplyByPowerOfFive(BigNumber& n, std::int64_t power) {
  constexpr std::uint32_t FiveTo13 = 1220703125;  // the largest power of five in a word
  for (; power >= 13; power -= 13) MultiplyAdd(n, FiveTo13, 0);
  std::uint32_t factor = 1;
  for (; power > 0; --power) factor *= 5;
  MultiplyAdd(n, factor, 0);
}

int BitLength(const BigNumber& n) {
  return n.size == 0 ? 0 : (n.size - 1) * 32 + std::bit_width(n.word[n.size - 1]);
}

void ShiftLeft(BigNumber& n, int bits) {
  if (n.size == 0) return;
  const int size = (BitLength(n) + bits + 31) / 32;
  assert(size <= BigWords && "BigWords is too small for the digits and powers taken");
  const int words = bits / 32, shift = bits % 32;
  // From the top down, so that every word is read before it is written.
  for (int i = size - 1; i >= 0; --i) {
    const std::uint32_t high = Word(n, i - words), low = Word(n, i - words - 1);
    n.word[i] = shift == 0 ? high : high << shift | low >> (32 - shift);
  }
  n.size = size;
}

void ShiftRightOne(BigNumber& n) {
  for (int i = 0; i < n.size; ++i) n.word[i] = n.word[i] >> 1 | Word(n, i + 1) << 31;
  if (n.size > 0 && n.word[n.size - 1] == 0) --n.size;
}

int Compare(const BigNumber& a, const BigNumber& b) {
  if (a.size != b.size) return a.size < b.size ? -1 : 1;
  for (int i = a.size - 1; i >= 0; --i)
    if (a.word[i] != b.word[i]) return a.word[i] < b.word[i] ? -1 : 1;
  return 0;
}

// a = a - b, where b <= a
void Subtract(BigNumber& a, const BigNumber& b) {
  std::uint32_t borrow = 0;
  for (int i = 0; i < a.size; ++i) {
    const std::uint64_t taken = std::uint64_t{Word(b, i)} + borrow;
    borrow = a.word[i] < taken;
    a.word[i] = static_cast<std::uint32_t>(a.word[i] - taken);
  }
  while (a.size > 0 && a.word[a.size - 1] == 0) --a.size;
}

constexpr std::uint64_t SignBit = std::uint64_t{1} << 63;
constexpr std::uint64_t InfinityBits = std::uint64_t{0x7FF} << 52;

double FromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// significand (64 bits, the top one set) times two to exponent, rounded to a
// double: half to even, subnormal below 2^-1022, infinity past the largest.
double RoundToDouble(std::uint64_t sign, std::uint64_t significand, std::int64_t exponent) {
  // Bits of the significand below the double's last: 11, more where the
  // double is subnormal (its last bit weighs 2^-1074).
  const std::int64_t drop = std::max<std::int64_t>(11, -1074 - exponent);
  if (drop > 64) return FromBits(sign);  // under 2^-1075
  std::uint64_t kept = drop == 64 ? 0 : significand >> drop;
  const std::uint64_t rest =
      drop == 64 ? significand : significand & ((std::uint64_t{1} << drop) - 1);
  const std::uint64_t half = std::uint64_t{1} << (drop - 1);
  if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
  // The exponent field less one, plus the significand with its leading bit:
  // a carry out of the significand moves into the exponent, and a subnormal
  // (field 0, no leading bit) that rounds up to 2^-1022 becomes normal.
  const std::uint64_t bits = (static_cast<std::uint64_t>(exponent + drop + 1074) << 52) + kept;
  return FromBits(sign | std::min(bits, InfinityBits));
}

}  // namespace

double ExtendedDecimalToDouble(bool negative, std::string_view digits, std::int64_t power) {
  assert(digits.size() <= ExtendedRealDigits && "more digits than the conversion takes");
  const std::uint64_t sign = negative ? SignBit : 0;
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return FromBits(sign);
  digits.remove_prefix(first);
  power -= static_cast<std::int64_t>(first);
  if (power > MaxPower) return FromBits(sign | InfinityBits);
  if (power < MinPower) return FromBits(sign);

  // The value is N / B times two to q: the digits as a whole number times ten to q.
  BigNumber N, B;
  for (std::size_t i = 0; i < digits.size(); i += 9) {
    std::uint32_t chunk = 0, scale = 1;
    for (std::size_t j = i; j < digits.size() && j < i + 9; ++j) {
      chunk = chunk * 10 + static_cast<std::uint32_t>(digits[j] - '0');
      scale *= 10;
    }
    MultiplyAdd(N, scale, chunk);
  }
  B.word[0] = 1;
  B.size = 1;
  const std::int64_t q = power - static_cast<std::int64_t>(digits.size());
  MultiplyByPowerOfFive(q >= 0 ? N : B, q >= 0 ? q : -q);

  // Scale N / B into [2^64, 2^65), then divide bit by bit: 64 bits of the
  // significand, the round bit, and a rest that is 0 or not.
  int shift = 64 - (BitLength(N) - BitLength(B));
  if (shift > 0)
    ShiftLeft(N, shift);
  else
    ShiftLeft(B, -shift);
  ShiftLeft(B, 64);
  if (Compare(N, B) < 0) {
    ShiftLeft(N, 1);
    ++shift;
  }
  std::uint64_t significand = 0;
  bool roundBit = false;
  for (int bit = 64;; --bit) {
    const bool one = Compare(N, B) >= 0;
    if (one) Subtract(N, B);
    if (bit == 0) {
      roundBit = one;
      break;
    }
    significand = significand << 1 | static_cast<std::uint64_t>(one);
    ShiftRightOne(B);
  }
  std::int64_t exponent = q - shift + 1;

  // To the extended real: 64 bits, half to even.
  if (roundBit && (N.size != 0 || (significand & 1) != 0) && ++significand == 0) {
    significand = SignBit;  // carried out: 2^64 is 2^63 times two
    ++exponent;
  }
  return RoundToDouble(sign, significand, exponent);
}

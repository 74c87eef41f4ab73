#include "sim/random_source.h"

#include <cassert>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LEMVARIS_X86 1
#endif

namespace {

// MT19937's constants.
constexpr int Shift = 397;                  // the state word each new word mixes in
constexpr int Wrapped = TwisterWords - Shift;  // 227: from here that word is a new one
constexpr std::uint32_t UpperBit = 0x80000000u, LowerBits = 0x7fffffffu;
constexpr std::uint32_t Matrix = 0x9908b0dfu;
constexpr std::uint32_t SeedMultiplier = 1812433253u;

void Seed(RandomSource& s, std::uint32_t seed) {
  s.state[0] = seed;
  for (int i = 1; i < TwisterWords; ++i) {
    const std::uint32_t prev = s.state[i - 1];
    s.state[i] = SeedMultiplier * (prev ^ (prev >> 30)) + static_cast<std::uint32_t>(i);
  }
  s.seeded = true;
}

// The new word i from the old words i and i+1 and the word `mixed`.
inline std::uint32_t TwistWord(std::uint32_t current, std::uint32_t following,
                               std::uint32_t mixed) {
  const std::uint32_t y = (current & UpperBit) | (following & LowerBits);
  return mixed ^ (y >> 1) ^ ((0u - (y & 1u)) & Matrix);
}

inline std::uint32_t Temper(std::uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

// Word i in place, in index order: words below i are already new, so word i
// mixes in the old word i+397 while i < 227 and the new word i-227 after.
void TwistFrom(std::uint32_t* x, int i) {
  for (; i < Wrapped; ++i) x[i] = TwistWord(x[i], x[i + 1], x[i + Shift]);
  for (; i < TwisterWords - 1; ++i) x[i] = TwistWord(x[i], x[i + 1], x[i - Wrapped]);
  x[TwisterWords - 1] = TwistWord(x[TwisterWords - 1], x[0], x[Shift - 1]);
}

void TemperFrom(const std::uint32_t* x, std::uint32_t* out, int i) {
  for (; i < TwisterWords; ++i) out[i] = Temper(x[i]);
}

void GeneratePortable(std::uint32_t* x, std::uint32_t* out) {
  TwistFrom(x, 0);
  TemperFrom(x, out, 0);
}

#ifdef LEMVARIS_X86
// Eight words at a time. Word i reads words i+1..i+8 of the old state, which
// no lane of the same step has written yet, and a mixed-in word at least 227
// places away; so each step sees exactly the words the scalar order sees.
__attribute__((target("avx2"))) inline __m256i TwistEight(__m256i current, __m256i following,
                                                          __m256i mixed) {
  const __m256i y = _mm256_or_si256(_mm256_and_si256(current, _mm256_set1_epi32(int(UpperBit))),
                                    _mm256_and_si256(following, _mm256_set1_epi32(LowerBits)));
  const __m256i odd = _mm256_sub_epi32(_mm256_setzero_si256(),
                                       _mm256_and_si256(y, _mm256_set1_epi32(1)));
  return _mm256_xor_si256(_mm256_xor_si256(mixed, _mm256_srli_epi32(y, 1)),
                          _mm256_and_si256(odd, _mm256_set1_epi32(int(Matrix))));
}

__attribute__((target("avx2"))) inline __m256i Load(const std::uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"))) void GenerateAvx2(std::uint32_t* x, std::uint32_t* out) {
  int i = 0;
  for (; i + 8 <= Wrapped; i += 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + i),
                        TwistEight(Load(x + i), Load(x + i + 1), Load(x + i + Shift)));
  for (; i < Wrapped; ++i) x[i] = TwistWord(x[i], x[i + 1], x[i + Shift]);
  for (; i + 8 <= TwisterWords - 1; i += 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + i),
                        TwistEight(Load(x + i), Load(x + i + 1), Load(x + i - Wrapped)));
  TwistFrom(x, i);  // the last few words, the wrap-around one included
  for (i = 0; i + 8 <= TwisterWords; i += 8) {
    __m256i y = Load(x + i);
    y = _mm256_xor_si256(y, _mm256_srli_epi32(y, 11));
    y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 7),
                                             _mm256_set1_epi32(int(0x9d2c5680u))));
    y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 15),
                                             _mm256_set1_epi32(int(0xefc60000u))));
    y = _mm256_xor_si256(y, _mm256_srli_epi32(y, 18));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), y);
  }
  TemperFrom(x, out, i);
}

// Shifts of sixteen words; the zero-masked forms, as the plain ones in GCC 12
// read an uninitialised vector (harmless, but warned about).
__attribute__((target("avx512f"))) inline __m512i Right16(__m512i y, unsigned n) {
  return _mm512_maskz_srli_epi32(__mmask16(0xffff), y, n);
}
__attribute__((target("avx512f"))) inline __m512i Left16(__m512i y, unsigned n) {
  return _mm512_maskz_slli_epi32(__mmask16(0xffff), y, n);
}

// Sixteen words at a time, twisted and tempered in one pass; the same
// reasoning as for eight. Ternary logic 0xe4 selects a where c is set and b
// elsewhere; 0x78 is a ^ (b & c).
__attribute__((target("avx512f"))) inline __m512i TwistSixteen(__m512i current,
                                                               __m512i following,
                                                               __m512i mixed) {
  const __m512i y =
      _mm512_ternarylogic_epi32(current, following, _mm512_set1_epi32(int(UpperBit)), 0xe4);
  const __mmask16 odd = _mm512_test_epi32_mask(y, _mm512_set1_epi32(1));
  const __m512i shifted = _mm512_xor_si512(mixed, Right16(y, 1));
  return _mm512_mask_xor_epi32(shifted, odd, shifted, _mm512_set1_epi32(int(Matrix)));
}

__attribute__((target("avx512f"))) inline __m512i TemperSixteen(__m512i y) {
  y = _mm512_xor_si512(y, Right16(y, 11));
  y = _mm512_ternarylogic_epi32(y, Left16(y, 7), _mm512_set1_epi32(int(0x9d2c5680u)), 0x78);
  y = _mm512_ternarylogic_epi32(y, Left16(y, 15), _mm512_set1_epi32(int(0xefc60000u)), 0x78);
  return _mm512_xor_si512(y, Right16(y, 18));
}

__attribute__((target("avx512f"))) void GenerateAvx512(std::uint32_t* x, std::uint32_t* out) {
  int i = 0;
  for (; i + 16 <= Wrapped; i += 16) {
    const __m512i word = TwistSixteen(_mm512_loadu_si512(x + i), _mm512_loadu_si512(x + i + 1),
                                      _mm512_loadu_si512(x + i + Shift));
    _mm512_storeu_si512(x + i, word);
    _mm512_storeu_si512(out + i, TemperSixteen(word));
  }
  for (; i < Wrapped; ++i) {
    x[i] = TwistWord(x[i], x[i + 1], x[i + Shift]);
    out[i] = Temper(x[i]);
  }
  for (; i + 16 <= TwisterWords - 1; i += 16) {
    const __m512i word = TwistSixteen(_mm512_loadu_si512(x + i), _mm512_loadu_si512(x + i + 1),
                                      _mm512_loadu_si512(x + i - Wrapped));
    _mm512_storeu_si512(x + i, word);
    _mm512_storeu_si512(out + i, TemperSixteen(word));
  }
  const int rest = i;
  TwistFrom(x, rest);
  TemperFrom(x, out, rest);
}
#endif

}  // namespace

void RefillRandom(RandomSource& s) {
  const int carried = s.count - s.next;
  assert(carried >= 0 && carried <= RandomCarryLimit);
  std::memmove(s.words, s.words + s.next, sizeof(std::uint32_t) * static_cast<unsigned>(carried));
  if (!s.seeded) Seed(s, s.seed);
#ifdef LEMVARIS_X86
  if (s.simd == SimdLevel::Avx512)
    GenerateAvx512(s.state, s.words + carried);
  else if (s.simd == SimdLevel::Avx2)
    GenerateAvx2(s.state, s.words + carried);
  else
#endif
    GeneratePortable(s.state, s.words + carried);
  s.next = 0;
  s.count = carried + TwisterWords;
}

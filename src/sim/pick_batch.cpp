#include "sim/pick_batch.h"

#include "sim/lattice.h"
#include "sim/random_source.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LEMVARIS_X86 1
#endif

namespace {

std::uint64_t ScanFrom(const std::uint8_t* cells, const std::uint32_t* words, int first,
                       int count, int N, int M, std::uint32_t* pickCell) {
  std::uint64_t hits = 0;
  for (int j = first; j < count; ++j) {
    const int cell = (ScaleToRange(words[2 * j], N) + 1) * GridSide +
                     ScaleToRange(words[2 * j + 1], M) + 1;
    pickCell[j] = static_cast<std::uint32_t>(cell);
    hits |= std::uint64_t{cells[cell] == Particle} << j;
  }
  return hits;
}

}  // namespace

std::uint64_t ScanPicksPortable(const std::uint8_t* cells, const std::uint32_t* words, int count,
                                int N, int M, std::uint32_t* pickCell) {
  return ScanFrom(cells, words, 0, count, N, M, pickCell);
}

#ifdef LEMVARIS_X86
// Eight picks at a time. In a 64-bit lane of four picks the low word is the
// row word and the high word the column word; each is multiplied by N or M
// into 64 bits and the high half kept, as ScaleToRange does.
__attribute__((target("avx2"))) std::uint64_t ScanPicksAvx2(const std::uint8_t* cells,
                                                            const std::uint32_t* words,
                                                            int count, int N, int M,
                                                            std::uint32_t* pickCell) {
  const __m256i rows = _mm256_set1_epi64x(N), columns = _mm256_set1_epi64x(M);
  const __m256i side = _mm256_set1_epi64x(GridSide), corner = _mm256_set1_epi32(GridSide + 1);
  const __m256i oddWordsLast = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256i stateByte = _mm256_set1_epi32(0xff), particle = _mm256_set1_epi32(Particle);
  const int* cellBytes = reinterpret_cast<const int*>(cells);
  std::uint64_t hits = 0;
  int j = 0;
  for (; j + 8 <= count; j += 8) {
    __m256i half[2];  // cell index of picks j..j+3 and j+4..j+7, one per 64-bit lane
    for (int h = 0; h < 2; ++h) {
      const __m256i pair =
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + 2 * (j + 4 * h)));
      const __m256i row = _mm256_srli_epi64(_mm256_mul_epu32(pair, rows), 32);
      const __m256i column =
          _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(pair, 32), columns), 32);
      half[h] = _mm256_add_epi64(_mm256_mul_epu32(row, side), column);
    }
    // Both halves in one vector of eight 32-bit indices, in pick order.
    const __m256i mixed = _mm256_blend_epi32(half[0], _mm256_slli_epi64(half[1], 32), 0xaa);
    const __m256i cell =
        _mm256_add_epi32(_mm256_permutevar8x32_epi32(mixed, oddWordsLast), corner);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pickCell + j), cell);
    const __m256i state =
        _mm256_and_si256(_mm256_i32gather_epi32(cellBytes, cell, 1), stateByte);
    const int bits = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(state, particle)));
    hits |= static_cast<std::uint64_t>(bits) << j;
  }
  // GCC leaves the upper halves dirty here, and the SSE code that follows
  // would pay for that at every instruction.
  _mm256_zeroupper();
  return hits | ScanFrom(cells, words, j, count, N, M, pickCell);
}
#endif

// Pick 0 is a pick, and so is the pair after a miss; the pair after an
// attempt is its offset, so in a run of consecutive hits every other one,
// from the run's first, is an attempt. Adding a run's first bit carries
// through the run, which marks the runs that start at an even place; their
// even places are attempts, and the odd places of the other runs.
std::uint64_t AttemptsAmongHits(std::uint64_t hits) {
  constexpr std::uint64_t EvenPlaces = 0x5555555555555555u;
  const std::uint64_t firsts = hits & ~(hits << 1);
  const std::uint64_t evenRuns = hits & (hits ^ (hits + (firsts & EvenPlaces)));
  const std::uint64_t oddRuns = hits & ~evenRuns;
  return (evenRuns & EvenPlaces) | (oddRuns & ~EvenPlaces);
}

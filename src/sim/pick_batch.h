// Particle picks read from the random stream a batch at a time. The move
// reads the stream in pairs of words: a pick (row word, column word), again
// until one lands on a particle, then that attempt's offset pair, then the
// next pick. Between accepted moves the grid does not change, so whether a
// pair would land on a particle can be worked out for a whole batch of pairs
// at once, vectorised; which of those hits are attempts then follows from the
// hits alone.
#pragma once

#include <cstdint>

// Look at picks 0..count-1 (count <= 64): pick j reads words[2j] (row, scaled
// to 1..N) and words[2j + 1] (column, 1..M). pickCell[j] gets the cell
// r * GridSide + c it lands on; bit j of the result tells whether cells[] holds
// a particle there. cells needs CellPadding bytes after the last cell.
std::uint64_t ScanPicksPortable(const std::uint8_t* cells, const std::uint32_t* words, int count,
                                int N, int M, std::uint32_t* pickCell);
#if defined(__x86_64__) || defined(__i386__)
// The same with AVX2 (SimdLevel::Avx2 and above only).
std::uint64_t ScanPicksAvx2(const std::uint8_t* cells, const std::uint32_t* words, int count,
                            int N, int M, std::uint32_t* pickCell);
#endif

// Which of a batch's hits are attempts, given that pair 0 of the batch is a
// pick: every hit that is not the offset pair of an attempt just before it.
std::uint64_t AttemptsAmongHits(std::uint64_t hits);

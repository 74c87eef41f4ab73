// Which vector instructions the simulation's inner loops may use. Every loop
// that has a vector version also has a portable one that gives the same
// results bit for bit; the level is chosen once, from what the CPU offers, and
// tests may force the portable one.
#pragma once

#include <cstdint>

// Each level includes the ones below it; a loop without a version for a
// level uses the next lower one.
enum class SimdLevel : std::uint8_t { Portable, Avx2, Avx512 };

// The highest level this CPU (and its OS, which must save the vector
// registers) offers: Avx2 needs AVX2, BMI1, BMI2 and POPCNT; Avx512 needs
// AVX-512F besides.
SimdLevel DetectSimd();

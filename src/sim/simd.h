// Which vector instructions the simulation's inner loops may use. Every loop
// that has a vector version also has a portable one that gives the same
// results bit for bit; the level is chosen once, from what the CPU offers, and
// tests may force the portable one.
#pragma once

#include <cstdint>

enum class SimdLevel : std::uint8_t { Portable, Avx2 };

// Avx2 when this is an x86 CPU with AVX2, BMI1, BMI2 and POPCNT (and the OS
// saves the vector registers).
SimdLevel DetectSimd();

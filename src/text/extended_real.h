// A decimal number to the double that x86-64 reads it as, on every platform.
//
// The program reads a real in extended precision and keeps it rounded to a
// double. On x86-64 that is the x87 format: the exact value rounded to a
// 64-bit significand (half to even), then to a double (half to even, with
// subnormals; 0 or infinity past its range). Where long double is wider (IEEE
// quad in WebAssembly) or narrower, strtold and a cast round differently for
// numbers near a rounding boundary. So both roundings are done here on
// integers: the exact value as a fixed-size big integer, long division for
// its first 65 bits and a sticky rest. No long double, no allocation.
//
// Limits: at most ExtendedRealDigits digits; any power of ten (past the
// double's range the result is 0 or infinity, keeping the sign).
#pragma once

#include <cstdint>
#include <string_view>

// Most significant digits the conversion takes.
inline constexpr int ExtendedRealDigits = 1001;

// The double that 0.<digits> times ten to power becomes when read as an x87
// extended real. digits: up to ExtendedRealDigits characters '0' to '9'.
double ExtendedDecimalToDouble(bool negative, std::string_view digits, std::int64_t power);

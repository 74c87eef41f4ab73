// Decimal numbers that put the real reader to the test, the same list on
// every platform (a fixed seed, integer arithmetic only): the native tests
// check what it reads against the x87's strtold, and the wasm build must read
// the same doubles.
#pragma once

#include <string>
#include <vector>

// Points where a rounding decides, exact to the last digit, and their
// neighbours: halfway between two 64-bit significands, halfway between two
// doubles (where rounding first to 64 bits can tip the double), near 1, 0.1,
// 1e-300, 1e300, the double's subnormals, the extended format's and both
// ends of the ranges; each also one in the last digit either side, one
// digit longer either side and cut to fewer digits. Signed zeros, the range
// limits and random significands are among them.
std::vector<std::string> BoundaryRealCases();

// Halfway points made longer than the digits the reader converts: a last
// non-zero digit (or a run of nines under one) at and past the 1000th.
std::vector<std::string> LongRealCases();

// Random numbers of 1 to 40 significant digits in the reader's every form
// (signs, points, leading zeros, e or E), exponents mostly in the double's
// range and near its ends, some far past them.
std::vector<std::string> RandomRealCases();

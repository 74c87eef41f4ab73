// The move's benchmark workloads W1, W2 and W3, shared by the benchmark of
// the move against the reference and the wasm-against-native comparison.
#pragma once

#include <cstdio>

#include "sim/reactor.h"

struct Workload {
  SimParams params;
  int moves;
};

inline const Workload Workloads[] = {
    {SimParams{100, 100, 3000, 0.5, 0.8, 0.2, 3}, 100000},
    {SimParams{250, 250, 20000, 0.3, 0.6, 0.1, 10}, 200000},
    {SimParams{100, 100, 5000, 0.2, 1.0, 0.5, 5}, 50000},
};
inline constexpr int WorkloadCount = sizeof Workloads / sizeof Workloads[0];

// "(N,M,K,Ah,Kh,G,rSz,moves)", the first column of the tables.
inline void WorkloadName(const Workload& w, char* out, std::size_t size) {
  const SimParams& p = w.params;
  std::snprintf(out, size, "(%d,%d,%d,%g,%g,%g,%d,%d)", p.N, p.M, p.K, p.Ah, p.Kh, p.G, p.rSz,
                w.moves);
}

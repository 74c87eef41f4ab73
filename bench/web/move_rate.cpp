// Moves per second of the particle move on the workloads W1, W2 and W3,
// without the benchmark library, so that the same source runs natively and
// as wasm under node; bench/web/compare.sh runs both and puts them side by
// side. Each workload runs a few rounds on a fresh reactor and keeps the
// fastest, one line each:
//   W<n> <moves> <attempts> <bottom-row count> <CPU seconds> <vector level>
//   (N,M,K,Ah,Kh,G,rSz,moves)
// CPU time, as the machine is shared and the move is single-threaded.
#include <time.h>  // Required for: clock_gettime

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "move_workloads.h"
#include "sim/particle_move.h"

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>

// Node's count for the whole process; the compiler's threads are done with
// the move after the first round.
EM_JS(double, CpuSeconds, (), {
  const used = process.cpuUsage();
  return (used.user + used.system) / 1e6;
});
#else
double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}
#endif

namespace {

constexpr int DefaultRounds = 3;

const char* LevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::Portable: return "portable";
    case SimdLevel::Avx2: return "avx2";
    case SimdLevel::Avx512: return "avx512";
  }
  return "?";
}

// A few moves on a reactor of its own. This second call of the move keeps it
// a function of its own, as in the program: called often, the engine gives it
// its best compile. Inlined into main, which is called once, it would keep
// the quick first compile for the whole run (wasm has no switch of code in
// the middle of a call).
void WarmUp(bool portable) {
  auto reactor = std::make_unique<Reactor>();
  reactor->params = Workloads[0].params;
  if (portable) reactor->random.simd = SimdLevel::Portable;
  SetUpReactor(*reactor);
  for (int m = 0; m < 1000; ++m) MoveParticle(*reactor);
}

}  // namespace

// Arguments: the rounds per workload (default 3), then "portable" to force
// the portable code.
int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : DefaultRounds;
  const bool portable = argc > 2 && std::string_view(argv[2]) == "portable";
  if (rounds < 1) {
    std::fprintf(stderr, "usage: move_rate [rounds >= 1] [portable]\n");
    return 2;
  }
  WarmUp(portable);
  for (int i = 0; i < WorkloadCount; ++i) {
    const Workload& w = Workloads[i];
    double best = 0;
    std::int64_t attempts = 0;
    int bottom = 0;
    SimdLevel level = SimdLevel::Portable;
    for (int round = 0; round < rounds; ++round) {
      auto reactor = std::make_unique<Reactor>();
      reactor->params = w.params;
      if (portable) reactor->random.simd = SimdLevel::Portable;
      SetUpReactor(*reactor);
      BuildMoveCaches(*reactor);
      const double start = CpuSeconds();
      for (int m = 0; m < w.moves; ++m) {
        if (MoveParticle(*reactor) != MoveResult::Moved) {
          std::fprintf(stderr, "W%d froze after %d moves\n", i + 1, m);
          return 1;
        }
      }
      const double took = CpuSeconds() - start;
      if (round == 0 || took < best) best = took;
      attempts = reactor->attempts;
      bottom = reactor->observedRowCount;
      level = reactor->move.simd;
    }
    char name[96];
    WorkloadName(w, name, sizeof name);
    std::printf("W%d %d %lld %d %.6f %s %s\n", i + 1, w.moves, static_cast<long long>(attempts),
                bottom, best, LevelName(level), name);
  }
  return 0;
}

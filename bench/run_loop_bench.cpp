// The run loop's own cost: the real RunLoop (keyboard step, move, display
// update, present) on the scripted platform, on W1, in Normal mode (every
// move drawn) and in the quiet mode Csendes, against the bare moves. The
// window back end converts the whole 8-bit surface to 32-bit RGB at every
// present, as a real window does; the platform's clock is the real one, so
// the present throttle shows about 60 frames a second. A redraw hook counts
// the moves and types V after the last one. The table after the usual
// benchmark lines gives moves per second of each and Normal's share of quiet.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_table.h"
#include "platform/fatal.h"
#include "platform/graph.h"
#include "platform/palette.h"
#include "support/scripted_backend.h"
#include "runcontrol/program.h"
#include "sim/particle_move.h"

namespace {

constexpr int Moves = 100000;

SimParams W1() {
  SimParams p;
  p.N = 100;
  p.M = 100;
  p.K = 3000;
  p.Ah = 0.5;
  p.Kh = 0.8;
  p.G = 0.2;
  p.rSz = 3;
  return p;
}

// A window that shows nothing but does a window's work per frame: every
// pixel of the surface through the palette into a 32-bit frame.
struct ConvertingWindow {
  std::uint32_t rgb[GraphMaxWidth * GraphMaxHeight];
  std::uint32_t palette[PaletteSize];
  std::int64_t frames = 0;
  std::uint32_t checksum = 0;  // keeps the conversion from being optimised away
};

void PresentFrame(void* context, const GraphSurface& g) {
  auto& w = *static_cast<ConvertingWindow*>(context);
  const int n = g.width * g.height;
  for (int i = 0; i < n; ++i) w.rgb[i] = w.palette[g.pixels[i] & (PaletteSize - 1)];
  w.checksum += w.rgb[n / 2];
  ++w.frames;
}

// The whole program's records, with the move counter between the move and
// the display's redraw hook.
struct LoopRig {
  ScriptedPlatform sp;
  GraphSurface graph;
  Reactor reactor;
  Screen screen;
  Program program;
  ConvertingWindow window;
  CellRedrawHook displayHook;
  std::int64_t cellsRedrawn = 0;
};

void CountingRedraw(void* context, std::int16_t N, std::int16_t M, std::uint16_t row,
                    std::uint16_t column, CellState state) {
  auto& rig = *static_cast<LoopRig*>(context);
  rig.displayHook.drawCell(rig.displayHook.context, N, M, row, column, state);
  if (++rig.cellsRedrawn == 2 * Moves) PushKey(rig.sp.platform.keys, 'V');
}

// Set up W1 and the screen as RunProgram does after the dialog, in `mode`.
std::unique_ptr<LoopRig> MakeRig(RunMode mode) {
  auto rig = std::make_unique<LoopRig>();
  SetUpScriptedPlatform(rig->sp);
  ScriptPause(rig->sp, 3600 * 1000);  // a key far ahead: the script never runs dry
  ScriptKeys(rig->sp, "v");
  rig->sp.clock.isVirtual = false;
  for (int i = 0; i < PaletteSize; ++i) {
    const PaletteRgb c = StandardPalette[i];
    rig->window.palette[i] = std::uint32_t{c.red} << 16 | std::uint32_t{c.green} << 8 | c.blue;
  }
  rig->sp.window.context = &rig->window;
  rig->sp.window.present = PresentFrame;
  Program& p = rig->program;
  SetUpProgram(p, rig->sp.platform, rig->graph, rig->reactor, rig->screen);
  rig->reactor.params = W1();
  SetUpReactor(rig->reactor);
  rig->displayHook = rig->reactor.redraw;
  rig->reactor.redraw = {rig.get(), CountingRedraw};
  std::int32_t imageSize = 0;
  InitGraph(rig->graph);
  LayOutWindows(rig->screen, rig->graph, rig->reactor.params, ModeNames[mode], imageSize);
  CloseGraph(rig->graph);
  CopyRowCounts(rig->screen, rig->reactor);
  p.run.runMode = mode;
  p.run.stepCounter = 0;
  ShowInitialScreen(p);
  UpdateDisplay(p);
  return rig;
}

void Report(benchmark::State& state, std::int64_t moves, std::int64_t frames) {
  state.counters["moves"] = static_cast<double>(moves);
  state.counters["frames"] = static_cast<double>(frames);
}

void RunLoopIn(benchmark::State& state, RunMode mode) {
  for (auto _ : state) {
    state.PauseTiming();
    auto rig = MakeRig(mode);
    state.ResumeTiming();
    const int code = RunWithPlatform(rig->sp.platform, [&](Platform&) { RunLoop(rig->program); });
    if (code != 0 || rig->program.run.stepCounter != Moves) {
      state.SkipWithError("the loop did not make every move");
      break;
    }
    Report(state, rig->program.run.stepCounter, rig->window.frames);
  }
}

void NormalMode(benchmark::State& state) { RunLoopIn(state, Normal); }
void QuietMode(benchmark::State& state) { RunLoopIn(state, Csendes); }

// The moves alone, as lemvaris-batch makes them.
void BareMoves(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto reactor = std::make_unique<Reactor>();
    reactor->params = W1();
    SetUpReactor(*reactor);
    state.ResumeTiming();
    for (int i = 0; i < Moves; ++i) MoveParticle(*reactor);
    Report(state, Moves, 0);
  }
}

BENCHMARK(BareMoves)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(QuietMode)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(NormalMode)->Iterations(1)->Unit(benchmark::kMillisecond);

void PrintTable(const TableReporter& reporter) {
  std::printf("\n%-40s %12s %10s %10s\n", "W1 (100,100,3000,0.5,0.8,0.2,3), 100000 moves",
              "moves/s", "frames/s", "of quiet");
  const auto quiet = reporter.runs.find("QuietMode/iterations:1");
  for (const char* name : {"BareMoves", "QuietMode", "NormalMode"}) {
    const auto run = reporter.runs.find(std::string(name) + "/iterations:1");
    if (run == reporter.runs.end()) continue;
    // Real time: the present throttle runs on the real clock.
    auto rate = [](const Measured& m, const char* counter) {
      return m.counters.at(counter) / m.realSeconds;
    };
    const Measured& m = run->second;
    const double share = quiet == reporter.runs.end() ? 0 : rate(m, "moves") / rate(quiet->second, "moves");
    std::printf("%-40s %12.0f %10.1f %10.2f\n", name, rate(m, "moves"), rate(m, "frames"), share);
  }
}

}  // namespace

int main(int argc, char** argv) { return RunWithTable(argc, argv, PrintTable); }

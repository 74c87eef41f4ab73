// The run loop's own cost: the real RunLoop (keyboard step, move, display
// update, present) on the scripted platform, on W1, in Normal mode (every
// move drawn) and in the quiet mode Csendes, against the bare moves. The
// window back end converts the whole 8-bit surface to 32-bit RGB at every
// present, as a real window does; the platform's clock is the real one, so
// the present throttle shows about 60 frames a second. A redraw hook counts
// the moves and types V after the last one. The table after the usual
// benchmark lines gives moves per second of each and Normal's share of quiet.
//
// Normal mode also runs with the terminal graphics back end: block symbols
// in direct colour for a 100 x 30 terminal written to /dev/null, and sixels
// at 640 x 480 written to a pipe that a reader drains at about 200 KB/s, a slow
// terminal, so that frames must be dropped. "frames/s" is then the frames
// the presenter sent.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_table.h"
#include "platform/fatal.h"
#include "platform/graph.h"
#include "platform/palette.h"
#include "display/layout.h"
#include "backends/native/termgfx/terminal_graphics.h"
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

// How the surface is shown.
enum class Shown { Window, TerminalSymbols, TerminalSixelsSlow };

// A terminal that takes about 200 KB a second (a slow link): a pipe read 4 KB
// at a time, every 20 ms, until it is closed.
struct SlowTerminal {
  int fds[2] = {-1, -1};
  std::thread reader;
};

void OpenSlowTerminal(SlowTerminal& t) {
  if (pipe(t.fds) != 0) return;
  fcntl(t.fds[1], F_SETFL, O_NONBLOCK);  // as the terminal graphics' own output is
  t.reader = std::thread([fd = t.fds[0]] {
    char buffer[4096];
    while (read(fd, buffer, sizeof buffer) > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  });
}

void CloseSlowTerminal(SlowTerminal& t) {
  if (t.fds[1] >= 0) close(t.fds[1]);
  if (t.reader.joinable()) t.reader.join();
  if (t.fds[0] >= 0) close(t.fds[0]);
  t.fds[0] = t.fds[1] = -1;
}

// The whole program's records, with the move counter between the move and
// the display's redraw hook.
struct LoopRig {
  ScriptedPlatform sp;
  GraphSurface graph;
  Run experiment;
  Screen screen;
  Program program;
  ConvertingWindow window;
  TerminalGraphics terminal;
  int terminalFd = -1;
  SlowTerminal slow;
  CellRedrawHook displayHook;
  std::int64_t cellsRedrawn = 0;
};

void CountingRedraw(void* context, std::int16_t N, std::int16_t M, std::uint16_t row,
                    std::uint16_t column, CellState state) {
  auto& rig = *static_cast<LoopRig*>(context);
  rig.displayHook.drawCell(rig.displayHook.context, N, M, row, column, state);
  if (++rig.cellsRedrawn == 2 * Moves) PushKey(rig.sp.platform.keys, 'V');
}

void ShowInTerminal(LoopRig& rig, Shown shown) {
  Platform& p = rig.sp.platform;
  if (shown == Shown::TerminalSymbols) {
    rig.terminalFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    SetUpTerminalGraphicsOn(rig.terminal, {TermGfxPixels::Symbols, TermGfxColours::Direct},
                            {100, 30, 8, 16}, rig.terminalFd, p.console);
  } else {
    OpenSlowTerminal(rig.slow);
    SetUpTerminalGraphicsOn(rig.terminal, {TermGfxPixels::Sixels, TermGfxColours::Direct},
                            {100, 31, 8, 16}, rig.slow.fds[1], p.console);
  }
  const SurfacePresenter shownBy = TerminalGraphicsPresenter(rig.terminal);
  rig.sp.window = {shownBy.context, shownBy.present, shownBy.hide, shownBy.pollEvents,
                   shownBy.shutdown};
}

// Set up W1 and the screen as RunProgram does after the dialog, in `mode`.
std::unique_ptr<LoopRig> MakeRig(RunMode mode, Shown shown = Shown::Window) {
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
  if (shown != Shown::Window) ShowInTerminal(*rig, shown);
  Program& p = rig->program;
  SetUpProgram(p, rig->sp.platform, rig->graph, rig->experiment, rig->screen);
  rig->experiment.reactor.params = W1();
  SetUpReactor(rig->experiment.reactor);
  rig->displayHook = rig->experiment.reactor.redraw;
  rig->experiment.reactor.redraw = {rig.get(), CountingRedraw};
  std::int32_t imageSize = 0;
  InitGraph(rig->graph);
  LayOutWindows(rig->screen, rig->graph, rig->experiment.reactor.params, ModeNames[mode],
                imageSize);
  CloseGraph(rig->graph);
  CopyRowCounts(rig->screen, rig->experiment.reactor);
  p.run.runMode = mode;
  p.experiment->T = 0;
  ShowInitialScreen(p);
  UpdateDisplay(p);
  return rig;
}

void Report(benchmark::State& state, std::int64_t moves, std::int64_t frames) {
  state.counters["moves"] = static_cast<double>(moves);
  state.counters["frames"] = static_cast<double>(frames);
}

void RunLoopIn(benchmark::State& state, RunMode mode, Shown shown = Shown::Window) {
  for (auto _ : state) {
    state.PauseTiming();
    auto rig = MakeRig(mode, shown);
    state.ResumeTiming();
    // The way out shuts the back end: the presenter is stopped within it.
    const int code = RunWithPlatform(rig->sp.platform, [&](Platform&) { RunLoop(rig->program); });
    state.PauseTiming();
    if (rig->terminalFd >= 0) close(rig->terminalFd);
    CloseSlowTerminal(rig->slow);
    state.ResumeTiming();
    if (code != 0 || rig->experiment.T != Moves) {
      state.SkipWithError("the loop did not make every move");
      break;
    }
    if (shown == Shown::Window) {
      Report(state, rig->experiment.T, rig->window.frames);
    } else {
      Report(state, rig->experiment.T, rig->terminal.renderer.framesDrawn);
      state.counters["handed"] = static_cast<double>(rig->terminal.framesPosted);
      state.counters["dropped"] = static_cast<double>(rig->terminal.framesDropped);
    }
  }
}

void NormalMode(benchmark::State& state) { RunLoopIn(state, Normal); }
void QuietMode(benchmark::State& state) { RunLoopIn(state, Csendes); }
void NormalModeTerminalSymbols(benchmark::State& state) {
  RunLoopIn(state, Normal, Shown::TerminalSymbols);
}
void NormalModeTerminalSixels(benchmark::State& state) {
  RunLoopIn(state, Normal, Shown::TerminalSixelsSlow);
}

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

// One frame of terminal graphics as the presenter makes it: W1's screen with
// a new step count each time, drawn for a 100 x 31 terminal of 8 x 16 cells
// and written to /dev/null. Time per frame is the presenter's cost.
void RenderFrames(benchmark::State& state, TermGfxPixels pixels) {
  auto rig = MakeRig(Normal);
  auto renderer = std::make_unique<TermGfxRenderer>();
  auto frame = std::make_unique<TermGfxFrame>();
  auto sink = std::make_unique<TermGfxSink>();
  SetUpTermGfxRenderer(*renderer, {pixels, TermGfxColours::Direct}, nullptr);
  sink->fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  frame->width = rig->graph.width;
  frame->height = rig->graph.height;
  std::int32_t T = 0;
  for (auto _ : state) {
    DrawStepCounterBox(rig->graph, ++T);
    std::memcpy(frame->pixels, rig->graph.pixels,
                static_cast<std::size_t>(frame->width) * frame->height);
    RenderTermGfxFrame(*renderer, *frame, {100, 31, 8, 16}, *sink);
  }
  state.counters["bytes_per_frame"] =
      static_cast<double>(sink->written) / static_cast<double>(state.iterations());
  close(sink->fd);
  FreeTermGfxRenderer(*renderer);
}

void RenderSymbols(benchmark::State& state) { RenderFrames(state, TermGfxPixels::Symbols); }
void RenderSixels(benchmark::State& state) { RenderFrames(state, TermGfxPixels::Sixels); }

BENCHMARK(RenderSymbols)->Unit(benchmark::kMillisecond);
BENCHMARK(RenderSixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BareMoves)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(QuietMode)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(NormalMode)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(NormalModeTerminalSymbols)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(NormalModeTerminalSixels)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintTable(const TableReporter& reporter) {
  std::printf("\n%-40s %12s %10s %10s\n", "W1 (100,100,3000,0.5,0.8,0.2,3), 100000 moves",
              "moves/s", "frames/s", "of quiet");
  const auto quiet = reporter.runs.find("QuietMode/iterations:1");
  for (const char* name : {"BareMoves", "QuietMode", "NormalMode", "NormalModeTerminalSymbols",
                           "NormalModeTerminalSixels"}) {
    auto run = reporter.runs.find(std::string(name) + "/iterations:1");
    if (run == reporter.runs.end())
      run = reporter.runs.find(std::string(name) + "/iterations:1/real_time");
    if (run == reporter.runs.end()) continue;
    // Real time: the present throttle runs on the real clock.
    auto rate = [](const Measured& m, const char* counter) {
      return m.counters.at(counter) / m.realSeconds;
    };
    const Measured& m = run->second;
    const double share =
        quiet == reporter.runs.end() ? 0 : rate(m, "moves") / rate(quiet->second, "moves");
    std::printf("%-40s %12.0f %10.1f %10.2f\n", name, rate(m, "moves"), rate(m, "frames"), share);
  }
}

}  // namespace

int main(int argc, char** argv) { return RunWithTable(argc, argv, PrintTable); }

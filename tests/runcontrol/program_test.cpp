// The whole program, in-process on the scripted platform.
#include <cstring>

#include "program_harness.h"
#include "runcontrol/modes.h"
#include "runcontrol/text_screens.h"
#include "sim/particle_move.h"

namespace {

// A harness whose keys are one for the help page, the run's keys, then, half
// a second later (the script starts that pause as soon as the keys before it
// are typed ahead, during the help page), one for the summary page, so the
// summary's look at the keyboard finds none waiting.
std::unique_ptr<ProgramHarness> RunHarness(std::string_view runKeys, std::string_view answers,
                                           const char* summary) {
  auto h = MakeHarness("x", answers, "Egy sor.", summary);
  ScriptKeys(h->sp, runKeys);
  ScriptPause(h->sp, 500);
  ScriptKeys(h->sp, "x");
  return h;
}

TEST(WholeProgram, VAtTheFirstWaitEndsWithoutAMove) {
  auto h = RunHarness("v", SmallAnswers, "Lepesek: <@T@>, N=<@N@>, K=<@K@>");
  EXPECT_EQ(RunWhole(*h), 0);
  EXPECT_EQ(h->experiment.T, 0);
  EXPECT_EQ(h->program.run.runMode, Vege);
  EXPECT_TRUE(Contains(AllText(*h), "Lepesek: 0, N=20, K=100"));
  // The closing text on an otherwise empty screen, at column 25 of row 10.
  EXPECT_EQ(ScreenRow(*h, 10),
            std::string(24, ' ') + std::string(CP852("Itt a vége fuss el véle!!!!")));
  EXPECT_EQ(h->program.run.consoleActive, 1);
  EXPECT_FALSE(h->graph.open);
}

TEST(WholeProgram, StepByStepMakesOneMovePerKey) {
  // Three keys ("l" keeps the mode) and Up (0, 72); an extended key is two keys.
  std::string keys = "alb";
  keys.push_back('\0');
  keys.push_back('\x48');
  keys += "v";
  auto h = RunHarness(keys, SmallAnswers, "T=<@T@>");
  EXPECT_EQ(RunWhole(*h), 0);
  EXPECT_EQ(h->experiment.T, 5);
  EXPECT_TRUE(Contains(AllText(*h), "T=5"));

  // The same five moves on a reactor of its own give the same grid.
  auto same = std::make_unique<Reactor>();
  same->params = h->experiment.reactor.params;
  SetUpReactor(*same);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(MoveParticle(*same), MoveResult::Moved);
  EXPECT_EQ(std::memcmp(same->grid, h->experiment.reactor.grid, sizeof same->grid), 0);
}

TEST(WholeProgram, FrozenReactorWaitsForVAndSummarises) {
  auto h = RunHarness("nv", "3\n3\n9\n0.5\n0.5\n0.5\n1\n", "T=<@T@> K=<@K@>");
  EXPECT_EQ(RunWhole(*h), 0);
  EXPECT_EQ(h->experiment.T, 0);
  EXPECT_TRUE(h->program.run.frozen);
  const std::string text = AllText(*h);
  EXPECT_TRUE(Contains(text, CP852("A részecskék már nem tudnak elmozdulni (T=0).")));
  EXPECT_TRUE(Contains(text, "T=0 K=9"));
}

TEST(WholeProgram, ReactorFrozenInQuietModeShowsItsLastState) {
  // Gravity alone: the particles settle on the bottom and nothing moves.
  auto h = MakeHarness("xc", "10\n10\n30\n0\n0\n1\n1\n", "Egy sor.", "T=<@T@>");
  ScriptPause(h->sp, 400);
  ScriptKeys(h->sp, "v");
  ScriptPause(h->sp, 400);
  ScriptKeys(h->sp, "x");
  // What the window showed last while the run waited, frozen, for V: the
  // reactor block (N = M = 10 at gx1 = 154, gy1 = 133).
  struct Shown {
    std::uint8_t block[12][12];
    bool frozen = false;
    const Program* program = nullptr;
  } shown;
  shown.program = &h->program;
  h->sp.window.context = &shown;
  h->sp.window.present = [](void* context, const GraphSurface& g) {
    auto& s = *static_cast<Shown*>(context);
    if (s.program->run.runMode == Vege) return;
    s.frozen = s.program->run.frozen;
    for (int i = 0; i < 12; ++i)
      for (int j = 0; j < 12; ++j) s.block[i][j] = SurfacePixel(g, 154 + j, 133 + i);
  };
  EXPECT_EQ(RunWhole(*h), 0);
  ASSERT_TRUE(shown.frozen);
  EXPECT_GT(h->experiment.T, 0);
  EXPECT_EQ(h->experiment.reactor.rowCounts[10], 10);
  EXPECT_EQ(h->experiment.reactor.rowCounts[9], 10);
  const int colour[] = {1, 0, 14};
  for (int i = 0; i <= 11; ++i)
    for (int j = 0; j <= 11; ++j)
      ASSERT_EQ(shown.block[i][j], colour[h->experiment.reactor.grid[i][j]]) << i << "," << j;
}

TEST(WholeProgram, ClosingTheWindowEndsTheRunAsVDoes) {
  auto h = MakeHarness("xn", SmallAnswers, "Egy sor.", "T=<@T@>");
  ScriptPause(h->sp, 5);
  ScriptEndRequest(h->sp);
  EXPECT_EQ(RunWhole(*h), 0);
  EXPECT_EQ(h->program.run.runMode, Vege);
  EXPECT_GT(h->experiment.T, 0);
  ShortString<32> expected;
  Append(expected, "T=");
  AppendInt(expected, h->experiment.T);
  EXPECT_TRUE(Contains(AllText(*h), expected.view()));
}

TEST(WholeProgram, AMalformedAnswerIsAskedAgainAndTheRunGoesOn) {
  auto h = RunHarness("v", "20\nabc\n20\n100\n0,5\n0.8\n0.2\n2\n", "K=<@K@>");
  EXPECT_EQ(RunWhole(*h), 0);
  EXPECT_EQ(h->experiment.reactor.params.M, 20);
  EXPECT_EQ(h->experiment.reactor.params.Ah, 0.5);
  EXPECT_TRUE(Contains(AllText(*h), "K=100"));
  EXPECT_FALSE(Contains(AllText(*h), "Runtime error"));
}

TEST(WholeProgram, EndOfInputEndsCleanly) {
  auto h = MakeHarness("x", "20\n20\n");
  const int code = RunWhole(*h);
  EXPECT_EQ(code, 100);
  EXPECT_TRUE(Contains(AllText(*h), "Runtime error 100"));
}

// Free running in Normal mode: full refreshes only at multiples of 2000. The
// panel's title counter is drawn by nothing but the full refresh here.
TEST(RunLoop, NormalModeRefreshesEvery2000Steps) {
  auto h = MakeHarness("", "");
  h->experiment.reactor.params = SimParams{30, 30, 300, 0.5, 0.8, 0.2, 2};
  SetUpReactor(h->experiment.reactor);
  std::int32_t size = 0;
  InitGraph(h->graph);
  ASSERT_TRUE(
      LayOutWindows(h->screen, h->graph, h->experiment.reactor.params, ModeNames[Normal], size));
  CopyRowCounts(h->screen, h->experiment.reactor);
  Program& p = h->program;
  p.run.runMode = Normal;
  p.experiment->T = 0;
  ShowInitialScreen(p);
  UpdateDisplay(p);
  const WindowHeader& panel = h->screen.infoPanel.header;
  auto band = [&] {
    std::string b;
    for (int y = panel.y1 + 8; y < panel.y1 + 16; ++y)
      for (int x = panel.x1 + 2; x < panel.x1 + 2 + 16 * 8; ++x)
        b.push_back(SurfacePixel(h->graph, x, y));
    return b;
  };
  std::string last = band();
  std::vector<int> refreshes;
  for (int T = 1; T <= 4000; ++T) {
    p.experiment->T = T;
    ASSERT_EQ(MoveParticle(h->experiment.reactor), MoveResult::Moved);
    UpdateDisplay(p);
    std::string now = band();
    if (now != last) refreshes.push_back(T);
    last = now;
  }
  EXPECT_EQ(refreshes, (std::vector<int>{2000, 4000}));
  EXPECT_EQ(h->screen.changeWindow.count, 3);  // samples at 0, 2000 and 4000
}

TEST(Modes, LeavingQuietModeWritesOneConsoleLine) {
  static constexpr auto toNormal = CP852("Üzemmódváltás: Normal (5234,n)");
  static constexpr auto toStep = CP852("Üzemmódváltás: Lepesenkenti (5234,L)");
  struct Case {
    RunMode from;
    char key;
    std::string_view line;  // empty: no line
  } cases[] = {
      {Csendes, 'n', toNormal.view()},
      {Csendes, 'L', toStep.view()},
      {Csendes, 'v', {}},
      {Normal, 'c', {}},
      {Lepesenkenti, 'c', {}},
  };
  for (const Case& c : cases) {
    auto h = MakeHarness(std::string(1, c.key), SmallAnswers);
    Program& p = h->program;
    h->experiment.reactor.params = SimParams{10, 10, 10, 0, 0, 0, 1};
    SetUpReactor(h->experiment.reactor);
    std::int32_t size = 0;
    InitGraph(h->graph);
    ASSERT_TRUE(
        LayOutWindows(h->screen, h->graph, h->experiment.reactor.params, ModeNames[c.from], size));
    p.run.consoleActive = 0;
    p.run.runMode = c.from;
    p.experiment->T = 5234;
    GotoXY(h->sp.platform.console, 1, 5);
    bool stop = false;
    EXPECT_EQ(RunPiece(*h, [&](Program& prog) { stop = HandleKeyboard(prog); }), 0);
    EXPECT_EQ(stop, c.key == 'v');
    const std::string row = ScreenRow(*h, 5);
    EXPECT_EQ(row, c.line) << c.key;
    // The panel shows the new mode at once.
    EXPECT_EQ(h->screen.infoPanel.fields[0].value.view(), ModeNames[p.run.runMode]);
  }
}

TEST(Modes, PollingWithoutAKeyLeavesABlankAndTheMode) {
  auto h = MakeHarness("", "");
  Program& p = h->program;
  p.run.consoleActive = 0;
  p.run.runMode = Normal;
  char key = 'q';
  ReadKeyAndSwitchMode(p, key);
  EXPECT_EQ(key, ' ');
  EXPECT_EQ(p.run.runMode, Normal);
}

TEST(Modes, ExtendedKeyWhoseScanCodeIsAModeLetterSwitches) {
  // F9 is 0 then 67 ('C'): the second half switches to the quiet mode.
  std::string keys;
  keys.push_back('\0');
  keys.push_back(static_cast<char>(67));
  auto h = MakeHarness(keys, "");
  Program& p = h->program;
  p.run.consoleActive = 0;
  p.run.runMode = Lepesenkenti;
  char key;
  ReadKeyAndSwitchMode(p, key);
  EXPECT_EQ(key, '\0');
  EXPECT_EQ(p.run.runMode, Lepesenkenti);
  ReadKeyAndSwitchMode(p, key);
  EXPECT_EQ(p.run.runMode, Csendes);
}

}  // namespace

namespace {

TEST(RunLoop, StepCounterStopsAtItsLimitInsteadOfOverflowing) {
  auto h = MakeHarness("n", "");
  ScriptPause(h->sp, 300);
  ScriptKeys(h->sp, "v");
  h->experiment.reactor.params = SimParams{10, 10, 30, 0.5, 0.8, 0.2, 1};
  const int code = RunPiece(*h, [](Program& p) {
    SetUpReactor(p.experiment->reactor);
    std::int32_t size = 0;
    InitGraph(*p.graph);
    LayOutWindows(*p.screen, *p.graph, p.experiment->reactor.params, ModeNames[Lepesenkenti], size);
    ShowInitialScreen(p);
    p.experiment->T = MaxT - 2;
    RunLoop(p);
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(h->experiment.T, MaxT);
  EXPECT_TRUE(h->program.run.frozen);
  EXPECT_TRUE(
      Contains(AllText(*h), CP852("A lépésszámláló elérte a felső határát (T=2147483647).")));
  EXPECT_EQ(h->screen.infoPanel.fields[0].value.view(), CP852("Megállt (V: vége)"));
}

}  // namespace

#include "runcontrol/modes.h"

#include "platform/keyboard.h"

namespace {

constexpr char PromptSpinner[4] = {'\\', '|', '/', '-'};

// The mode a key selects, or the current one for any other key.
RunMode ModeForKey(char key, RunMode current) {
  switch (key) {
    case 'N': case 'n': return Normal;
    case 'L': case 'l': return Lepesenkenti;
    case 'C': case 'c': return Csendes;
    case 'V': case 'v': return Vege;
    default: return current;
  }
}

// The page prompt: a spinner after "Lapozhatunk?" until any key comes.
void PagePrompt(Program& p, char& key) {
  Platform& pl = *p.platform;
  int frame = 0;
  for (;;) {
    key = PromptSpinner[frame];
    frame = (frame + 1) % 4;
    Window(pl.console, 1, 1, 80, 25);
    GotoXY(pl.console, 35, 25);
    Write(pl.console, "Lapozhatunk?");
    Write(pl.console, key);
    Delay(pl, 100);
    if (KeyPressed(pl)) break;
  }
  key = ReadKey(pl);
}

}  // namespace

std::string_view ModeFieldText(const RunState& run) {
  static constexpr auto frozenText = CP852("Megállt (V: vége)");
  if (run.frozen) return frozenText.view();
  return ModeNames[run.runMode];
}

void ReadKeyAndSwitchMode(Program& p, char& key) {
  Platform& pl = *p.platform;
  if (p.run.consoleActive != 0) {
    PagePrompt(p, key);
    return;
  }
  // A frozen run has nothing to do but wait for the keys (V ends it).
  const bool wait = p.run.runMode == Lepesenkenti || (p.run.frozen && p.run.runMode != Vege);
  if (wait) {
    key = ReadKey(pl);
  } else if (KeyPressed(pl)) {
    key = ReadKey(pl);
  } else {
    key = ' ';
    return;
  }
  p.run.runMode = ModeForKey(key, p.run.runMode);
}

bool HandleKeyboard(Program& p) {
  Screen& s = *p.screen;
  GraphSurface& g = *p.graph;
  const Reactor& r = p.experiment->reactor;
  const std::int32_t T = p.experiment->T;
  const RunMode previous = p.run.runMode;
  char key = ' ';
  ReadKeyAndSwitchMode(p, key);
  const RunMode now = p.run.runMode;
  if (now != previous) {
    DrawInfoPanel(s, g, ModeFieldText(p.run), T);
    DrawReactorGrid(s.reactorView, g, r.grid, r.params.N, r.params.M, T);
    DrawTitleCounter(s.reactorView.header, g, T);
  }
  if (now == Normal || now == Lepesenkenti) DrawTitleCounter(s.reactorView.header, g, T);
  if (previous == Csendes && (now == Normal || now == Lepesenkenti)) {
    Console& c = p.platform->console;
    Write(c, CP852("Üzemmódváltás: "));
    Write(c, ModeNames[now]);
    Write(c, " (");
    Write(c, T);
    Write(c, ",");
    Write(c, key);
    Writeln(c, ")");
  }
  return now == Vege;
}

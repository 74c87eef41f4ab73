#include "runcontrol/program.h"

#include "runcontrol/dialog.h"
#include "runcontrol/graphics_mode.h"
#include "runcontrol/modes.h"
#include "runcontrol/text_screens.h"

namespace {

// Stop moving for good: the console line (why, at which T) and the panel's
// mode field tell the person; the keys still work and V ends the run.
void StopMoving(Program& p, std::string_view why) {
  p.run.frozen = true;
  Console& c = p.platform->console;
  Write(c, why);
  Write(c, " (T=");
  Write(c, p.experiment->T);
  Writeln(c, CP852("). A V befejezi a futást."));
  // The quiet mode drew nothing since the last refresh: show the last state.
  RefreshAllWindows(*p.screen, *p.graph, p.experiment->reactor, ModeFieldText(p.run),
                    p.experiment->T);
  PresentNow(*p.platform);
}

}  // namespace

void SetUpProgram(Program& p, Platform& platform, GraphSurface& graph, Run& experiment,
                  Screen& screen) {
  p.platform = &platform;
  p.graph = &graph;
  p.experiment = &experiment;
  p.screen = &screen;
  p.run = RunState{};
  p.redraw = ReactorRedraw{&screen.reactorView, &graph, &p.run.runMode};
  experiment.reactor.redraw = ReactorRedrawHook(p.redraw);
  platform.graph = &graph;
}

void ShowInitialScreen(Program& p) {
  if (p.run.consoleActive != 0) {
    p.run.consoleActive = 0;
    OpenGraphics(p);
    ClearViewPort(*p.graph);
    SetTextJustify(*p.graph, LeftText, TopText);
  }
  DrawInitialScreen(*p.screen, *p.graph, p.experiment->reactor, p.experiment->T);
}

void UpdateDisplay(Program& p) {
  UpdateScreen(*p.screen, *p.graph, p.experiment->reactor, p.run.runMode, ModeFieldText(p.run),
               p.experiment->T);
}

void RunProgram(Program& p) {
  p.run.runMode = Lepesenkenti;
  PageHelpFile(p, " Lemvaris ", "kervatin.hlp");
  AskParameters(p);
  ShowInitialScreen(p);
  UpdateDisplay(p);
  RunLoop(p);
  ShowSummary(p);
}

void RunLoop(Program& p) {
  for (;;) {
    if (HandleKeyboard(p)) break;
    if (p.run.frozen) continue;  // only the keys are left: V ends the run
    const StepResult step = StepRun(*p.experiment, 1);
    if (step.stop == RunStop::TLimit) {
      StopMoving(p, CP852("A lépésszámláló elérte a felső határát"));
      continue;
    }
    if (step.stop == RunStop::Frozen) {
      StopMoving(p, CP852("A részecskék már nem tudnak elmozdulni"));
      continue;
    }
    UpdateDisplay(p);
    PresentIfDue(*p.platform);
  }
}

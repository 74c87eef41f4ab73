#include "runcontrol/graphics_mode.h"

#include "runcontrol/program.h"

void OpenGraphics(Program& p) {
  InitGraph(*p.graph);
  NotifyGraphicsOpened(*p.platform);
}

void CloseGraphics(Program& p) {
  CloseGraph(*p.graph);
  NotifyGraphicsClosed(*p.platform);
}

// Where the panel shows the mode text on the 640 x 480 screen, from the
// display's own layout: prints "x1 y1 x2 y2" (inclusive). The page test
// compares the canvas with the batch runner's picture everywhere else, as
// the page shows the mode it is in and the picture the quiet mode's.
#include <cstdio>

#include "display/screen.h"
#include "platform/graph.h"

namespace {

GraphSurface graph;  // the records are large: static
Screen screen;

}  // namespace

int main() {
  InitGraph(graph);
  std::int32_t imageSize = 0;
  // The panel's place does not depend on the parameters.
  if (!LayOutWindows(screen, graph, SimParams{100, 100, 1, 0, 0, 0, 1}, ModeNames[Lepesenkenti],
                     imageSize))
    return 1;
  PixelBox box;
  if (!FieldValueBox(screen.infoPanel, graph, CP852("Üzemmód"), box)) return 1;
  std::printf("%d %d %d %d\n", box.x1, box.y1, box.x2, box.y2);
  return 0;
}

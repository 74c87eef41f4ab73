// Lemvaris in a web page: wires the web back end (backends/web) into the
// platform and runs the program; web/page.js starts it and offers a new run
// after its end. The help and summary files lie in the working folder of the
// module's own file system (web/CMakeLists.txt packs them in).
#include "platform/fatal.h"
#include "platform/graph.h"
#include "backends/web/web_backend.h"
#include "runcontrol/program.h"

namespace {

// The big records live for the whole run; nothing is allocated later.
Platform platform;
GraphSurface graph;
Run experiment;
Screen screen;
Program program;
WebPage page;

}  // namespace

int main() {
  SetUpPlatform(platform);
  UseWebBackend(platform, page);
  SetUpProgram(program, platform, graph, experiment, screen);
  return RunWithPlatform(platform, [](Platform&) { RunProgram(program); });
}

// Lemvaris: picks the back end (the terminal with an SDL window), wires it
// into the platform and runs the program.
#include <unistd.h>

#include <cstdio>

#include "platform/fatal.h"
#include "platform/graph.h"
#include "platform/native/native_backend.h"
#include "platform/native/window_sdl.h"
#include "platform/standard_descriptors.h"
#include "runcontrol/program.h"

namespace {

// The big records live for the whole run; nothing is allocated later.
Platform platform;
GraphSurface graph;
Reactor reactor;
Screen screen;
Program program;
SdlWindow window;
NativeBackend native;

// The folder of the executable, where the build puts the help and summary
// files, so the program finds them from any working folder.
void SetDataFolderFromExecutable(Program& p) {
  char path[DataFolderCapacity + 1];
  ssize_t n = readlink("/proc/self/exe", path, DataFolderCapacity);
  if (n <= 0) return;
  path[n] = '\0';
  char* slash = nullptr;
  for (char* c = path; *c; ++c)
    if (*c == '/') slash = c;
  if (slash == nullptr) return;
  Assign(p.dataFolder, std::string_view(path, static_cast<std::size_t>(slash - path)));
}

}  // namespace

int main() {
  ReserveStandardDescriptors();  // before SDL opens the X connection
  if (!OpenSdlWindow(window)) {
    std::fprintf(stderr, "Lemvaris: a grafikus ablak nem nyitható meg (%s).\n", window.error);
    return 4;
  }
  SetUpPlatform(platform);
  UseNativeBackend(platform, native, SdlSurfacePresenter(window));
  SetUpProgram(program, platform, graph, reactor, screen);
  SetDataFolderFromExecutable(program);
  return RunWithPlatform(platform, [](Platform&) { RunProgram(program); });
}

// Lemvaris: picks the back end that shows the graphics surface beside the
// terminal (the SDL window, or the surface drawn in the terminal itself),
// wires it into the platform and runs the program.
//
//   lemvaris              a window when one can be opened, else the terminal
//   lemvaris --window     the window, or exit code 4
//   lemvaris --terminal   the graphics drawn in the terminal
//   lemvaris --version    "lemvaris 0.2.0", nothing else opened
//   LEMVARIS_GRAPHICS=symbols|sixel|kitty   the terminal's pictures by hand
//
// The choice is made before anything is shown: when neither can show the
// graphics (for the terminal: TERM unset, dumb or without terminfo) the
// program says so and ends with exit code 4 at once. A wrong
// option, or an unknown LEMVARIS_GRAPHICS for the terminal, ends it with
// UsageExitCode. The option changes nothing in the run.
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fatal.h"
#include "platform/graph.h"
#include "backends/native/native_backend.h"
#include "backends/native/window_sdl.h"
#include "output/standard_descriptors.h"
#include "backends/native/termgfx/terminal_graphics.h"
#include "experiment/version.h"
#include "runcontrol/program.h"

extern char** environ;

namespace {

constexpr int NoGraphicsExitCode = 4;
constexpr int UsageExitCode = 64;  // as sysexits' EX_USAGE
// How long the notes (a small terminal, the pictures) stay before the screen
// is taken.
constexpr unsigned NoteMs = 1500;

// The big records live for the whole run; nothing is allocated later.
Platform platform;
GraphSurface graph;
Run experiment;
Screen screen;
Program program;
NativeBackend native;
SdlWindow window;
TerminalGraphics terminalGraphics;

enum class BackEndWish { Any, Window, Terminal };

// The folder of the executable, where the build puts the help and summary
// files, so the program finds them from any working folder. An installed
// program keeps them apart from its binary, in LEMVARIS_DATA_DIR, given by
// the build relative to the executable's folder (../share/lemvaris beside
// /usr/bin), so an unpacked or relocated install finds them too.
void SetDataFolderFromExecutable(Program& p) {
  char path[DataFolderCapacity + 1];
  ssize_t n = readlink("/proc/self/exe", path, DataFolderCapacity);
  if (n <= 0) return;
  path[n] = '\0';
  char* slash = nullptr;
  for (char* c = path; *c; ++c)
    if (*c == '/') slash = c;
  if (slash == nullptr) return;
  const std::string_view folder(path, static_cast<std::size_t>(slash - path));
  Assign(p.dataFolder, folder);
#ifdef LEMVARIS_DATA_DIR
  // The help file beside the executable (a build tree) wins.
  const int length = static_cast<int>(folder.size());
  char beside[DataFolderCapacity + 16];
  std::snprintf(beside, sizeof beside, "%.*s/kervatin.hlp", length, path);
  struct stat info;
  if (stat(beside, &info) == 0 && S_ISREG(info.st_mode)) return;
  char installed[DataFolderCapacity + 2];
  const int size = std::snprintf(installed, sizeof installed, "%.*s/%s", length, path,
                                 LEMVARIS_DATA_DIR);
  if (size > 0 && size <= DataFolderCapacity) Assign(p.dataFolder, std::string_view(installed));
#endif
}

bool ReadWish(int argc, char** argv, BackEndWish& wish) {
  wish = BackEndWish::Any;
  if (argc == 1) return true;
  if (argc > 2) return false;
  if (std::strcmp(argv[1], "--window") == 0) wish = BackEndWish::Window;
  else if (std::strcmp(argv[1], "--terminal") == 0) wish = BackEndWish::Terminal;
  else return false;
  return true;
}

bool DisplayNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// The console needs 80 x 25 cells; a smaller terminal shows only part of it.
bool NoteSmallTerminal() {
  winsize size = {};
  if (!isatty(STDOUT_FILENO) || ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
    return false;
  if (size.ws_col >= ConsoleWidth && size.ws_row >= ConsoleHeight) return false;
  std::fprintf(stderr,
               "Lemvaris: a terminál %d x %d karakteres; a program legalább %d x %d karakteres "
               "terminált kíván, ebben a szöveges képernyőnek csak egy része látszik.\n",
               size.ws_col, size.ws_row, ConsoleWidth, ConsoleHeight);
  return true;
}

// Said once, before the screen is taken, long enough to be read: the small
// terminal, and why the terminal's pictures are not what TERM claims.
void NoteBeforeTheScreen(const TermGfxChoice& pictures) {
  bool said = NoteSmallTerminal();
  if (pictures.note[0] != '\0') {
    std::fprintf(stderr, "%s\n", pictures.note);
    said = true;
  }
  if (said) usleep(NoteMs * 1000);
}

// Neither back end can show the graphics: why not, on standard error.
[[noreturn]] void NoGraphics(BackEndWish wish, const char* terminalWhy) {
  if (wish == BackEndWish::Any)
    std::fprintf(stderr, "Lemvaris: grafikus ablak nem nyitható (%s), és a terminálban sem "
                 "jeleníthető meg a grafika: %s.\n",
                 DisplayNamed() ? window.error : "nincs DISPLAY vagy WAYLAND_DISPLAY", terminalWhy);
  else
    std::fprintf(stderr, "Lemvaris: a terminálban nem jeleníthető meg a grafika: %s.\n",
                 terminalWhy);
  std::exit(NoGraphicsExitCode);
}

}  // namespace

int main(int argc, char** argv) {
  ReserveStandardDescriptors();  // before SDL opens the X connection
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("lemvaris %s\n", LemvarisVersion());
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  }
  BackEndWish wish;
  if (!ReadWish(argc, argv, wish)) {
    std::fprintf(stderr,
                 "Lemvaris: ismeretlen kapcsoló. Használat: lemvaris [--window | --terminal | "
                 "--version]\n");
    return UsageExitCode;
  }
  bool useWindow = false;
  if (wish == BackEndWish::Window || (wish == BackEndWish::Any && DisplayNamed())) {
    useWindow = OpenSdlWindow(window);
    if (!useWindow && wish == BackEndWish::Window) {
      std::fprintf(stderr, "Lemvaris: a grafikus ablak nem nyitható meg (%s).\n", window.error);
      return NoGraphicsExitCode;
    }
  }
  TermGfxChoice pictures;
  if (!useWindow) {
    if (const char* why = TerminalGraphicsRefusal()) NoGraphics(wish, why);
    char noTerminfo[256];
    if (TerminfoMissing(noTerminfo, sizeof noTerminfo)) NoGraphics(wish, noTerminfo);
    pictures = ChooseTermGfx(environ, AskTmuxPane);
    if (pictures.why == TermGfxWhy::UnknownWish) {
      std::fprintf(stderr, "%s\n", pictures.note);
      return UsageExitCode;
    }
  }
  NoteBeforeTheScreen(pictures);
  SetUpPlatform(platform);
  if (useWindow) {
    UseNativeBackend(platform, native, SdlSurfacePresenter(window));
  } else {
    UseNativeBackend(platform, native, TerminalGraphicsPresenter(terminalGraphics));
    if (native.terminal.output != TerminalOutput::Screen) {
      CloseTerminal(native.terminal, platform.console);
      NoGraphics(wish, "a terminál képernyője nem kezelhető");
    }
    SetUpTerminalGraphics(terminalGraphics, native.terminal, platform.console, pictures);
  }
  SetUpProgram(program, platform, graph, experiment, screen);
  SetDataFolderFromExecutable(program);
  return RunWithPlatform(platform, [](Platform&) { RunProgram(program); });
}

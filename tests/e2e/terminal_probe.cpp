// A small program on the real terminal platform for the tmux tests: it shows
// a console screen, then, by the mode in argv[2], reads keys (ReadKey) or
// waits at a page prompt (KeyPressed and Delay) and logs what it got to the
// file argv[1], or reads a number with Readln, or computes for ever without
// looking at keys (busy), or turns a page then reads a number (promptnumber).
// 'q' ends the key modes.
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/keyboard.h"
#include "platform/line_input.h"
#include "backends/native/native_backend.h"
#include "platform/platform.h"

namespace {

Platform platform;
NativeBackend native;
std::FILE* logFile = nullptr;

void Log(const char* text) {
  std::fputs(text, logFile);
  std::fflush(logFile);
}

void ShowScreen(Platform& p) {
  Console& con = p.console;
  ClrScr(con);
  for (int x = 1; x <= 80; ++x) {
    GotoXY(con, x, 1);
    Write(con, '\xb2');  // the shade block
  }
  HighVideo(con);
  GotoXY(con, 30, 1);
  Write(con, " Lemvaris probe ");
  NormVideo(con);
  Window(con, 3, 3, 78, 23);
}

// The pagers' prompt on the last screen row, its last character turning.
void PagePrompt(Platform& p) {
  static const char turns[] = "\\|/-";
  for (int frame = 0;; frame = (frame + 1) % 4) {
    Window(p.console, 1, 1, 80, 25);
    GotoXY(p.console, 35, 25);
    Write(p.console, "Lapozhatunk?");
    Write(p.console, turns[frame]);
    Delay(p, 100);
    if (KeyPressed(p)) break;
  }
  Window(p.console, 3, 3, 78, 23);
  GotoXY(p.console, 1, 18);
}

void ReadKeys(Platform& p, bool pagePrompt) {
  Log("ready\n");
  for (;;) {
    if (pagePrompt) PagePrompt(p);
    char key = ReadKey(p);
    char line[16];
    std::snprintf(line, sizeof line, "%d\n", static_cast<unsigned char>(key));
    Log(line);
    Write(p.console, "key ");
    Writeln(p.console, static_cast<std::int32_t>(static_cast<unsigned char>(key)));
    if (key == 'q') return;
  }
}

void Run(Platform& p, const char* mode) {
  ShowScreen(p);
  const bool promptFirst = std::strcmp(mode, "promptnumber") == 0;
  if (promptFirst || std::strcmp(mode, "number") == 0) {
    if (promptFirst) {  // a page turned with a cursor key, then a question
      Log("ready\n");
      PagePrompt(p);
      ReadKey(p);
    }
    Write(p.console, "Szam? ");
    if (!promptFirst) Log("ready\n");
    std::int32_t value = 0;
    while (!Readln(p, value)) Write(p.console, "Szam? ");  // asked again, as the dialog does
    Write(p.console, "got ");
    Writeln(p.console, value);
    return;
  }
  if (std::strcmp(mode, "busy") == 0) {  // in key mode, then deaf to everything
    KeyPressed(p);
    Log("ready\n");
    volatile unsigned spin = 0;
    for (;;) spin = spin + 1;
  }
  ReadKeys(p, std::strcmp(mode, "prompt") == 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: terminal_probe LOG keys|prompt|number|busy\n");
    return 2;
  }
  logFile = std::fopen(argv[1], "w");
  if (logFile == nullptr) return 2;
  char pid[24];
  std::snprintf(pid, sizeof pid, "pid %d\n", static_cast<int>(getpid()));
  Log(pid);
  SetUpPlatform(platform);
  UseNativeBackend(platform, native, SurfacePresenter{});
  const char* mode = argv[2];
  int code = RunWithPlatform(platform, [mode](Platform& p) { Run(p, mode); });
  std::fprintf(logFile, "exit %d\n", code);
  std::fclose(logFile);
  return code;
}

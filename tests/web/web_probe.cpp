// The web back end's probe, and the page's program until the back end is
// wired to the real one: it shows a known console screen and picture, writes
// every key the page delivers as "key N" on the console, and on R runs the
// move on W1 with the surface shown about 60 times a second, giving the
// browser control back at each showing, as the run loop will; it then writes
// "moves/s N frames/s N". Esc ends it. Driven by tests/web/page_test.py.
//
// The waits go through function pointers, as they will through the back-end
// record, so that the Asyncify settings are tried on the same shape of code.
#include <cstdio>

#include "platform/console.h"
#include "platform/graph.h"
#include "platform/key_queue.h"
#include "platform/shortstring.h"
#include "platform/web/web_backend.h"
#include "sim/particle_move.h"
#include "sim/reactor.h"

namespace {

GraphSurface surface;  // the records are large: static, as in main
Console console;
KeyQueue keys;
WebPage page;
Reactor reactor;

// The shape of the back-end record the program will call through.
struct Waits {
  bool (*waitForInput)(int ms);
  void (*present)();
};

bool WaitHere(int ms) { return WaitForWebInput(page, keys, ms); }
void PresentHere() {
  ShowWebConsole(page, console);
  ShowWebSurface(page, surface);
}

// Set at run time, so that the calls stay indirect as through the record.
Waits probeWaits;
constexpr double FrameIntervalUs = 1e6 / 60;
constexpr double RunSeconds = 3;

// Every palette colour in a bar 37 pixels wide from x = 20, rows 300..470;
// both line thicknesses, text, and an XOR square at (500, 40).
void DrawPattern(GraphSurface& g) {
  for (int c = 0; c < PaletteSize; ++c) {
    SetFillStyle(g, SolidFill, c);
    Bar(g, 20 + c * 37, 300, 20 + c * 37 + 36, 470);
  }
  SetLineStyle(g, SolidLn, 0, ThickWidth);
  Rectangle(g, 6, 6, GetMaxX(g) - 5, GetMaxY(g) - 5);
  SetLineStyle(g, SolidLn, 0, NormWidth);
  Rectangle(g, 30, 30, 200, 120);
  OutTextXY(g, 40, 40, CP852("Lemvaris: Sürüség-változás"));
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) PutPixel(g, 500 + x, 40 + y, (x ^ y) & 15);
}

void DrawCell(void*, std::int16_t, std::int16_t, std::uint16_t row, std::uint16_t column,
              CellState state) {
  PutPixel(surface, 200 + column, 150 + row, state == Particle ? Yellow : Blue);
}

// Moves for RunSeconds, the picture shown when a frame is due; the clock is
// read every 256 moves.
void RunMoves(const Waits& waits) {
  reactor.params = SimParams{100, 100, 3000, 0.5, 0.8, 0.2, 3};
  SetUpReactor(reactor);
  reactor.redraw.drawCell = DrawCell;
  const std::int64_t start = WebClockUs();
  std::int64_t lastFrame = start, now = start;
  long moves = 0, frames = 0;
  while (now - start < RunSeconds * 1e6) {
    MoveParticle(reactor);
    if (++moves % 256 != 0) continue;
    now = WebClockUs();
    if (now - lastFrame < FrameIntervalUs) continue;
    lastFrame = now;
    waits.present();
    waits.waitForInput(0);
    ++frames;
  }
  const double seconds = static_cast<double>(now - start) / 1e6;
  char line[ConsoleWidth];
  std::snprintf(line, sizeof line, "moves/s %.0f frames/s %.1f", moves / seconds, frames / seconds);
  Writeln(console, line);
  std::printf("%s\n", line);
}

}  // namespace

int main() {
  probeWaits = {WaitHere, PresentHere};
  OpenWebPage(page);
  ClrScr(console);
  console.attribute = 0x1E;  // yellow on blue
  Writeln(console, CP852("Lemvaris ▓ webes próba"));
  NormVideo(console);
  Writeln(console, CP852("Billentyű: a kódja; R: futás; Esc: vége"));
  InitGraph(surface);
  DrawPattern(surface);
  ShowWebSurface(page, surface);
  ShowWebConsole(page, console);
  for (;;) {
    if (!probeWaits.waitForInput(1000)) continue;
    std::uint8_t key = 0;
    while (PopKey(keys, key)) {
      Write(console, "key ");
      Writeln(console, static_cast<std::uint32_t>(key));
      if (key == 'r' || key == 'R') RunMoves(probeWaits);
      if (key == 27) {
        Writeln(console, CP852("vége"));
        ShowWebConsole(page, console);
        CloseGraph(surface);
        HideWebSurface(page);
        ShutdownWebPage(page);
        return 0;
      }
    }
    ShowWebConsole(page, console);
  }
}

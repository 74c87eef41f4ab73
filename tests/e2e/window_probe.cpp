// Opens the SDL window at scale 1 on a known picture, writes the same surface
// as a PNG for comparison, and prints every key the window delivers, one per
// line ("key N"), until Esc, a close of the window, or a 20-second limit.
// Driven by window.sh under Xvfb.
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/graph.h"
#include "platform/key_queue.h"
#include "output/png_writer.h"
#include "text/shortstring.h"
#include "backends/native/window_sdl.h"

namespace {

GraphSurface surface;  // too big for the stack
SdlWindow window;
KeyQueue keys;

// Every palette colour, both line thicknesses, text and single pixels.
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
  SetTextJustify(g, CenterText, TopText);
  OutTextXY(g, 320, 200, CP852("Információk ▓"));
  SetTextJustify(g, LeftText, TopText);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) PutPixel(g, 500 + x, 40 + y, (x ^ y) & 15);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_probe SURFACE.png\n");
    return 2;
  }
  window.scale = 1;
  if (!OpenSdlWindow(window)) {
    std::fprintf(stderr, "window_probe: %s\n", window.error);
    return 2;
  }
  SurfacePresenter backend = SdlSurfacePresenter(window);

  // Opened for the layout only: no window may appear.
  InitGraph(surface);
  CloseGraph(surface);
  backend.present(backend.context, surface);
  backend.pollEvents(backend.context, keys);
  if (window.window != nullptr) {
    std::fprintf(stderr, "window_probe: a window appeared for a closed surface\n");
    return 1;
  }

  InitGraph(surface);
  DrawPattern(surface);
  if (!WritePng(surface, argv[1])) {
    std::fprintf(stderr, "window_probe: cannot write %s\n", argv[1]);
    return 1;
  }
  backend.present(backend.context, surface);
  if (window.failed) {
    std::fprintf(stderr, "window_probe: %s\n", window.error);
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int status = 3;
  while (status == 3 && std::chrono::steady_clock::now() < deadline) {
    backend.pollEvents(backend.context, keys);
    std::uint8_t key;
    while (PopKey(keys, key)) {
      std::printf("key %d\n", key);
      if (key == 27) status = 0;
    }
    if (keys.endRequested) {
      std::printf("end requested\n");
      status = 0;
    }
    std::fflush(stdout);
    backend.present(backend.context, surface);  // as the run loop does, about 30 times a second
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  if (status == 3) std::printf("timeout\n");
  backend.shutdown(backend.context);
  return status;
}

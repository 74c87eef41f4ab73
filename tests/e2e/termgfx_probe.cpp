// A probe of the terminal graphics renderer for e2e/termgfx_sixel.sh: it
// draws the first screen of W1 (100, 100, 3000, 0.5, 0.8, 0.2, 3) with the
// program's own display code, writes it as a PNG, and writes the bytes the
// presenter sends for that one frame to a terminal of the given size, taken
// as able to show MODE (sixels, kitty or symbols, in direct colour). Then a
// second frame, the first 50 moves made and drawn as the run draws them:
// its PNG and its bytes (only what changed) go to the same names with ".2"
// appended. On standard output: "picture WIDTH HEIGHT TOP CELL_HEIGHT", the
// scaled picture's pixels, its first row and its cells' height.
//
//   termgfx_probe MODE COLUMNS ROWS CELL_WIDTH CELL_HEIGHT FRAME_FILE PNG_FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "display/screen.h"
#include "platform/graph.h"
#include "output/png_writer.h"
#include "backends/native/termgfx/render.h"
#include "sim/particle_move.h"
#include "sim/reactor.h"

namespace {

struct Records {
  GraphSurface surface;
  Screen screen;
  Reactor reactor;
  RunMode mode = Normal;
  ReactorRedraw redraw;
  TermGfxFrame frame;
  TermGfxRenderer renderer;
  TermGfxSink sink;
};

// The bytes the presenter sends for the surface as it is now, to path.
bool SendFrame(Records& r, const TermGfxSize& size, const char* path) {
  r.frame.width = r.surface.width;
  r.frame.height = r.surface.height;
  std::memcpy(r.frame.pixels, r.surface.pixels,
              static_cast<std::size_t>(r.frame.width) * r.frame.height);
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  r.sink.fd = fileno(out);
  RenderTermGfxFrame(r.renderer, r.frame, size, r.sink);
  SinkFlush(r.sink);
  std::fclose(out);
  return !r.sink.failed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: %s MODE COLUMNS ROWS CELL_WIDTH CELL_HEIGHT FRAME_FILE PNG_FILE\n",
                 argv[0]);
    return 2;
  }
  TermGfxCaps caps{TermGfxPixels::Symbols, TermGfxColours::Direct};
  if (std::strcmp(argv[1], "sixels") == 0)
    caps.pixels = TermGfxPixels::Sixels;
  else if (std::strcmp(argv[1], "kitty") == 0)
    caps.pixels = TermGfxPixels::Kitty;
  else if (std::strcmp(argv[1], "symbols") != 0)
    return 2;
  const TermGfxSize size{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                         std::atoi(argv[5])};

  auto r = std::make_unique<Records>();
  r->reactor.params = SimParams{100, 100, 3000, 0.5, 0.8, 0.2, 3};
  SetUpReactor(r->reactor);
  GraphSurface& g = r->surface;
  InitGraph(g);
  r->redraw = ReactorRedraw{&r->screen.reactorView, &g, &r->mode};
  std::int32_t imageSize = 0;
  LayOutWindows(r->screen, g, r->reactor.params, ModeNames[Lepesenkenti], imageSize);
  CopyRowCounts(r->screen, r->reactor);
  DrawInitialScreen(r->screen, g, r->reactor, 0);
  UpdateScreen(r->screen, g, r->reactor, Lepesenkenti, ModeNames[Lepesenkenti], 0);
  if (!WritePng(g, argv[7])) return 1;

  SetUpTermGfxRenderer(r->renderer, caps, nullptr);
  if (!SendFrame(*r, size, argv[6])) return 1;
  // The next frame: 50 moves, each drawn as the run draws it in Normal mode.
  r->reactor.redraw = ReactorRedrawHook(r->redraw);
  for (std::int32_t T = 1; T <= 50; ++T) {
    MoveParticle(r->reactor);
    UpdateScreen(r->screen, g, r->reactor, Normal, ModeNames[Normal], T);
  }
  std::string second = std::string(argv[6]) + ".2";
  if (!WritePng(g, (std::string(argv[7]) + ".2").c_str()) || !SendFrame(*r, size, second.c_str()))
    return 1;
  const TermGfxLayout& l = r->renderer.layout;
  std::printf("picture %d %d %d %d\n", l.pixelWidth, l.pixelHeight, l.top, l.cellHeight);
  FreeTermGfxRenderer(r->renderer);
  return 0;
}

// A probe of the terminal graphics renderer for e2e/termgfx_sixel.sh: it
// draws the first screen of W1 (100, 100, 3000, 0.5, 0.8, 0.2, 3) with the
// program's own display code, writes it as a PNG, and writes the bytes the
// presenter sends for that one frame to a terminal of the given size, taken
// as able to show MODE (sixels, kitty or symbols, in direct colour). On
// standard output: "picture WIDTH HEIGHT", the scaled picture's pixels.
//
//   termgfx_probe MODE COLUMNS ROWS CELL_WIDTH CELL_HEIGHT FRAME_FILE PNG_FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "display/screen.h"
#include "platform/graph.h"
#include "platform/png_writer.h"
#include "platform/termgfx/termgfx_render.h"
#include "sim/reactor.h"

namespace {

struct Records {
  GraphSurface surface;
  Screen screen;
  Reactor reactor;
  TermGfxFrame frame;
  TermGfxRenderer renderer;
  TermGfxSink sink;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: %s MODE COLUMNS ROWS CELL_WIDTH CELL_HEIGHT FRAME_FILE PNG_FILE\n", argv[0]);
    return 2;
  }
  TermGfxCaps caps{TermGfxPixels::Symbols, TermGfxColours::Direct};
  if (std::strcmp(argv[1], "sixels") == 0) caps.pixels = TermGfxPixels::Sixels;
  else if (std::strcmp(argv[1], "kitty") == 0) caps.pixels = TermGfxPixels::Kitty;
  else if (std::strcmp(argv[1], "symbols") != 0) return 2;
  const TermGfxSize size{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};

  auto r = std::make_unique<Records>();
  r->reactor.params = SimParams{100, 100, 3000, 0.5, 0.8, 0.2, 3};
  SetUpReactor(r->reactor);
  GraphSurface& g = r->surface;
  InitGraph(g);
  std::int32_t imageSize = 0;
  LayOutWindows(r->screen, g, r->reactor.params, ModeNames[Lepesenkenti], imageSize);
  CopyRowCounts(r->screen, r->reactor);
  DrawInitialScreen(r->screen, g, r->reactor, 0);
  UpdateScreen(r->screen, g, r->reactor, Lepesenkenti, ModeNames[Lepesenkenti], 0);
  if (!WritePng(g, argv[7])) return 1;

  r->frame.width = g.width;
  r->frame.height = g.height;
  std::memcpy(r->frame.pixels, g.pixels, static_cast<std::size_t>(g.width) * g.height);
  std::FILE* out = std::fopen(argv[6], "wb");
  if (out == nullptr) return 1;
  r->sink.fd = fileno(out);
  SetUpTermGfxRenderer(r->renderer, caps, nullptr);
  RenderTermGfxFrame(r->renderer, r->frame, size, r->sink);
  std::fclose(out);
  std::printf("picture %d %d\n", r->renderer.layout.pixelWidth, r->renderer.layout.pixelHeight);
  FreeTermGfxRenderer(r->renderer);
  return r->sink.failed ? 1 : 0;
}

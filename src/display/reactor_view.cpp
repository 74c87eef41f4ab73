#include "display/reactor_view.h"

#include "platform/palette.h"

int ReactorCellColour(std::int32_t state) {
  switch (state) {
    case Wall: return Blue;
    case Empty: return Black;
    case Particle: return Yellow;
    default: return -1;
  }
}

namespace {

void DrawCellThroughHook(void* context, std::int16_t N, std::int16_t M, std::uint16_t row,
                         std::uint16_t column, CellState state) {
  auto& b = *static_cast<ReactorRedraw*>(context);
  DrawReactorCell(*b.view, *b.surface, *b.mode, N, M, row, column, state);
}

}  // namespace

void InitReactorView(ReactorView& v, std::uint16_t x1, std::uint16_t y1, std::uint16_t x2,
                     std::uint16_t y2, std::uint8_t colour) {
  v.header.x1 = x1;
  v.header.y1 = y1;
  v.header.x2 = x2;
  v.header.y2 = y2;
  Assign(v.header.title, CP852("Reakciótér"));
  v.colour = colour;
}

void DrawReactorFrame(const ReactorView& v, GraphSurface& g) { DrawWindowOutline(v.header, g); }

void DrawReactorCell(const ReactorView& v, GraphSurface& g, RunMode mode, std::int16_t N,
                     std::int16_t M, std::uint16_t row, std::uint16_t column, std::int32_t state) {
  if (mode == Csendes) return;
  const int th = TitleLineHeight(g);
  const int x1 = v.header.x1, x2 = v.header.x2, y1 = v.header.y1, y2 = v.header.y2;
  // The block is centred horizontally; vertically only the window's height
  // counts, which puts it a little below the middle of the area under the title.
  const int gx1 = (x1 + x2 - M) / 2;
  const int gx2 = (x1 + x2 + M + 2) / 2;
  const int gy1 = 4 * th + (y2 - y1 - th) / 2 - N / 2;
  SetViewPort(g, gx1, gy1, gx2, y2, true);
  const int colour = ReactorCellColour(state);
  if (colour >= 0) PutPixel(g, column, row, colour);
  SetViewPort(g, 0, 0, GetMaxX(g), GetMaxY(g), true);
}

void DrawReactorGrid(const ReactorView& v, GraphSurface& g, const ReactorGrid& grid,
                     std::int16_t N, std::int16_t M, std::int32_t T) {
  DrawTitleCounter(v.header, g, T);
  for (int i = 0; i <= N + 1; ++i)
    for (int j = 0; j <= M + 1; ++j)
      DrawReactorCell(v, g, Normal, N, M, static_cast<std::uint16_t>(i),
                      static_cast<std::uint16_t>(j), grid[i][j]);
}

CellRedrawHook ReactorRedrawHook(ReactorRedraw& binding) {
  CellRedrawHook hook;
  hook.context = &binding;
  hook.drawCell = DrawCellThroughHook;
  return hook;
}

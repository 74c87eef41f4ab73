// The reactor view: every cell of the grid, walls included, as one pixel in
// the colour of its state, in a block centred horizontally in the window. A
// move redraws its two cells; a full redraw draws every cell, also in the
// quiet mode.
#pragma once

#include <cstdint>

#include "display/layout.h"
#include "display/run_mode.h"
#include "sim/reactor.h"

struct ReactorView {
  WindowHeader header;    // title "Reakciótér"
  std::uint8_t colour = 0;  // kept as given; the cells have colours of their own
};

// Store the rectangle (screen pixels) and the colour; the title is fixed.
void InitReactorView(ReactorView& v, std::uint16_t x1, std::uint16_t y1, std::uint16_t x2,
                     std::uint16_t y2, std::uint8_t colour);

void DrawReactorFrame(const ReactorView& v, GraphSurface& g);

// Palette index of a cell state (wall blue, empty black, particle yellow);
// -1 for an unknown state. The lesson page colours its cells by it too.
int ReactorCellColour(std::int32_t state);

// One cell as one pixel; nothing in the quiet mode or for an unknown state.
void DrawReactorCell(const ReactorView& v, GraphSurface& g, RunMode mode, std::int16_t N,
                     std::int16_t M, std::uint16_t row, std::uint16_t column, std::int32_t state);

// The title counter and every cell of rows 0..N+1, columns 0..M+1, in any mode.
void DrawReactorGrid(const ReactorView& v, GraphSurface& g, const ReactorGrid& grid,
                     std::int16_t N, std::int16_t M, std::int32_t T);

// What the particle move needs to redraw its two cells on the view.
struct ReactorRedraw {
  const ReactorView* view = nullptr;
  GraphSurface* surface = nullptr;
  const RunMode* mode = nullptr;
};

// The move's redraw hook, drawing through `binding` (which must outlive it).
CellRedrawHook ReactorRedrawHook(ReactorRedraw& binding);

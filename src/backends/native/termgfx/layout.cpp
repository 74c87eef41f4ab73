#include "backends/native/termgfx/layout.h"

#include <algorithm>  // Required for: std::clamp, std::min, std::max
#include <cmath>      // Required for: std::lround

namespace {

// The picture at a whole factor of the surface: the largest whole multiple
// that fits the room (1: the surface's own pixels), else the largest whole
// fraction (1/2, 1/3, ...), so that every surface pixel is drawn the same
// size and never at odd widths.
void WholeScale(int width, int height, int roomWidth, int roomHeight, TermGfxLayout& l) {
  if (width <= roomWidth && height <= roomHeight) {
    const int times = std::min(roomWidth / width, roomHeight / height);
    l.pixelWidth = width * times;
    l.pixelHeight = height * times;
    return;
  }
  int part = 2;
  while (width / part > roomWidth || height / part > roomHeight) ++part;
  l.pixelWidth = std::max(1, width / part);
  l.pixelHeight = std::max(1, height / part);
}

}  // namespace

TermGfxLayout PlaceTermGfxPicture(TermGfxPixels pixels, const TermGfxSize& t, int width,
                                  int height) {
  TermGfxLayout l;
  l.terminal = t;
  const bool known = t.cellWidth > 0 && t.cellHeight > 0;
  l.cellWidth = known ? t.cellWidth : TermGfxAssumedCellWidth;
  l.cellHeight = known ? t.cellHeight : TermGfxAssumedCellHeight;
  const int columns = std::clamp(t.columns, 1, TermGfxMaxColumns);
  const int rows = std::clamp(t.rows - 1, 1, TermGfxMaxRows);  // the last row is the line's
  // chafa's sixels stop at the last whole band of six pixel rows its cells hold.
  const int usableHeight =
      pixels == TermGfxPixels::Sixels ? SixelHeight(rows * l.cellHeight) : rows * l.cellHeight;
  if (pixels == TermGfxPixels::Symbols) {
    const double scale = std::min(static_cast<double>(columns) * l.cellWidth / width,
                                  static_cast<double>(usableHeight) / height);
    l.columns = std::clamp(static_cast<int>(std::lround(width * scale / l.cellWidth)), 1, columns);
    l.rows = std::clamp(static_cast<int>(std::lround(height * scale / l.cellHeight)), 1, rows);
  } else {
    // The cells that cover the picture must fit the pixel buffer.
    const int widest = TermGfxMaxPixelWidth / l.cellWidth * l.cellWidth;
    int tallest = TermGfxMaxPixelHeight / l.cellHeight * l.cellHeight;
    if (pixels == TermGfxPixels::Sixels)
      tallest = SixelHeight(tallest - l.cellHeight);  // room for one more row
    WholeScale(width, height, std::min(columns * l.cellWidth, widest),
               std::min(usableHeight, tallest), l);
    l.columns = std::min(columns, (l.pixelWidth + l.cellWidth - 1) / l.cellWidth);
    l.rows = std::min(rows, (l.pixelHeight + l.cellHeight - 1) / l.cellHeight);
    if (pixels == TermGfxPixels::Sixels && SixelHeight(l.rows * l.cellHeight) < l.pixelHeight)
      ++l.rows;
  }
  l.left = (std::max(t.columns, columns) - l.columns) / 2;
  l.top = (std::max(t.rows - 1, rows) - l.rows) / 2;
  return l;
}

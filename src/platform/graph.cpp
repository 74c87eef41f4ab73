#include "platform/graph.h"

#include <algorithm>  // Required for: std::max, std::min, std::swap, std::fill
#include <cstdint>    // Required for: INT32_MAX

#include "platform/font8x8.h"

namespace {

struct Box {
  int x1, y1, x2, y2;  // absolute, inclusive
};

std::uint8_t PaletteIndex(int colour) {
  return static_cast<std::uint8_t>(colour & (PaletteSize - 1));
}

Box Intersection(const Box& a, const Box& b) {
  return {std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
}

Box ViewPortBox(const GraphSurface& g) {
  return {g.viewport.x1, g.viewport.y1, g.viewport.x2, g.viewport.y2};
}

// Where drawing may land: the viewport when clipping, else the whole surface
// (and never beyond the surface).
Box ClipBox(const GraphSurface& g) {
  Box surface{0, 0, g.width - 1, g.height - 1};
  return g.viewport.clip ? Intersection(ViewPortBox(g), surface) : surface;
}

// Fill an absolute rectangle, clipped to the clip box; nothing when empty.
void FillClipped(GraphSurface& g, const Box& clip, int x1, int y1, int x2, int y2,
                 std::uint8_t colour) {
  Box r = Intersection({x1, y1, x2, y2}, clip);
  if (r.x1 > r.x2) return;
  // A frame's side is one pixel wide: a fill call per row would cost more
  // than the pixel.
  if (r.x1 == r.x2) {
    for (int y = r.y1; y <= r.y2; ++y) g.pixels[static_cast<long>(y) * g.width + r.x1] = colour;
    return;
  }
  for (int y = r.y1; y <= r.y2; ++y) {
    std::uint8_t* row = g.pixels + static_cast<long>(y) * g.width;
    std::fill(row + r.x1, row + r.x2 + 1, colour);
  }
}

void PlotClipped(GraphSurface& g, const Box& clip, int x, int y, std::uint8_t colour) {
  if (x >= clip.x1 && x <= clip.x2 && y >= clip.y1 && y <= clip.y2)
    g.pixels[static_cast<long>(y) * g.width + x] = colour;
}

// Both corners in ascending order.
Box Ordered(int x1, int y1, int x2, int y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  return {x1, y1, x2, y2};
}

}  // namespace

bool SetSurfaceSize(GraphSurface& g, int width, int height) {
  if (g.open || width < 1 || height < 1 || width > GraphMaxWidth || height > GraphMaxHeight)
    return false;
  g.width = width;
  g.height = height;
  g.viewport = {0, 0, width - 1, height - 1, true};
  return true;
}

void InitGraph(GraphSurface& g) {
  std::fill(g.pixels, g.pixels + static_cast<long>(g.width) * g.height, Black);
  g.open = true;
  g.viewport = {0, 0, g.width - 1, g.height - 1, true};
  g.colour = White;
  g.backgroundColour = Black;
  g.fillPattern = SolidFill;
  g.fillColour = White;
  g.lineThickness = NormWidth;
  g.textHorizontal = LeftText;
  g.textVertical = TopText;
}

void CloseGraph(GraphSurface& g) { g.open = false; }

void RestoreCrtMode(GraphSurface& g) { g.open = false; }

int GetMaxX(const GraphSurface& g) { return g.width - 1; }

int GetMaxY(const GraphSurface& g) { return g.height - 1; }

int GetMaxColor(const GraphSurface&) { return PaletteSize - 1; }

void SetViewPort(GraphSurface& g, int x1, int y1, int x2, int y2, bool clip) {
  if (x1 < 0 || y1 < 0 || x1 > x2 || y1 > y2 || x2 > GetMaxX(g) || y2 > GetMaxY(g)) return;
  g.viewport = {x1, y1, x2, y2, clip};
}

void ClearViewPort(GraphSurface& g) {
  Box v = ViewPortBox(g);
  Box surface{0, 0, g.width - 1, g.height - 1};
  FillClipped(g, surface, v.x1, v.y1, v.x2, v.y2, g.backgroundColour);
}

void SetLineStyle(GraphSurface& g, int style, unsigned /*pattern*/, int thickness) {
  if (style != SolidLn || (thickness != NormWidth && thickness != ThickWidth)) return;
  g.lineThickness = thickness;
}

void Rectangle(GraphSurface& g, int x1, int y1, int x2, int y2) {
  Box r = Ordered(x1 + g.viewport.x1, y1 + g.viewport.y1, x2 + g.viewport.x1, y2 + g.viewport.y1);
  int h = g.lineThickness / 2;  // the thick line reaches this far to either side
  Box clip = ClipBox(g);
  FillClipped(g, clip, r.x1 - h, r.y1 - h, r.x2 + h, r.y1 + h, g.colour);  // top
  FillClipped(g, clip, r.x1 - h, r.y2 - h, r.x2 + h, r.y2 + h, g.colour);  // bottom
  FillClipped(g, clip, r.x1 - h, r.y1 - h, r.x1 + h, r.y2 + h, g.colour);  // left
  FillClipped(g, clip, r.x2 - h, r.y1 - h, r.x2 + h, r.y2 + h, g.colour);  // right
}

void SetFillStyle(GraphSurface& g, int pattern, int colour) {
  if (pattern != EmptyFill && pattern != SolidFill) return;
  g.fillPattern = pattern;
  g.fillColour = PaletteIndex(colour);
}

void Bar(GraphSurface& g, int x1, int y1, int x2, int y2) {
  Box r = Ordered(x1 + g.viewport.x1, y1 + g.viewport.y1, x2 + g.viewport.x1, y2 + g.viewport.y1);
  std::uint8_t colour = g.fillPattern == EmptyFill ? g.backgroundColour : g.fillColour;
  FillClipped(g, ClipBox(g), r.x1, r.y1, r.x2, r.y2, colour);
}

void PutPixel(GraphSurface& g, int x, int y, int colour) {
  PlotClipped(g, ClipBox(g), x + g.viewport.x1, y + g.viewport.y1, PaletteIndex(colour));
}

void SetTextJustify(GraphSurface& g, int horizontal, int vertical) {
  if ((horizontal != LeftText && horizontal != CenterText) || vertical != TopText) return;
  g.textHorizontal = horizontal;
  g.textVertical = vertical;
}

void OutTextXY(GraphSurface& g, int x, int y, std::string_view text) {
  if (g.textHorizontal == CenterText) x -= TextWidth(g, text) / 2;
  int left = x + g.viewport.x1;
  int top = y + g.viewport.y1;
  Box clip = ClipBox(g);
  // The glyph rows and columns inside the clip box, then only the set bits:
  // the step counter is drawn at every step.
  const int firstRow = std::max(0, clip.y1 - top);
  const int lastRow = std::min(FontGlyphSize - 1, clip.y2 - top);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint8_t* glyph = Font8x8[static_cast<unsigned char>(text[i])];
    int gx = left + static_cast<int>(i) * FontGlyphSize;
    const int firstCol = std::max(0, clip.x1 - gx),
              lastCol = std::min(FontGlyphSize - 1, clip.x2 - gx);
    if (firstCol > lastCol) continue;
    const unsigned inside = (0xffu >> firstCol) & (0xffu << (FontGlyphSize - 1 - lastCol));
    for (int row = firstRow; row <= lastRow; ++row) {
      std::uint8_t* line = g.pixels + static_cast<long>(top + row) * g.width + gx;
      for (unsigned bits = glyph[row] & inside; bits != 0; bits &= bits - 1)
        line[FontGlyphSize - 1 - __builtin_ctz(bits)] = g.colour;  // bit 0x80 >> col
    }
  }
}

int TextWidth(const GraphSurface&, std::string_view text) {
  return static_cast<int>(text.size()) * FontGlyphSize;
}

int TextHeight(const GraphSurface&, std::string_view) { return FontGlyphSize; }

namespace {
std::int64_t ExactImageSize(int x1, int y1, int x2, int y2) {
  Box r = Ordered(x1, y1, x2, y2);
  return GraphImageHeaderSize + std::int64_t{r.x2 - r.x1 + 1} * (r.y2 - r.y1 + 1);
}
}  // namespace

std::int32_t ImageSize(const GraphSurface&, int x1, int y1, int x2, int y2) {
  // Saturates for rectangles no buffer could hold (and whose sides the
  // header could not store anyway).
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(ExactImageSize(x1, y1, x2, y2), INT32_MAX));
}

bool GetImage(const GraphSurface& g, int x1, int y1, int x2, int y2,
              std::span<std::uint8_t> buffer) {
  if (static_cast<std::int64_t>(buffer.size()) < ExactImageSize(x1, y1, x2, y2)) return false;
  Box r = Ordered(x1 + g.viewport.x1, y1 + g.viewport.y1, x2 + g.viewport.x1, y2 + g.viewport.y1);
  int w = r.x2 - r.x1 + 1, h = r.y2 - r.y1 + 1;
  if (w > 0xFFFF || h > 0xFFFF) return false;  // the header could not say so
  buffer[0] = static_cast<std::uint8_t>(w & 0xFF);
  buffer[1] = static_cast<std::uint8_t>(w >> 8);
  buffer[2] = static_cast<std::uint8_t>(h & 0xFF);
  buffer[3] = static_cast<std::uint8_t>(h >> 8);
  std::size_t at = GraphImageHeaderSize;
  for (int y = r.y1; y <= r.y2; ++y)
    for (int x = r.x1; x <= r.x2; ++x) buffer[at++] = SurfacePixel(g, x, y);
  return true;
}

bool PutImage(GraphSurface& g, int x, int y, std::span<const std::uint8_t> image, int operation) {
  if (operation != NormalPut || image.size() < GraphImageHeaderSize) return false;
  int w = image[0] | image[1] << 8, h = image[2] | image[3] << 8;
  if (image.size() < GraphImageHeaderSize + static_cast<std::size_t>(w) * h) return false;
  Box clip = ClipBox(g);
  int left = x + g.viewport.x1, top = y + g.viewport.y1;
  const std::uint8_t* source = image.data() + GraphImageHeaderSize;
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col)
      PlotClipped(g, clip, left + col, top + row, PaletteIndex(source[row * w + col]));
  return true;
}

std::uint8_t SurfacePixel(const GraphSurface& g, int x, int y) {
  if (x < 0 || y < 0 || x >= g.width || y >= g.height) return Black;
  return g.pixels[static_cast<long>(y) * g.width + x];
}

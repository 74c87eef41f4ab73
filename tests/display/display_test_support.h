// Shared helpers of the display tests: a fresh 640 x 480 surface, and pixel
// checks read straight from the surface model and the font table.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "platform/font8x8.h"
#include "platform/graph.h"

inline std::unique_ptr<GraphSurface> OpenSurface(int width = 640, int height = 480) {
  auto g = std::make_unique<GraphSurface>();
  EXPECT_TRUE(SetSurfaceSize(*g, width, height));
  InitGraph(*g);
  return g;
}

inline int Px(const GraphSurface& g, int x, int y) { return SurfacePixel(g, x, y); }

// Number of pixels of `colour` in the inclusive rectangle.
inline int CountColour(const GraphSurface& g, int x1, int y1, int x2, int y2, int colour) {
  int n = 0;
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x) n += Px(g, x, y) == colour;
  return n;
}

// True when every lit pixel of each glyph of `text`, placed with its top-left
// at (x, y), has `colour` on the surface, and every unlit one does not.
inline bool TextAt(const GraphSurface& g, int x, int y, std::string_view text, int colour = 15) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint8_t* glyph = Font8x8[static_cast<unsigned char>(text[i])];
    for (int row = 0; row < 8; ++row)
      for (int col = 0; col < 8; ++col) {
        bool lit = glyph[row] & (0x80 >> col);
        bool shown = Px(g, x + static_cast<int>(i) * 8 + col, y + row) == colour;
        if (lit != shown) return false;
      }
  }
  return true;
}

// True when the 3-pixel outline centred on the rectangle is all `colour`.
inline bool ThickOutline(const GraphSurface& g, int x1, int y1, int x2, int y2, int colour = 15) {
  for (int d = -1; d <= 1; ++d) {
    for (int x = x1 - 1; x <= x2 + 1; ++x)
      if (Px(g, x, y1 + d) != colour || Px(g, x, y2 + d) != colour) return false;
    for (int y = y1 - 1; y <= y2 + 1; ++y)
      if (Px(g, x1 + d, y) != colour || Px(g, x2 + d, y) != colour) return false;
  }
  return true;
}

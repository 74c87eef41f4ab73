// Where the picture lands on the terminal: the whole 640 x 480 screen, its
// aspect kept, as large as the terminal allows, the last row left free.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "backends/native/termgfx/render.h"

namespace {

TEST(TermGfxLayout, SymbolsFillATmuxPaneWithTheAspectKept) {
  // 80 x 24 usable cells of 16 x 32 pixels: 1280 x 768, so the height limits
  // the 4:3 picture to 1024 x 768, 64 x 24 cells, centred.
  TermGfxLayout l = PlaceTermGfxPicture(TermGfxPixels::Symbols, {80, 25, 16, 32}, 640, 480);
  EXPECT_EQ(l.columns, 64);
  EXPECT_EQ(l.rows, 24);
  EXPECT_EQ(l.left, 8);
  EXPECT_EQ(l.top, 0);
}

TEST(TermGfxLayout, UnknownCellsAreTakenAsTwiceAsTallAsWide) {
  TermGfxLayout l = PlaceTermGfxPicture(TermGfxPixels::Symbols, {80, 25, 0, 0}, 640, 480);
  EXPECT_EQ(l.cellWidth * 2, l.cellHeight);
  EXPECT_EQ(l.columns, 64);
  EXPECT_EQ(l.rows, 24);
  // A wide terminal: the height limits, the picture is centred across.
  l = PlaceTermGfxPicture(TermGfxPixels::Symbols, {200, 41, 0, 0}, 640, 480);
  EXPECT_EQ(l.rows, 40);
  EXPECT_EQ(l.columns, 107);  // 40 rows of 1:2 cells hold 4:3 at 106.7 columns
  EXPECT_EQ(l.left, (200 - 107) / 2);
}

TEST(TermGfxLayout, PixelModesMeetTheSurfaceOneToOneWhereTheTerminalHoldsIt) {
  // 100 x 31 cells of 8 x 16: 800 x 480 above the last row.
  TermGfxLayout l = PlaceTermGfxPicture(TermGfxPixels::Sixels, {100, 31, 8, 16}, 640, 480);
  EXPECT_EQ(l.pixelWidth, 640);
  EXPECT_EQ(l.pixelHeight, 480);
  EXPECT_EQ(l.columns, 80);
  EXPECT_EQ(l.rows, 30);
  EXPECT_EQ(l.left, 10);
  EXPECT_EQ(l.top, 0);
}

// Pixel modes: the surface's own 640 x 480 where the terminal has room for
// it, else a whole multiple or fraction of it, as large as the room allows;
// never the odd sizes between (656, 830, 936 ...).
struct WholeScaleCase {
  TermGfxPixels mode;
  TermGfxSize terminal;
  int pixelWidth, pixelHeight;
  const char* why;
};

const WholeScaleCase WholeScaleCases[] = {
    {TermGfxPixels::Sixels, {100, 31, 8, 16}, 640, 480, "30 rows of 16 hold 480 exactly"},
    {TermGfxPixels::Kitty, {82, 42, 8, 16}, 640, 480, "656 across: room, not a size"},
    {TermGfxPixels::Kitty, {83, 60, 10, 20}, 640, 480, "830 across: room, not a size"},
    {TermGfxPixels::Sixels, {120, 40, 9, 18}, 640, 480, "1080 x 702: not yet twice"},
    {TermGfxPixels::Kitty, {80, 25, 10, 20}, 640, 480, "24 rows of 20"},
    {TermGfxPixels::Sixels, {80, 25, 10, 20}, 640, 480, "480 is whole bands of six"},
    {TermGfxPixels::Sixels, {80, 25, 10, 19}, 320, 240, "456 rows: no room, half"},
    {TermGfxPixels::Sixels, {60, 20, 8, 16}, 320, 240, "19 rows of 16 hold 300"},
    {TermGfxPixels::Kitty, {79, 40, 8, 16}, 320, 240, "632 across: half"},
    {TermGfxPixels::Kitty, {30, 10, 8, 16}, 160, 120, "240 x 144: a quarter"},
    {TermGfxPixels::Kitty, {34, 12, 8, 16}, 213, 160, "272 x 176: a third"},
    {TermGfxPixels::Kitty, {200, 60, 10, 20}, 1280, 960, "2000 x 1180: twice"},
    {TermGfxPixels::Sixels, {200, 60, 10, 20}, 1280, 960, "twice in sixels too"},
    {TermGfxPixels::Kitty, {400, 200, 20, 40}, 1920, 1440, "the pixel buffer stops it at 3x"},
    {TermGfxPixels::Kitty, {200, 70, 0, 0}, 1280, 960, "unknown cells: 8 x 16, 1600 x 1104"},
};

TEST(TermGfxLayout, PixelModesDrawTheSurfaceAtAWholeFactor) {
  for (const WholeScaleCase& c : WholeScaleCases) {
    SCOPED_TRACE(c.why);
    const TermGfxLayout l = PlaceTermGfxPicture(c.mode, c.terminal, 640, 480);
    EXPECT_EQ(l.pixelWidth, c.pixelWidth);
    EXPECT_EQ(l.pixelHeight, c.pixelHeight);
    // The cells cover the picture, no more.
    EXPECT_GE(l.columns * l.cellWidth, l.pixelWidth);
    EXPECT_LT((l.columns - 1) * l.cellWidth, l.pixelWidth);
    EXPECT_LE(l.top + l.rows, c.terminal.rows - 1);
  }
}

TEST(TermGfxLayout, PixelModesAreAlwaysTheLargestWholeFactorThatFits) {
  for (TermGfxPixels mode : {TermGfxPixels::Kitty, TermGfxPixels::Sixels}) {
    for (int columns = 10; columns <= 400; columns += 13) {
      for (int rows = 5; rows <= 200; rows += 7) {
        for (int cell : {6, 8, 9, 10, 16}) {
          const TermGfxSize t{columns, rows, cell, cell * 2};
          const TermGfxLayout l = PlaceTermGfxPicture(mode, t, 640, 480);
          SCOPED_TRACE(::testing::Message() << columns << " x " << rows << " cell " << cell);
          // A whole factor: n times, or 1/n of, the surface, the same n both ways.
          const bool times = l.pixelWidth % 640 == 0 && l.pixelHeight == l.pixelWidth / 640 * 480;
          const int part = l.pixelWidth < 640 ? 640 / l.pixelWidth : 0;
          const bool fraction =
              part > 1 && l.pixelWidth == 640 / part && l.pixelHeight == 480 / part;
          ASSERT_TRUE(times || fraction) << l.pixelWidth << " x " << l.pixelHeight;
          // The room it had: the next factor up would not have fitted.
          const int roomWidth = std::min(columns * cell, TermGfxMaxPixelWidth / cell * cell);
          int roomHeight = (rows - 1) * cell * 2;
          if (mode == TermGfxPixels::Sixels) roomHeight = SixelHeight(roomHeight);
          ASSERT_LE(l.pixelWidth, roomWidth);
          ASSERT_LE(l.pixelHeight, roomHeight);
          const int nextWidth = times ? l.pixelWidth + 640 : 640 / (part - 1);
          const int nextHeight = times ? l.pixelHeight + 480 : 480 / (part - 1);
          const int tallest = TermGfxMaxPixelHeight / (cell * 2) * cell * 2;
          ASSERT_TRUE(nextWidth > roomWidth || nextHeight > roomHeight || nextHeight > tallest)
              << "room for " << nextWidth << " x " << nextHeight;
        }
      }
    }
  }
}

TEST(TermGfxLayout, EveryTerminalKeepsThePictureInsideAndTheLastRowFree) {
  for (TermGfxPixels mode : {TermGfxPixels::Symbols, TermGfxPixels::Sixels}) {
    for (int columns = 1; columns <= 300; columns += 7) {
      for (int rows = 2; rows <= 120; rows += 5) {
        for (int cell : {0, 7, 10}) {
          TermGfxLayout l = PlaceTermGfxPicture(mode, {columns, rows, cell, cell * 2}, 640, 480);
          SCOPED_TRACE(::testing::Message() << columns << " x " << rows << " cell " << cell);
          ASSERT_GE(l.columns, 1);
          ASSERT_GE(l.rows, 1);
          ASSERT_GE(l.left, 0);
          ASSERT_GE(l.top, 0);
          ASSERT_LE(l.left + l.columns, columns);
          ASSERT_LE(l.top + l.rows, rows - 1);
          if (mode == TermGfxPixels::Sixels) {
            // The cells hold the picture in whole bands of six pixel rows.
            const int cellPixels = l.rows * l.cellHeight;
            ASSERT_GE(cellPixels - cellPixels % 6, l.pixelHeight);
            ASSERT_GE(l.columns * l.cellWidth, l.pixelWidth);
          }
          // As large as it can be: one more cell across or down would not fit
          // the aspect (within a cell's rounding).
          const double across = double(l.columns) * l.cellWidth,
                       down = double(l.rows) * l.cellHeight;
          if (mode == TermGfxPixels::Symbols && l.columns > 4 && l.rows > 4) {
            ASSERT_NEAR(across / down, 4.0 / 3.0,
                        4.0 / 3.0 * (1.0 / l.columns + 1.0 / l.rows) + 1e-9);
            ASSERT_TRUE(l.columns == columns || l.rows == rows - 1);
          }
        }
      }
    }
  }
}

}  // namespace

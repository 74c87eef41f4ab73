// Where the picture lands on the terminal: the whole 640 x 480 screen, its
// aspect kept, as large as the terminal allows, the last row left free.
#include <gtest/gtest.h>

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

TEST(TermGfxLayout, PixelModesScaleWithTheAspectKeptAndCellsCoverThePicture) {
  // 9 x 18 cells: the picture's pixels do not fall on cell edges.
  TermGfxLayout l = PlaceTermGfxPicture(TermGfxPixels::Sixels, {120, 40, 9, 18}, 640, 480);
  EXPECT_EQ(l.pixelHeight, 39 * 18);
  EXPECT_NEAR(double(l.pixelWidth) / l.pixelHeight, 4.0 / 3.0, 0.005);
  EXPECT_GE(l.columns * 9, l.pixelWidth);
  EXPECT_LT((l.columns - 1) * 9, l.pixelWidth);
  // A huge terminal: the picture stops where its cells fill the buffer, 38
  // rows of 40 pixels.
  l = PlaceTermGfxPicture(TermGfxPixels::Kitty, {400, 200, 20, 40}, 640, 480);
  EXPECT_EQ(l.pixelHeight, 1520);
  EXPECT_EQ(l.pixelWidth, 2027);
  for (TermGfxPixels mode : {TermGfxPixels::Kitty, TermGfxPixels::Sixels}) {
    for (int cell = 7; cell <= 41; ++cell) {
      l = PlaceTermGfxPicture(mode, {400, 200, cell / 2 + 1, cell}, 640, 480);
      EXPECT_LE(l.columns * l.cellWidth, TermGfxMaxPixelWidth) << cell;
      EXPECT_LE(l.rows * l.cellHeight, TermGfxMaxPixelHeight) << cell;
    }
  }
  // Sixels: chafa's image ends on a whole band of six pixel rows, so the
  // picture is scaled to the whole bands its cells hold: 19 rows of 16
  // pixels hold 300 (not 304), 400 across.
  l = PlaceTermGfxPicture(TermGfxPixels::Sixels, {60, 20, 8, 16}, 640, 480);
  EXPECT_EQ(l.pixelHeight, 300);
  EXPECT_EQ(l.pixelWidth, 400);
  EXPECT_EQ(l.rows, 19);
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
          const double across = double(l.columns) * l.cellWidth, down = double(l.rows) * l.cellHeight;
          if (mode == TermGfxPixels::Symbols && l.columns > 4 && l.rows > 4) {
            ASSERT_NEAR(across / down, 4.0 / 3.0, 4.0 / 3.0 * (1.0 / l.columns + 1.0 / l.rows) + 1e-9);
            ASSERT_TRUE(l.columns == columns || l.rows == rows - 1);
          }
        }
      }
    }
  }
}

}  // namespace

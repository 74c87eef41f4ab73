// TERMINAL GRAPHICS, the layout: where the picture of the graphics surface
// goes on the terminal and how large it is drawn.
//
// Limits:
// - The picture keeps the surface's aspect, in the terminal but its last
//   row, which shows the console's newest line. Symbols: scaled to fill it.
//   Pixel modes (sixels, kitty): at the surface's own size (640 x 480) where
//   the terminal has room for it, else at a whole multiple or fraction of it
//   (2x, 3x, ... as the room allows; 1/2, 1/3, ... as it must), never at odd
//   sizes between, so every pixel of the surface is drawn alike.
// - A cell's pixel size comes from TIOCGWINSZ when the terminal gives it;
//   else a cell is taken to be twice as tall as wide (TermGfxAssumedCell).
// - At most TermGfxMaxColumns x TermGfxMaxRows cells and, for pixel modes,
//   TermGfxMaxPixelWidth x TermGfxMaxPixelHeight pixels: a larger terminal
//   shows the picture at that size, centred.
// - Sixels: chafa ends an image on its last whole band of six pixel rows, so
//   the room for the picture is the whole bands its cells hold.
// Dependencies: none beyond the graphics surface's size limits.
#pragma once

#include <cstdint>

#include "platform/graph.h"

// How the terminal shows pixels: block symbols in cells, or real pixels.
enum class TermGfxPixels : std::uint8_t { Symbols, Sixels, Kitty };

// The terminal's size; a cell's pixels are 0 when the terminal does not say.
struct TermGfxSize {
  int columns = 0, rows = 0;
  int cellWidth = 0, cellHeight = 0;
};

// A cell's pixels when the terminal does not tell: the usual 1:2 text cell.
inline constexpr int TermGfxAssumedCellWidth = 8;
inline constexpr int TermGfxAssumedCellHeight = 16;

// The largest picture: cells whose last look is remembered for the
// changed-rows test, and pixels of the scaled picture in pixel modes.
inline constexpr int TermGfxMaxColumns = 400;
inline constexpr int TermGfxMaxRows = 200;
inline constexpr int TermGfxMaxPixelWidth = GraphMaxWidth;
inline constexpr int TermGfxMaxPixelHeight = GraphMaxHeight;

// Where the picture goes on the terminal.
struct TermGfxLayout {
  TermGfxSize terminal;
  int cellWidth = 0, cellHeight = 0;    // the terminal's, or the assumed ones
  int left = 0, top = 0;                // the picture's top-left cell, 0-based
  int columns = 0, rows = 0;            // cells it covers
  int pixelWidth = 0, pixelHeight = 0;  // pixel modes: the scaled picture's pixels
};

// Place a width x height picture on the terminal, aspect kept, the last row
// left for the console line.
TermGfxLayout PlaceTermGfxPicture(TermGfxPixels pixels, const TermGfxSize& terminal, int width,
                                  int height);

// The pixel rows chafa's sixels have in cells of this many: whole bands of six.
inline int SixelHeight(int cellPixels) { return cellPixels - cellPixels % 6; }

// TERMINAL GRAPHICS, the pixels: the surface's palette indices as the RGBA
// pixels chafa is given, in the colours the terminal is drawn in.
//
// Limits: nearest-neighbour scaling only, so that nothing but palette
// colours reaches a terminal that shows real pixels.
// Dependencies: the standard palette; the layout (for the scaled picture).
#pragma once

#include <cstdint>

#include "backends/native/termgfx/layout.h"

// The colours a terminal shows symbols in.
enum class TermGfxColours : std::uint8_t { Direct, Indexed240, Ansi16 };

// The RGB value chafa is given for palette index i in these colours: the
// palette's own, except in 16 colours, where it is chafa's value for the ANSI
// colour that index stands for, so that chafa's nearest match is that colour.
std::uint32_t TermGfxInk(TermGfxColours colours, int index);

// The surface row that picture row y (of pixelHeight) shows, nearest.
int TermGfxSourceRow(int y, int pixelHeight, int height);

// Symbols: the surface as it is (chafa scales it into the cells), width x
// height pixels into rgba.
void SurfaceToRgba(const std::uint8_t* pixels, int width, int height, TermGfxColours colours,
                   std::uint8_t* rgba);
// Pixel modes: the surface scaled to the layout's picture, into an RGBA image
// of the whole cells it covers; black where the cells reach past it.
void ScaledToRgba(const std::uint8_t* pixels, int sourceWidth, int sourceHeight,
                  const TermGfxLayout& l, TermGfxColours colours, std::uint8_t* rgba);

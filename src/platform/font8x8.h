// The surface's built-in 8 x 8 font: one glyph per code page 852 byte, eight
// rows from the top, the leftmost pixel in the highest bit. The table is
// generated (tools/make_font8x8.py); font8x8.cpp is never edited by hand.
#pragma once

#include <cstdint>

inline constexpr int FontGlyphSize = 8;  // glyphs are 8 pixels wide and high

extern const std::uint8_t Font8x8[256][FontGlyphSize];

// The standard 16-colour palette of the graphics surface: the names of the
// indices and the RGB value each one shows as, and the ANSI colour each one
// stands on. Every presenter and writer takes its colours from here.
#pragma once

#include <cstdint>

inline constexpr int PaletteSize = 16;

enum PaletteColour : std::uint8_t {
  Black, Blue, Green, Cyan, Red, Magenta, Brown, LightGray,
  DarkGray, LightBlue, LightGreen, LightCyan, LightRed, LightMagenta, Yellow, White,
};

struct PaletteRgb {
  std::uint8_t red, green, blue;
};

inline constexpr PaletteRgb StandardPalette[PaletteSize] = {
    {0x00, 0x00, 0x00},  //  0 black         000000
    {0x00, 0x00, 0xAA},  //  1 blue          0000AA
    {0x00, 0xAA, 0x00},  //  2 green         00AA00
    {0x00, 0xAA, 0xAA},  //  3 cyan          00AAAA
    {0xAA, 0x00, 0x00},  //  4 red           AA0000
    {0xAA, 0x00, 0xAA},  //  5 magenta       AA00AA
    {0xAA, 0x55, 0x00},  //  6 brown         AA5500
    {0xAA, 0xAA, 0xAA},  //  7 light gray    AAAAAA
    {0x55, 0x55, 0x55},  //  8 dark gray     555555
    {0x55, 0x55, 0xFF},  //  9 light blue    5555FF
    {0x55, 0xFF, 0x55},  // 10 light green   55FF55
    {0x55, 0xFF, 0xFF},  // 11 light cyan    55FFFF
    {0xFF, 0x55, 0x55},  // 12 light red     FF5555
    {0xFF, 0x55, 0xFF},  // 13 light magenta FF55FF
    {0xFF, 0xFF, 0x55},  // 14 yellow        FFFF55
    {0xFF, 0xFF, 0xFF},  // 15 white         FFFFFF
};

// The ANSI colour (0..15) of palette index i: the palette's low three bits
// name blue, green, red, ANSI's red, green, blue; bit 3 is bright in both.
// The console's attributes use the same order, so terminals take it too.
constexpr int AnsiColourOf(int index) {
  constexpr int AnsiOfLow[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  return AnsiOfLow[index & 7] + (index & 8);
}

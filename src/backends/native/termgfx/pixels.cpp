#include "backends/native/termgfx/pixels.h"

#include "platform/palette.h"

namespace {

// chafa's own values for the 16 ANSI colours (its fixed palette), which its
// 16-colour mode matches against.
constexpr std::uint32_t ChafaAnsi16[16] = {
    0x000000, 0x800000, 0x007000, 0x707000, 0x000070, 0x700070, 0x007070, 0xc0c0c0,
    0x404040, 0xff0000, 0x00ff00, 0xffff00, 0x0000ff, 0xff00ff, 0x00ffff, 0xffffff,
};

void PutRgba(std::uint8_t* p, std::uint32_t rgb) {
  p[0] = static_cast<std::uint8_t>(rgb >> 16);
  p[1] = static_cast<std::uint8_t>(rgb >> 8);
  p[2] = static_cast<std::uint8_t>(rgb);
  p[3] = 255;
}

}  // namespace

std::uint32_t TermGfxInk(TermGfxColours colours, int index) {
  index &= PaletteSize - 1;
  if (colours == TermGfxColours::Ansi16) return ChafaAnsi16[AnsiColourOf(index)];
  const PaletteRgb c = StandardPalette[index];
  return std::uint32_t{c.red} << 16 | std::uint32_t{c.green} << 8 | c.blue;
}

int TermGfxSourceRow(int y, int pixelHeight, int height) {
  return static_cast<int>((2L * y + 1) * height / (2L * pixelHeight));
}

void SurfaceToRgba(const std::uint8_t* pixels, int width, int height, TermGfxColours colours,
                   std::uint8_t* rgba) {
  std::uint32_t ink[PaletteSize];
  for (int i = 0; i < PaletteSize; ++i) ink[i] = TermGfxInk(colours, i);
  const int n = width * height;
  for (int i = 0; i < n; ++i) PutRgba(rgba + 4 * i, ink[pixels[i] & (PaletteSize - 1)]);
}

void ScaledToRgba(const std::uint8_t* pixels, int sourceWidth, int sourceHeight,
                  const TermGfxLayout& l, TermGfxColours colours, std::uint8_t* rgba) {
  const int width = l.columns * l.cellWidth, height = l.rows * l.cellHeight;
  std::uint32_t ink[PaletteSize];
  for (int i = 0; i < PaletteSize; ++i) ink[i] = TermGfxInk(colours, i);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = rgba + 4L * y * width;
    if (y >= l.pixelHeight) {
      for (int x = 0; x < width; ++x) PutRgba(row + 4 * x, 0);
      continue;
    }
    const std::uint8_t* source =
        pixels + static_cast<long>(TermGfxSourceRow(y, l.pixelHeight, sourceHeight)) * sourceWidth;
    for (int x = 0; x < width; ++x) {
      std::uint32_t c = 0;
      if (x < l.pixelWidth)
        c = ink[source[(2L * x + 1) * sourceWidth / (2L * l.pixelWidth)] & (PaletteSize - 1)];
      PutRgba(row + 4 * x, c);
    }
  }
}

#include "output/png_writer.h"

#include <png.h>  // Required for: the simplified write API (png_image_write_to_stdio)

#include "platform/graph.h"
#include "output/output_file.h"

bool WritePngStream(const GraphSurface& g, std::FILE* stream) {
  std::uint8_t colourMap[PaletteSize * 3];
  for (int i = 0; i < PaletteSize; ++i) {
    colourMap[3 * i] = StandardPalette[i].red;
    colourMap[3 * i + 1] = StandardPalette[i].green;
    colourMap[3 * i + 2] = StandardPalette[i].blue;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(g.width);
  image.height = static_cast<png_uint_32>(g.height);
  image.format = PNG_FORMAT_RGB_COLORMAP;
  image.colormap_entries = PaletteSize;
  // The surface's rows are already palette indices, one byte each.
  int ok = png_image_write_to_stdio(&image, stream, 0, g.pixels, g.width, colourMap);
  png_image_free(&image);
  return ok != 0 && std::ferror(stream) == 0;
}

bool WritePng(const GraphSurface& g, const char* path) {
  return WriteOutputFile(path, [&g](std::FILE* stream) { return WritePngStream(g, stream); });
}

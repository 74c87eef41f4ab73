#include "output/png_writer.h"

#include <png.h>  // Required for: the write API with text chunks

#include <csetjmp>

#include "output/output_file.h"
#include "platform/graph.h"

namespace {

// Text chunks a picture carries at most.
constexpr int PngTextCapacity = 8;

}  // namespace

// libpng reports a failure by longjmp: nothing here has a destructor to skip.
bool WritePngStream(const GraphSurface& g, std::FILE* stream, const PngText* texts,
                    int textCount) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, stream);
  // Four bits a pixel: the surface's bytes are indices into 16 colours.
  png_set_IHDR(png, info, static_cast<png_uint_32>(g.width), static_cast<png_uint_32>(g.height), 4,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color colours[PaletteSize];
  for (int i = 0; i < PaletteSize; ++i)
    colours[i] = {StandardPalette[i].red, StandardPalette[i].green, StandardPalette[i].blue};
  png_set_PLTE(png, info, colours, PaletteSize);
  png_text chunks[PngTextCapacity] = {};
  const int chunkCount = textCount < PngTextCapacity ? textCount : PngTextCapacity;
  for (int i = 0; i < chunkCount; ++i) {
    chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
    chunks[i].key = const_cast<png_charp>(texts[i].key);  // libpng only reads them
    chunks[i].text = const_cast<png_charp>(texts[i].text);
  }
  if (chunkCount > 0) png_set_text(png, info, chunks, chunkCount);
  png_write_info(png, info);
  png_set_packing(png);  // one byte a pixel in, two pixels a byte out
  for (int y = 0; y < g.height; ++y)
    png_write_row(png, g.pixels + static_cast<std::ptrdiff_t>(y) * g.width);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::ferror(stream) == 0;
}

bool WritePng(const GraphSurface& g, const char* path, const PngText* texts, int textCount) {
  return WriteOutputFile(path, [&](std::FILE* stream) {
    return WritePngStream(g, stream, texts, textCount);
  });
}

// The animated GIF writer of gif_writer.h, on giflib's streaming encoder.
#include "output/gif_writer.h"

#include <gif_lib.h>  // Required for: EGifOpen and the frame-by-frame encoder

#include "platform/graph.h"
#include "platform/palette.h"

namespace {

// giflib's output hook: every byte goes to the caller's stream.
int WriteToStream(GifFileType* gif, const GifByteType* bytes, int length) {
  auto& w = *static_cast<GifWriter*>(gif->UserData);
  return static_cast<int>(std::fwrite(bytes, 1, static_cast<std::size_t>(length), w.stream));
}

// The NETSCAPE2.0 application block: loop count 0, for ever.
bool PutLoopForever(GifFileType* gif) {
  static const GifByteType application[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static const GifByteType loop[] = {1, 0, 0};  // sub-block 1, count 0 (16-bit little endian)
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof application, application) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof loop, loop) == GIF_OK &&
         EGifPutExtensionTrailer(gif) == GIF_OK;
}

// Give up on the file: free the encoder, remember the failure.
bool Fail(GifWriter& w) {
  if (w.gif) EGifCloseFile(w.gif, nullptr);
  w.gif = nullptr;
  w.stream = nullptr;
  return false;
}

}  // namespace

bool OpenGif(GifWriter& w, std::FILE* stream, int width, int height, int delayCentiseconds) {
  w = GifWriter{};
  if (width < 1 || width > GifRowCapacity || height < 1) return false;
  w.stream = stream;
  w.width = width;
  w.height = height;
  w.delayCentiseconds = delayCentiseconds;
  int error = 0;
  w.gif = EGifOpen(&w, WriteToStream, &error);
  if (!w.gif) return Fail(w);
  GifColorType colours[PaletteSize];
  for (int i = 0; i < PaletteSize; ++i)
    colours[i] = {StandardPalette[i].red, StandardPalette[i].green, StandardPalette[i].blue};
  ColorMapObject palette{PaletteSize, 4, false, colours};  // copied by giflib
  EGifSetGifVersion(w.gif, true);  // GIF89a: frame delays and the loop block
  if (EGifPutScreenDesc(w.gif, width, height, 4, Black, &palette) != GIF_OK ||
      !PutLoopForever(w.gif))
    return Fail(w);
  return true;
}

bool AddGifFrame(GifWriter& w, const GraphSurface& g) {
  if (!w.gif || g.width != w.width || g.height != w.height) return Fail(w);
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = w.delayCentiseconds;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const auto length = static_cast<int>(EGifGCBToExtension(&control, extension));
  if (EGifPutExtension(w.gif, GRAPHICS_EXT_FUNC_CODE, length, extension) != GIF_OK ||
      EGifPutImageDesc(w.gif, 0, 0, w.width, w.height, false, nullptr) != GIF_OK)
    return Fail(w);
  for (int y = 0; y < w.height; ++y) {
    const std::uint8_t* pixels = g.pixels + static_cast<std::ptrdiff_t>(y) * g.width;
    for (int x = 0; x < w.width; ++x) w.row[x] = pixels[x] & (PaletteSize - 1);
    if (EGifPutLine(w.gif, w.row, w.width) != GIF_OK) return Fail(w);
  }
  ++w.frames;
  return true;
}

bool AddGifComment(GifWriter& w, const char* text) {
  if (!w.gif) return false;
  return EGifPutComment(w.gif, text) == GIF_OK || Fail(w);
}

bool CloseGif(GifWriter& w) {
  if (!w.gif) return false;
  int error = 0;
  const bool closed = EGifCloseFile(w.gif, &error) == GIF_OK;
  w.gif = nullptr;
  return closed && std::ferror(w.stream) == 0;
}

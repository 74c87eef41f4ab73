// Writing the graphics surface as the frames of a looping animated GIF,
// through giflib, a frame at a time: nothing but the current frame is kept,
// so a long animation needs no more memory than a short one. The caller owns
// the stream (and so where the file goes and when it counts as complete).
#pragma once

#include <cstdint>
#include <cstdio>

struct GraphSurface;
struct GifFileType;  // giflib's

// Widest surface a frame may come from (the largest graphics surface).
inline constexpr int GifRowCapacity = 2048;

struct GifWriter {
  GifFileType* gif = nullptr;  // null: not open, or failed
  std::FILE* stream = nullptr;
  int width = 0, height = 0;
  int delayCentiseconds = 0;   // how long each frame shows
  std::int32_t frames = 0;     // frames written
  std::uint8_t row[GifRowCapacity];  // giflib wants a writable row
};

// Start an animation of width x height frames in the standard palette, that
// loops for ever, on `stream` (left open). Allocates giflib's encoder here,
// never per frame. False when it cannot be started or written.
bool OpenGif(GifWriter& w, std::FILE* stream, int width, int height, int delayCentiseconds);

// Append the whole surface as the next frame; false on a write failure (the
// writer is then closed and takes no more frames).
bool AddGifFrame(GifWriter& w, const GraphSurface& g);

// A comment extension (what made the animation), of any length;
// false on a write failure (the writer is then closed).
bool AddGifComment(GifWriter& w, const char* text);

// Write the trailer and free the encoder; false when anything failed since
// OpenGif. The stream stays open for the caller to flush and close.
bool CloseGif(GifWriter& w);

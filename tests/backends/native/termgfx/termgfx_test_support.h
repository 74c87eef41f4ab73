// What the terminal graphics tests share: frames of palette colours, a
// renderer that writes into a temporary file, and the bytes read back.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/console.h"
#include "platform/palette.h"
#include "backends/native/termgfx/render.h"
#include "screen_reader.h"

// Fill the rectangle (inclusive) of the frame with a palette colour.
inline void FillFrame(TermGfxFrame& f, int x1, int y1, int x2, int y2, int colour) {
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x) f.pixels[y * f.width + x] = static_cast<std::uint8_t>(colour);
}

inline std::unique_ptr<TermGfxFrame> BlackFrame(int width = 640, int height = 480) {
  auto f = std::make_unique<TermGfxFrame>();
  f->width = width;
  f->height = height;
  FillFrame(*f, 0, 0, width - 1, height - 1, Black);
  for (ConsoleCell& c : f->line) c = ConsoleCell{};
  return f;
}

// Sixteen upright bands of 40 pixels, palette colour i in band i.
inline std::unique_ptr<TermGfxFrame> BandFrame() {
  auto f = BlackFrame();
  for (int i = 0; i < PaletteSize; ++i) FillFrame(*f, 40 * i, 0, 40 * i + 39, 479, i);
  return f;
}

// A renderer whose sink is a temporary file.
struct RenderRig {
  std::unique_ptr<TermGfxRenderer> renderer = std::make_unique<TermGfxRenderer>();
  std::unique_ptr<TermGfxSink> sink = std::make_unique<TermGfxSink>();
  std::FILE* file = std::tmpfile();

  explicit RenderRig(TermGfxCaps caps) {
    SetUpTermGfxRenderer(*renderer, caps, nullptr);
    sink->fd = fileno(file);
  }
  ~RenderRig() {
    FreeTermGfxRenderer(*renderer);
    std::fclose(file);
  }
  // The bytes one frame writes.
  std::string Render(const TermGfxFrame& f, TermGfxSize size) {
    EXPECT_EQ(ftruncate(fileno(file), 0), 0);
    lseek(fileno(file), 0, SEEK_SET);
    RenderTermGfxFrame(*renderer, f, size, *sink);
    EXPECT_FALSE(sink->failed);
    std::string bytes(static_cast<std::size_t>(lseek(fileno(file), 0, SEEK_CUR)), '\0');
    EXPECT_EQ(pread(fileno(file), bytes.data(), bytes.size(), 0),
              static_cast<ssize_t>(bytes.size()));
    return bytes;
  }
};

// A tmux pane's worth: 80 x 25 cells of 16 x 32 pixels.
inline constexpr TermGfxSize Pane80x25{80, 25, 16, 32};

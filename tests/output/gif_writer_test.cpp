// The GIF writer's stream: a GIF89a header of the surface's size, the loop
// block before the first frame, one frame per call, the trailer at the end;
// and failures it must report rather than hide.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "output/gif_writer.h"
#include "platform/graph.h"

namespace {

// Everything written to a temporary stream, read back.
std::string Contents(std::FILE* stream) {
  std::fflush(stream);
  std::rewind(stream);
  std::string bytes;
  for (int c; (c = std::fgetc(stream)) != EOF;) bytes.push_back(static_cast<char>(c));
  return bytes;
}

int Count(const std::string& haystack, const std::string& needle) {
  int n = 0;
  for (auto at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
    ++n;
  return n;
}

}  // namespace

TEST(GifWriter, WritesALoopingAnimationFrameByFrame) {
  auto g = std::make_unique<GraphSurface>();
  InitGraph(*g);
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  auto w = std::make_unique<GifWriter>();
  ASSERT_TRUE(OpenGif(*w, stream, 640, 480, 10));
  for (int frame = 0; frame < 3; ++frame) {
    PutPixel(*g, frame, frame, Yellow);
    ASSERT_TRUE(AddGifFrame(*w, *g));
  }
  EXPECT_EQ(w->frames, 3);
  ASSERT_TRUE(AddGifComment(*w, "lemvaris-batch 0.2.0"));
  ASSERT_TRUE(CloseGif(*w));
  const std::string gif = Contents(stream);
  std::fclose(stream);

  ASSERT_GT(gif.size(), 13u + 48u);
  EXPECT_EQ(gif.substr(0, 6), "GIF89a");
  EXPECT_EQ(static_cast<unsigned char>(gif[6]) | static_cast<unsigned char>(gif[7]) << 8, 640);
  EXPECT_EQ(static_cast<unsigned char>(gif[8]) | static_cast<unsigned char>(gif[9]) << 8, 480);
  // The 16-colour table follows the screen descriptor, then the loop block.
  EXPECT_EQ(gif.substr(13 + 14 * 3, 3), "\xFF\xFF\x55");  // entry 14, yellow
  EXPECT_EQ(gif.substr(13 + 48, 3), "\x21\xFF\x0B");
  EXPECT_EQ(gif.substr(13 + 48 + 3, 11), "NETSCAPE2.0");
  EXPECT_EQ(gif.substr(13 + 48 + 14, 5), std::string("\x03\x01\x00\x00\x00", 5));  // for ever
  // One graphics control block, 0.1 s, per frame; the trailer last.
  EXPECT_EQ(Count(gif, std::string("\x21\xF9\x04\x04\x0A\x00", 6)), 3);
  EXPECT_EQ(gif.back(), ';');
  // The comment extension: one sub-block of its 20 bytes, then the end.
  EXPECT_EQ(Count(gif, std::string("\x21\xFE\x14lemvaris-batch 0.2.0\x00", 24)), 1);
}

TEST(GifWriter, ReportsAStreamThatCannotBeWritten) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (!full) GTEST_SKIP() << "no /dev/full";
  std::setvbuf(full, nullptr, _IONBF, 0);  // every write reaches the device
  auto g = std::make_unique<GraphSurface>();
  InitGraph(*g);
  auto w = std::make_unique<GifWriter>();
  const bool opened = OpenGif(*w, full, 640, 480, 10);
  const bool added = opened && AddGifFrame(*w, *g);
  EXPECT_FALSE(added && CloseGif(*w));
  std::fclose(full);
}

TEST(GifWriter, RefusesAFrameOfAnotherSizeAndThenEverything) {
  auto g = std::make_unique<GraphSurface>();
  ASSERT_TRUE(SetSurfaceSize(*g, 320, 200));
  InitGraph(*g);
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  auto w = std::make_unique<GifWriter>();
  ASSERT_TRUE(OpenGif(*w, stream, 640, 480, 10));
  EXPECT_FALSE(AddGifFrame(*w, *g));
  EXPECT_FALSE(CloseGif(*w));
  EXPECT_EQ(w->frames, 0);
  std::fclose(stream);
  EXPECT_FALSE(OpenGif(*w, nullptr, GifRowCapacity + 1, 10, 10));  // wider than a row
}

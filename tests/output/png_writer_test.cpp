#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/graph.h"
#include "output/png_writer.h"

namespace {

// Decode a PNG with netpbm's pngtopnm (not our code) into RGB triples.
bool DecodeWithPngtopnm(const std::string& png, int& width, int& height,
                        std::vector<unsigned char>& rgb) {
  std::string ppm = png + ".ppm";
  std::string command = "pngtopnm '" + png + "' > '" + ppm + "'";
  if (std::system(command.c_str()) != 0) return false;
  std::ifstream in(ppm, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  in >> magic >> width >> height >> maxValue;
  in.get();  // the single blank after the header
  if (magic != "P6" || maxValue != 255) return false;
  rgb.assign(std::istreambuf_iterator<char>(in), {});
  std::filesystem::remove(ppm);
  return rgb.size() == static_cast<std::size_t>(width) * height * 3;
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + name)).string();
}

}  // namespace

TEST(PngWriter, DecodesToTheSurfacePixelsInTheStandardPalette) {
  for (auto [w, h] : {std::pair{37, 23}, std::pair{640, 480}}) {
    auto g = std::make_unique<GraphSurface>();
    ASSERT_TRUE(SetSurfaceSize(*g, w, h));
    InitGraph(*g);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) PutPixel(*g, x, y, (x * 7 + y * 3 + x * y) % 16);
    OutTextXY(*g, 1, 1, "Lemvaris");

    std::string path = TempPath("_surface.png");
    const PngText texts[] = {{"Software", "lemvaris-batch 0.2.0"}, {"Description", "T=7"}};
    ASSERT_TRUE(WritePng(*g, path.c_str(), texts, 2));
    std::ifstream file(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    EXPECT_NE(bytes.find(std::string("tEXtSoftware\0lemvaris-batch 0.2.0", 32)), std::string::npos);
    EXPECT_NE(bytes.find(std::string("tEXtDescription\0T=7", 19)), std::string::npos);
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    ASSERT_TRUE(DecodeWithPngtopnm(path, width, height, rgb))
        << "pngtopnm (netpbm) failed on " << path;
    std::filesystem::remove(path);
    ASSERT_EQ(width, w);
    ASSERT_EQ(height, h);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const PaletteRgb& c = StandardPalette[SurfacePixel(*g, x, y)];
        const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
        if (p[0] != c.red || p[1] != c.green || p[2] != c.blue) ++wrong;
      }
    EXPECT_EQ(wrong, 0) << w << " x " << h;
  }
}

TEST(PngWriter, ReportsAFileThatCannotBeWritten) {
  auto g = std::make_unique<GraphSurface>();
  InitGraph(*g);
  EXPECT_FALSE(WritePng(*g, "/nonexistent-directory/surface.png"));
}

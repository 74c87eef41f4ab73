#include <gtest/gtest.h>

#include <memory>
#include <string_view>
#include <vector>

#include "platform/font8x8.h"
#include "platform/graph.h"
#include "text/shortstring.h"

namespace {

std::unique_ptr<GraphSurface> OpenSurface(int width = GraphDefaultWidth,
                                          int height = GraphDefaultHeight) {
  auto g = std::make_unique<GraphSurface>();
  EXPECT_TRUE(SetSurfaceSize(*g, width, height));
  InitGraph(*g);
  return g;
}

// Paint the whole surface one colour, leaving the drawing state as it was.
void Flood(GraphSurface& g, int colour) {
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x) g.pixels[y * g.width + x] = static_cast<std::uint8_t>(colour);
}

// Pixels inside [x1..x2] x [y1..y2] have colour inside, all others outside.
void ExpectOnlyBox(const GraphSurface& g, int x1, int y1, int x2, int y2, int inside, int outside) {
  int wrong = 0;
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x) {
      bool in = x >= x1 && x <= x2 && y >= y1 && y <= y2;
      if (SurfacePixel(g, x, y) != (in ? inside : outside) && ++wrong <= 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << int(SurfacePixel(g, x, y));
    }
  EXPECT_EQ(wrong, 0);
}

// The text's glyphs from the font table at absolute (left, top): glyph pixels
// in colour, the rest of each cell in background.
void ExpectText(const GraphSurface& g, int left, int top, std::string_view text, int colour,
                int background) {
  int wrong = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    for (int row = 0; row < 8; ++row)
      for (int col = 0; col < 8; ++col) {
        bool on = Font8x8[static_cast<unsigned char>(text[i])][row] & (0x80 >> col);
        int x = left + static_cast<int>(i) * 8 + col, y = top + row;
        if (SurfacePixel(g, x, y) != (on ? colour : background) && ++wrong <= 5)
          ADD_FAILURE() << "character " << i << " pixel (" << x << ", " << y << ")";
      }
  EXPECT_EQ(wrong, 0);
}

int CountColour(const GraphSurface& g, int colour) {
  int n = 0;
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x) n += SurfacePixel(g, x, y) == colour;
  return n;
}

// On the thin outline of the rectangle (x1, y1)-(x2, y2)?
bool OnOutline(int x, int y, int x1, int y1, int x2, int y2) {
  bool inX = x >= x1 && x <= x2, inY = y >= y1 && y <= y2;
  return (inX && (y == y1 || y == y2)) || (inY && (x == x1 || x == x2));
}

// Within one pixel (in both directions) of the thin outline?
bool NearOutline(int x, int y, int x1, int y1, int x2, int y2) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (OnOutline(x + dx, y + dy, x1, y1, x2, y2)) return true;
  return false;
}

}  // namespace

TEST(GraphSurface, InitGraphOpensCleanWithTheDocumentedState) {
  auto g = std::make_unique<GraphSurface>();
  EXPECT_FALSE(g->open);
  InitGraph(*g);
  // Disturb every piece of state, then open again.
  SetViewPort(*g, 10, 10, 20, 20, true);
  SetFillStyle(*g, EmptyFill, 3);
  SetLineStyle(*g, SolidLn, 0, ThickWidth);
  SetTextJustify(*g, CenterText, TopText);
  g->colour = 4;
  g->backgroundColour = 2;
  Flood(*g, 9);
  CloseGraph(*g);
  EXPECT_FALSE(g->open);
  InitGraph(*g);

  EXPECT_TRUE(g->open);
  EXPECT_EQ(GetMaxX(*g), 639);
  EXPECT_EQ(GetMaxY(*g), 479);
  EXPECT_EQ(GetMaxColor(*g), 15);
  EXPECT_EQ(g->colour, 15);
  EXPECT_EQ(g->backgroundColour, 0);
  EXPECT_EQ(g->fillPattern, SolidFill);
  EXPECT_EQ(g->fillColour, 15);
  EXPECT_EQ(g->lineThickness, NormWidth);
  EXPECT_EQ(g->textHorizontal, LeftText);
  EXPECT_EQ(g->textVertical, TopText);
  EXPECT_EQ(g->viewport.x1, 0);
  EXPECT_EQ(g->viewport.y1, 0);
  EXPECT_EQ(g->viewport.x2, 639);
  EXPECT_EQ(g->viewport.y2, 479);
  EXPECT_TRUE(g->viewport.clip);
  EXPECT_EQ(CountColour(*g, 0), 640 * 480);
  // The default fill is solid white.
  Bar(*g, 0, 0, 0, 0);
  EXPECT_EQ(SurfacePixel(*g, 0, 0), 15);

  RestoreCrtMode(*g);
  EXPECT_FALSE(g->open);
}

TEST(GraphSurface, SizeIsChosenBeforeOpeningWithinTheLimits) {
  auto g = std::make_unique<GraphSurface>();
  EXPECT_FALSE(SetSurfaceSize(*g, 0, 480));
  EXPECT_FALSE(SetSurfaceSize(*g, GraphMaxWidth + 1, 480));
  EXPECT_FALSE(SetSurfaceSize(*g, 640, GraphMaxHeight + 1));
  ASSERT_TRUE(SetSurfaceSize(*g, 2048, 1536));
  InitGraph(*g);
  EXPECT_EQ(GetMaxX(*g), 2047);
  EXPECT_EQ(GetMaxY(*g), 1535);
  EXPECT_FALSE(SetSurfaceSize(*g, 640, 480));  // not while open
  Bar(*g, 2040, 1530, 3000, 3000);             // clipped at the surface's corner
  EXPECT_EQ(CountColour(*g, 15), 8 * 6);
  CloseGraph(*g);
  ASSERT_TRUE(SetSurfaceSize(*g, 320, 200));
  InitGraph(*g);
  EXPECT_EQ(GetMaxX(*g), 319);
  EXPECT_EQ(g->viewport.x2, 319);
  EXPECT_EQ(g->viewport.y2, 199);
}

TEST(GraphSurface, ThickRectangleCoversExactlyThePixelsWithinOneOfItsOutline) {
  auto g = OpenSurface();
  SetLineStyle(*g, SolidLn, 0, ThickWidth);
  Rectangle(*g, 6, 6, 634, 474);  // the screen border
  int wrong = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if ((SurfacePixel(*g, x, y) == 15) != NearOutline(x, y, 6, 6, 634, 474)) ++wrong;
  EXPECT_EQ(wrong, 0);
  // Square corners, three pixels each way.
  EXPECT_EQ(SurfacePixel(*g, 5, 5), 15);
  EXPECT_EQ(SurfacePixel(*g, 4, 5), 0);
  EXPECT_EQ(SurfacePixel(*g, 7, 7), 15);
  EXPECT_EQ(SurfacePixel(*g, 8, 8), 0);
  EXPECT_EQ(SurfacePixel(*g, 635, 475), 15);
  EXPECT_EQ(SurfacePixel(*g, 636, 475), 0);
  EXPECT_EQ(SurfacePixel(*g, 320, 473), 15);
  EXPECT_EQ(SurfacePixel(*g, 320, 472), 0);
}

TEST(GraphSurface, RectangleIsViewportRelativeAndThinByDefault) {
  auto g = OpenSurface();
  SetViewPort(*g, 100, 50, 300, 200, true);
  Rectangle(*g, 20, 15, 10, 5);  // corners in either order
  int wrong = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if ((SurfacePixel(*g, x, y) == 15) != OnOutline(x, y, 110, 55, 120, 65)) ++wrong;
  EXPECT_EQ(wrong, 0);
  // A thick outline on the viewport's edge loses its outer pixel row.
  Flood(*g, 0);
  SetLineStyle(*g, SolidLn, 0, ThickWidth);
  Rectangle(*g, 0, 0, 200, 150);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      bool expected =
          NearOutline(x, y, 100, 50, 300, 200) && x >= 100 && x <= 300 && y >= 50 && y <= 200;
      if ((SurfacePixel(*g, x, y) == 15) != expected) ++wrong;
    }
  EXPECT_EQ(wrong, 0);
  // Unsupported line styles leave the thickness alone.
  SetLineStyle(*g, 1, 0, NormWidth);
  SetLineStyle(*g, SolidLn, 0, 2);
  EXPECT_EQ(g->lineThickness, ThickWidth);
}

TEST(GraphSurface, BarFillsInclusivelyWithCornersInEitherOrder) {
  auto g = OpenSurface();
  SetFillStyle(*g, SolidFill, 14);
  Bar(*g, 20, 30, 10, 25);
  ExpectOnlyBox(*g, 10, 25, 20, 30, 14, 0);
  Bar(*g, 10, 30, 20, 25);
  Bar(*g, 20, 25, 10, 30);
  ExpectOnlyBox(*g, 10, 25, 20, 30, 14, 0);
  // The empty pattern fills with the background colour, whatever colour it names.
  Flood(*g, 6);
  SetFillStyle(*g, EmptyFill, 14);
  Bar(*g, 10, 25, 20, 30);
  ExpectOnlyBox(*g, 10, 25, 20, 30, 0, 6);
  // Colours beyond the palette wrap into it.
  SetFillStyle(*g, SolidFill, 17);
  Bar(*g, 0, 0, 0, 0);
  EXPECT_EQ(SurfacePixel(*g, 0, 0), 1);
}

TEST(GraphSurface, DrawingIsClippedAtTheViewportEdges) {
  auto g = OpenSurface();
  SetViewPort(*g, 100, 100, 199, 149, true);
  Bar(*g, -10, -10, 300, 300);
  ExpectOnlyBox(*g, 100, 100, 199, 149, 15, 0);

  Flood(*g, 0);
  PutPixel(*g, -1, 0, 4);
  PutPixel(*g, 0, -1, 4);
  PutPixel(*g, 100, 49, 4);
  PutPixel(*g, 99, 50, 4);
  EXPECT_EQ(CountColour(*g, 4), 0);
  PutPixel(*g, 0, 0, 4);
  PutPixel(*g, 99, 49, 5);
  EXPECT_EQ(SurfacePixel(*g, 100, 100), 4);
  EXPECT_EQ(SurfacePixel(*g, 199, 149), 5);
  EXPECT_EQ(CountColour(*g, 0), 640 * 480 - 2);

  // Text over the right edge: the columns inside are drawn, the rest not.
  Flood(*g, 0);
  OutTextXY(*g, 95, 10, "WW");
  int left = 0, wrong = 0;
  for (int row = 0; row < 8; ++row)
    for (int col = 0; col < 16; ++col) {
      int x = 195 + col, y = 110 + row;
      bool on = Font8x8['W'][row] & (0x80 >> (col % 8));
      bool expected = on && x <= 199;
      left += expected;
      if ((SurfacePixel(*g, x, y) == 15) != expected) ++wrong;
    }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(left, 0);
  EXPECT_EQ(CountColour(*g, 15), left);
}

// Text across each side of a viewport, and across the surface's own edge
// with clipping off: exactly the glyph pixels inside are drawn.
TEST(GraphSurface, TextIsClippedOnEverySide) {
  auto g = OpenSurface();
  struct Case {
    int vx1, vy1, vx2, vy2;
    bool clip;
    int x, y;  // text position, viewport-relative
  };
  const Case cases[] = {
      {100, 100, 199, 149, true, -13, 20},  {100, 100, 199, 149, true, 40, -5},
      {100, 100, 199, 149, true, 40, 45},   {100, 100, 199, 149, true, -20, -3},
      {100, 100, 199, 149, true, 90, 46},   {600, 470, 639, 479, false, 20, 5},
      {0, 0, 639, 479, false, -9, -7},
  };
  constexpr std::string_view text = "W@#";
  for (const Case& c : cases) {
    Flood(*g, 0);
    SetViewPort(*g, c.vx1, c.vy1, c.vx2, c.vy2, c.clip);
    OutTextXY(*g, c.x, c.y, text);
    const int cx1 = c.clip ? c.vx1 : 0, cy1 = c.clip ? c.vy1 : 0;
    const int cx2 = c.clip ? c.vx2 : 639, cy2 = c.clip ? c.vy2 : 479;
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        const int col = x - (c.vx1 + c.x), row = y - (c.vy1 + c.y);
        bool on = col >= 0 && col < 8 * static_cast<int>(text.size()) && row >= 0 && row < 8 &&
                  (Font8x8[static_cast<unsigned char>(text[col / 8])][row] & (0x80 >> (col % 8)));
        on = on && x >= cx1 && x <= cx2 && y >= cy1 && y <= cy2;
        wrong += (SurfacePixel(*g, x, y) == 15) != on;
      }
    EXPECT_EQ(wrong, 0) << "text at " << c.x << "," << c.y << " in " << c.vx1 << "," << c.vy1;
  }
}

TEST(GraphSurface, ViewPortOutsideTheSurfaceIsRefused) {
  auto g = OpenSurface();
  SetViewPort(*g, 10, 20, 30, 40, true);
  SetViewPort(*g, 10, 20, 640, 40, true);
  SetViewPort(*g, -1, 20, 30, 40, true);
  SetViewPort(*g, 30, 20, 10, 40, true);
  EXPECT_EQ(g->viewport.x1, 10);
  EXPECT_EQ(g->viewport.y1, 20);
  EXPECT_EQ(g->viewport.x2, 30);
  EXPECT_EQ(g->viewport.y2, 40);
}

TEST(GraphSurface, ClearViewPortClearsOnlyTheViewport) {
  auto g = OpenSurface();
  Flood(*g, 12);
  SetViewPort(*g, 537, 0, 639, 15, true);
  ClearViewPort(*g);
  ExpectOnlyBox(*g, 537, 0, 639, 15, 0, 12);
  // Drawing after it is relative to the viewport.
  PutPixel(*g, 0, 0, 3);
  EXPECT_EQ(SurfacePixel(*g, 537, 0), 3);
}

TEST(GraphSurface, LeftTextDrawsGlyphPixelsOnlyAtItsPosition) {
  auto g = OpenSurface();
  Flood(*g, 2);  // the pixels between the glyph pixels keep this
  constexpr auto text = CP852("Az őrség");
  OutTextXY(*g, 329, 40, text);
  ExpectText(*g, 329, 40, text, 15, 2);
  EXPECT_EQ(CountColour(*g, 2) + CountColour(*g, 15), 640 * 480);
  EXPECT_EQ(TextWidth(*g, text), 8 * 8);
  EXPECT_EQ(TextHeight(*g, text), 8);
  EXPECT_EQ(TextWidth(*g, " "), 8);
}

TEST(GraphSurface, CentredTextStartsHalfItsWidthLeftOfX) {
  auto g = OpenSurface();
  // The title box: viewport from x 271, text centred on 47 inside it.
  SetViewPort(*g, 271, 0, 368, 15, true);
  SetTextJustify(*g, CenterText, TopText);
  OutTextXY(*g, 47, 4, " Lemvaris ");
  ExpectText(*g, 278, 4, " Lemvaris ", 15, 0);
  // An odd length: the half width is rounded down.
  SetViewPort(*g, 0, 0, 639, 479, true);
  Flood(*g, 0);
  OutTextXY(*g, 100, 200, "abc");
  ExpectText(*g, 88, 200, "abc", 15, 0);
  EXPECT_EQ(CountColour(*g, 0) + CountColour(*g, 15), 640 * 480);
  // Only left/top and centre/top are supported.
  SetTextJustify(*g, LeftText, 0);
  EXPECT_EQ(g->textHorizontal, CenterText);
  SetTextJustify(*g, LeftText, TopText);
  Flood(*g, 0);
  OutTextXY(*g, 100, 200, "abc");
  ExpectText(*g, 100, 200, "abc", 15, 0);
}

TEST(GraphSurface, ImageSizeIsExactForTheRectangle) {
  auto g = OpenSurface();
  EXPECT_EQ(ImageSize(*g, 0, 0, 0, 0), GraphImageHeaderSize + 1);
  EXPECT_EQ(ImageSize(*g, 10, 20, 19, 24), GraphImageHeaderSize + 50);
  EXPECT_EQ(ImageSize(*g, 19, 24, 10, 20), GraphImageHeaderSize + 50);
  std::vector<std::uint8_t> buffer(GraphImageHeaderSize + 50, 0xEE);
  std::vector<std::uint8_t> small(GraphImageHeaderSize + 49, 0xEE);
  EXPECT_TRUE(GetImage(*g, 10, 20, 19, 24, buffer));
  EXPECT_FALSE(GetImage(*g, 10, 20, 19, 24, small));
  for (std::uint8_t b : small) EXPECT_EQ(b, 0xEE);
  // A large surface's chart-sized rectangle can pass the 550000-byte history buffer.
  auto big = OpenSurface(2048, 1536);
  EXPECT_GT(ImageSize(*big, 1023, 825, 2014, 1469), 550000);
  EXPECT_EQ(ImageSize(*big, 0, 0, 65535, 65535), INT32_MAX);
}

TEST(GraphSurface, GetImageThenPutImageMovesARectangleOneSlotLeft) {
  auto g = OpenSurface();
  // A chart-like picture: bars of different colours and heights, 10 px slots,
  // in the plot area (x 321.. , y 267..459).
  const int x1 = 319, pt = 267, y2 = 459, w = 10, count = 25;
  for (int i = 0; i <= count; ++i) {
    SetFillStyle(*g, SolidFill, 1 + i % 15);
    Bar(*g, x1 + 2 + i * w, y2 - 3 * i - 5, x1 + 1 + (i + 1) * w, y2);
    PutPixel(*g, x1 + 2 + i * w, pt, i % 16);  // something at the very top row
  }
  std::vector<std::uint8_t> before(g->pixels, g->pixels + 640 * 480);

  // Slot 1 up to one slot beyond the last moves to slot 0: source and
  // target overlap in all but one slot.
  std::vector<std::uint8_t> buffer(550000);
  ASSERT_TRUE(GetImage(*g, x1 + w + 2, pt, x1 + (count + 1) * w + 1, y2, buffer));
  ASSERT_TRUE(PutImage(*g, x1 + 2, pt, buffer, NormalPut));

  int wrong = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      bool moved = x >= x1 + 2 && x <= x1 + count * w + 1 && y >= pt && y <= y2;
      std::uint8_t expected = moved ? before[y * 640 + x + w] : before[y * 640 + x];
      if (SurfacePixel(*g, x, y) != expected) ++wrong;
    }
  EXPECT_EQ(wrong, 0);
}

TEST(GraphSurface, ImagesAreViewportRelativeAndPutImageClips) {
  auto g = OpenSurface();
  SetViewPort(*g, 200, 100, 299, 199, true);
  PutPixel(*g, 0, 0, 9);
  PutPixel(*g, 3, 2, 10);
  std::vector<std::uint8_t> image(ImageSize(*g, 0, 0, 3, 2));
  ASSERT_TRUE(GetImage(*g, 0, 0, 3, 2, image));
  EXPECT_EQ(image.size(), GraphImageHeaderSize + 12u);

  // Put it where only its top-left 2 x 2 pixels are inside the viewport.
  ASSERT_TRUE(PutImage(*g, 98, 98, image, NormalPut));
  EXPECT_EQ(SurfacePixel(*g, 298, 198), 9);
  EXPECT_EQ(SurfacePixel(*g, 300, 198), 0);
  EXPECT_EQ(CountColour(*g, 9), 2);
  EXPECT_EQ(CountColour(*g, 10), 1);

  // At full size, in another viewport: the same pixels at the new place.
  SetViewPort(*g, 0, 0, 639, 479, true);
  ASSERT_TRUE(PutImage(*g, 10, 20, image, NormalPut));
  EXPECT_EQ(SurfacePixel(*g, 10, 20), 9);
  EXPECT_EQ(SurfacePixel(*g, 13, 22), 10);

  // Other operations and malformed images are refused.
  EXPECT_FALSE(PutImage(*g, 0, 0, image, 1));
  std::span<const std::uint8_t> cut(image.data(), image.size() - 1);
  EXPECT_FALSE(PutImage(*g, 0, 0, cut, NormalPut));
  EXPECT_EQ(CountColour(*g, 9), 3);
}

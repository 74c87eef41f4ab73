#include "display/histogram.h"

#include <cstring>
#include <memory>
#include <vector>

#include "display_test_support.h"

namespace {

// The two windows of the design layout on a 640 x 480 surface.
constexpr int DistX1 = 9, DistY1 = 249, DistX2 = 309, DistY2 = 459;
constexpr int ChartX1 = 319, ChartX2 = 629;
constexpr int PlotTop = 267;   // y1 + 8 + 10
constexpr int FitLimit = 192;  // (y2 - y1) - 8 - 10
constexpr int BarBase = 457;   // y2 - 2 of a full redraw

std::unique_ptr<HistogramWindow> Distribution(const GraphSurface& g, int N) {
  auto h = std::make_unique<HistogramWindow>();
  EXPECT_TRUE(InitHistogramWindow(*h, g, DistX1, DistY1, DistX2, DistY2,
                                  CP852("Sürüség-eloszlás"), N + 1, 5.0, 15));
  return h;
}

std::unique_ptr<HistogramWindow> Chart(const GraphSurface& g) {
  auto h = std::make_unique<HistogramWindow>();
  EXPECT_TRUE(InitHistogramWindow(*h, g, ChartX1, DistY1, ChartX2, DistY2, "chart", 0, 189.0 / 100,
                                  15));
  return h;
}

// Top row of the white run that ends at the base row in column x, or -1.
int BarTop(const GraphSurface& g, int x, int base = BarBase) {
  if (Px(g, x, base) != 15) return -1;
  int y = base;
  while (y > 0 && Px(g, x, y - 1) == 15) --y;
  return y;
}

std::vector<std::uint8_t> Pixels(const GraphSurface& g) {
  return {g.pixels, g.pixels + g.width * g.height};
}

TEST(RowHistogram, LargestReactorGives251OnePixelBars) {
  auto g = OpenSurface();
  auto h = Distribution(*g, 250);
  for (int i = 0; i <= 250; ++i) h->values[i] = static_cast<std::uint16_t>(i % 3);
  DrawHistogramBars(*h, *g);
  EXPECT_DOUBLE_EQ(h->scale, 190.0 / 2);
  for (int i = 0; i <= 250; ++i) {
    const int x = DistX1 + 2 + i;  // w = 300 div 252 = 1
    const int expectedTop = BarBase - static_cast<int>((i % 3) * h->scale);
    EXPECT_EQ(BarTop(*g, x), expectedTop) << "bar " << i;
  }
  // A value of 0 is the one-pixel base row; nothing right of the last bar.
  EXPECT_EQ(BarTop(*g, DistX1 + 2), BarBase);
  EXPECT_EQ(Px(*g, DistX1 + 2 + 251, BarBase), 0);
  // The tallest bars reach the plot-area top.
  EXPECT_EQ(BarTop(*g, DistX1 + 2 + 2), PlotTop);
}

TEST(RowHistogram, SidewaysMoveChangesAndDrawsNothing) {
  auto g = OpenSurface();
  auto h = Distribution(*g, 100);
  h->values[50] = 7;
  DrawHistogramBars(*h, *g);
  auto before = Pixels(*g);
  UpdateRowHistogram(*h, *g, Normal, 50, 50, 1234);
  EXPECT_EQ(h->values[50], 7);
  EXPECT_TRUE(Pixels(*g) == before);  // not even the counter
}

TEST(RowHistogram, IncrementalBarsStandOnTheOutlineRow) {
  auto g = OpenSurface();
  auto h = Distribution(*g, 100);  // w = 300 div 102 = 2
  h->values[10] = 20;
  h->values[11] = 20;
  DrawHistogramBars(*h, *g);  // scale = 190 / 20 = 9.5
  UpdateRowHistogram(*h, *g, Normal, 11, 10, 77);
  EXPECT_EQ(h->values[10], 19);
  EXPECT_EQ(h->values[11], 21);
  // 21 * 9.5 = 199.5 >= L = 192: the grown bar would not fit, so all is rescaled.
  EXPECT_DOUBLE_EQ(h->scale, 190.0 / 21);
  EXPECT_EQ(BarTop(*g, DistX1 + 2 + 11 * 2), PlotTop);

  // Now a move that fits: row 12 grows from 0 to 1, row 11 shrinks to 20.
  UpdateRowHistogram(*h, *g, Normal, 12, 11, 78);
  const double scale = 190.0 / 21;
  const int grownTop = static_cast<int>(DistY2 - 1 * scale);
  const int shrunkTop = static_cast<int>(DistY2 - 20 * scale);
  for (int dx = 0; dx < 2; ++dx) {
    EXPECT_EQ(BarTop(*g, DistX1 + 2 + 12 * 2 + dx, DistY2), grownTop);
    EXPECT_EQ(BarTop(*g, DistX1 + 2 + 11 * 2 + dx, DistY2), shrunkTop);
  }
  EXPECT_TRUE(TextAt(*g, DistX1 + 2, DistY1 + 8, " T:78"));
}

TEST(RowHistogram, QuietModeCountsWithoutDrawing) {
  auto g = OpenSurface();
  auto h = Distribution(*g, 100);
  h->values[3] = 4;
  auto before = Pixels(*g);
  UpdateRowHistogram(*h, *g, Csendes, 4, 3, 5);
  EXPECT_EQ(h->values[3], 3);
  EXPECT_EQ(h->values[4], 1);
  EXPECT_TRUE(Pixels(*g) == before);
}

TEST(Chart, FirstSampleIsHalfTheWindowWide) {
  auto g = OpenSurface();
  auto h = Chart(*g);
  AddHistogramSample(*h, *g, *std::make_unique<HistoryBuffer>(), Normal, 40, 0);
  EXPECT_EQ(h->count, 1);
  // w = 310 div 2 = 155: columns 321..475, up to the plot-area top.
  EXPECT_EQ(BarTop(*g, 321), PlotTop);
  EXPECT_EQ(BarTop(*g, 475), PlotTop);
  EXPECT_EQ(Px(*g, 320, BarBase), 0);
  EXPECT_EQ(Px(*g, 476, BarBase), 0);
  EXPECT_TRUE(TextAt(*g, ChartX1 + 2, DistY1 + 8, " T:0"));
}

TEST(Chart, EmptyChartClearsThePlotAndScalesToOne) {
  auto g = OpenSurface();
  auto h = Chart(*g);
  SetFillStyle(*g, SolidFill, 15);
  Bar(*g, 330, 300, 400, 400);
  DrawHistogramBars(*h, *g);
  EXPECT_EQ(CountColour(*g, ChartX1 + 2, PlotTop, ChartX2 - 2, BarBase, 15), 0);
  EXPECT_DOUBLE_EQ(h->scale, 190.0);
}

TEST(Chart, QuietModeRecordsWithoutDrawing) {
  auto g = OpenSurface();
  auto h = Chart(*g);
  auto buffer = std::make_unique<HistoryBuffer>();
  auto before = Pixels(*g);
  for (int i = 0; i < 260; ++i) AddHistogramSample(*h, *g, *buffer, Csendes, i, i * 2000);
  EXPECT_TRUE(Pixels(*g) == before);
  EXPECT_EQ(h->count, 251);
  EXPECT_EQ(h->values[0], 9);  // samples 0..8 dropped
  EXPECT_EQ(h->values[250], 259);
}

TEST(Chart, Sample252ScrollsOneSlotLikeAFullRedrawOfTheSameValues) {
  auto g = OpenSurface();
  auto h = Chart(*g);
  auto buffer = std::make_unique<HistoryBuffer>();
  auto sample = [](int i) { return static_cast<std::uint16_t>(i == 100 ? 60 : 10 + i % 37); };
  for (int i = 0; i < 250; ++i) AddHistogramSample(*h, *g, *buffer, Normal, sample(i), 0);
  EXPECT_EQ(h->count, 250);
  AddHistogramSample(*h, *g, *buffer, Normal, sample(250), 0);  // appended, full redraw
  EXPECT_EQ(h->count, 251);
  const double scale = h->scale;
  EXPECT_DOUBLE_EQ(scale, 190.0 / 60);
  // w = 310 div 252 = 1: bar i is column 321 + i.
  EXPECT_EQ(BarTop(*g, 321 + 250), BarBase - static_cast<int>(sample(250) * scale));

  AddHistogramSample(*h, *g, *buffer, Normal, 25, 502000);  // shifts
  EXPECT_EQ(h->count, 251);
  EXPECT_EQ(h->values[0], sample(1));
  EXPECT_EQ(h->values[250], 25);
  EXPECT_DOUBLE_EQ(h->scale, scale);  // no rescale on the scroll path

  // The shifted bars equal a full redraw of the same values (same maximum).
  auto reference = OpenSurface();
  auto r = Chart(*reference);
  r->count = h->count;
  std::memcpy(r->values, h->values, sizeof r->values);
  DrawHistogramBars(*r, *reference);
  for (int x = 321; x < 321 + 250; ++x)
    for (int y = PlotTop; y <= BarBase; ++y)
      ASSERT_EQ(Px(*g, x, y), Px(*reference, x, y)) << x << "," << y;
  // The new bar stands on the outline row y2, its top at Trunc(y2 - v).
  EXPECT_EQ(BarTop(*g, 321 + 250, DistY2), static_cast<int>(DistY2 - 25 * scale));
  EXPECT_TRUE(TextAt(*g, ChartX1 + 2, DistY1 + 8, " T:502000"));
}

TEST(Chart, ScrolledSampleThatWouldNotFitRescales) {
  auto g = OpenSurface();
  auto h = Chart(*g);
  auto buffer = std::make_unique<HistoryBuffer>();
  for (int i = 0; i < 251; ++i) AddHistogramSample(*h, *g, *buffer, Normal, 10, 0);
  EXPECT_DOUBLE_EQ(h->scale, 19.0);
  // 11 * 19 = 209 >= L: a full redraw with the new maximum.
  AddHistogramSample(*h, *g, *buffer, Normal, 11, 0);
  EXPECT_DOUBLE_EQ(h->scale, 190.0 / 11);
  EXPECT_EQ(BarTop(*g, 321 + 250), PlotTop);
  EXPECT_EQ(BarTop(*g, 321), BarBase - static_cast<int>(10 * 190.0 / 11));
  static_assert(FitLimit == 192);
}

TEST(HistoryBufferCheck, ImagesUpToTheBufferPassLargerOnesAreRefused) {
  auto g = OpenSurface(2048, 1536);
  HistogramWindow h;
  // 1585 x 347 pixels: 549999 bytes with the image header.
  EXPECT_TRUE(InitHistogramWindow(h, *g, 0, 0, 1584, 354, "t", 0, 1.0, 15));
  EXPECT_EQ(HistogramImageSize(h, *g), 549999);
  // 400 x 1375 pixels: 550004 bytes.
  EXPECT_FALSE(InitHistogramWindow(h, *g, 0, 0, 399, 1382, "t", 0, 1.0, 15));
  EXPECT_EQ(HistogramImageSize(h, *g), 550004);

  // The design layout fits on 640 x 480 and not on the largest surface.
  auto small = OpenSurface();
  EXPECT_TRUE(InitHistogramWindow(h, *small, ScaleX(*small, 320), ScaleY(*small, 250),
                                  ScaleX(*small, 630), ScaleY(*small, 460), "t", 0, 1.0, 15));
  EXPECT_FALSE(InitHistogramWindow(h, *g, ScaleX(*g, 320), ScaleY(*g, 250), ScaleX(*g, 630),
                                   ScaleY(*g, 460), "t", 0, 1.0, 15));
}

TEST(HistogramFrame, OutlineAndCentredTitle) {
  auto g = OpenSurface();
  SetLineStyle(*g, SolidLn, 0, ThickWidth);
  auto h = Distribution(*g, 10);
  DrawHistogramFrame(*h, *g);
  EXPECT_TRUE(ThickOutline(*g, DistX1, DistY1, DistX2, DistY2));
  // 16 characters centred on x 159.
  EXPECT_TRUE(TextAt(*g, 159 - 64, DistY1 + 8, CP852("Sürüség-eloszlás")));
}

}  // namespace

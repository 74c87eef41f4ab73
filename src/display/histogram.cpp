#include "display/histogram.h"

#include <cassert>
#include <cmath>

namespace {

struct PlotGeometry {
  int plotTop;    // PT
  int slot;       // w
  int fitLimit;   // L
  int height;     // H
};

PlotGeometry Geometry(const HistogramWindow& h, const GraphSurface& g) {
  const int th = TitleLineHeight(g);
  PlotGeometry p;
  p.plotTop = h.header.y1 + th + 10;
  p.slot = (h.header.x2 - h.header.x1) / (h.count + 1);
  p.fitLimit = (h.header.y2 - h.header.y1) - th - 10;
  p.height = (h.header.y2 - 2) - p.plotTop;
  return p;
}

int Trunc(double v) { return static_cast<int>(std::trunc(v)); }

}  // namespace

bool InitHistogramWindow(HistogramWindow& h, const GraphSurface& g, std::uint16_t x1,
                         std::uint16_t y1, std::uint16_t x2, std::uint16_t y2,
                         std::string_view title, std::uint16_t count, double scale,
                         std::uint8_t barColour) {
  Assign(h.header.title, title);
  h.header.x1 = x1;
  h.header.y1 = y1;
  h.header.x2 = x2;
  h.header.y2 = y2;
  h.count = count;
  h.scale = scale;
  h.barColour = barColour;
  for (auto& v : h.values) v = 0;
  return HistogramImageSize(h, g) <= puffMeret;
}

std::int32_t HistogramImageSize(const HistogramWindow& h, const GraphSurface& g) {
  return ImageSize(g, h.header.x1, h.header.y1 + TitleLineHeight(g), h.header.x2, h.header.y2);
}

void DrawHistogramFrame(const HistogramWindow& h, GraphSurface& g) {
  SetFillStyle(g, SolidFill, h.barColour);
  DrawWindowOutline(h.header, g);
}

void DrawHistogramBars(HistogramWindow& h, GraphSurface& g) {
  const PlotGeometry p = Geometry(h, g);
  const int x1 = h.header.x1, x2 = h.header.x2, y2 = h.header.y2;
  SetFillStyle(g, EmptyFill, 0);
  Bar(g, x1 + 2, p.plotTop, x2 - 2, y2 - 2);
  SetFillStyle(g, SolidFill, h.barColour);
  int max = 1;  // never below 1, so an empty or all-zero window is fine
  for (int i = 0; i < h.count; ++i)
    if (h.values[i] > max) max = h.values[i];
  h.scale = static_cast<double>(p.height) / max;
  for (int i = 0; i < h.count; ++i)
    Bar(g, x1 + 2 + i * p.slot, (y2 - 2) - Trunc(h.values[i] * h.scale), x1 + 1 + (i + 1) * p.slot,
        y2 - 2);
}

void UpdateRowHistogram(HistogramWindow& h, GraphSurface& g, RunMode mode, std::int16_t toRow,
                        std::int16_t fromRow, std::int32_t T) {
  if (toRow == fromRow) return;
  h.values[toRow] += 1;
  h.values[fromRow] -= 1;
  if (mode == Csendes) return;
  SetFillStyle(g, SolidFill, h.barColour);
  DrawTitleCounter(h.header, g, T);
  const PlotGeometry p = Geometry(h, g);
  const double v = h.values[toRow] * h.scale;
  if (!(v < p.fitLimit)) {
    DrawHistogramBars(h, g);  // the grown bar would reach the top: rescale
    return;
  }
  // Incremental bars stand on the outline's bottom row y2.
  const int x1 = h.header.x1, y2 = h.header.y2;
  SetFillStyle(g, SolidFill, h.barColour);
  Bar(g, x1 + 2 + toRow * p.slot, Trunc(y2 - v), x1 + 1 + (toRow + 1) * p.slot, y2);
  SetFillStyle(g, EmptyFill, 0);
  Bar(g, x1 + 2 + fromRow * p.slot, p.plotTop, x1 + 1 + (fromRow + 1) * p.slot, y2);
  SetFillStyle(g, SolidFill, h.barColour);
  Bar(g, x1 + 2 + fromRow * p.slot, Trunc(y2 - h.values[fromRow] * h.scale),
      x1 + 1 + (fromRow + 1) * p.slot, y2);
}

bool PushChartSample(std::uint16_t (&values)[HistogramCapacity], std::uint16_t& count,
                     std::uint16_t sample) {
  if (count < HistogramCapacity) {
    values[count++] = sample;
    return false;
  }
  for (int i = 1; i < count; ++i) values[i - 1] = values[i];
  values[count - 1] = sample;
  return true;
}

void AddHistogramSample(HistogramWindow& h, GraphSurface& g, HistoryBuffer& buffer, RunMode mode,
                        std::uint16_t sample, std::int32_t T) {
  if (mode != Csendes) {
    SetFillStyle(g, SolidFill, h.barColour);
    DrawTitleCounter(h.header, g, T);
  }
  if (!PushChartSample(h.values, h.count, sample)) {
    if (mode != Csendes) DrawHistogramBars(h, g);
    return;
  }
  if (mode == Csendes) return;

  const PlotGeometry p = Geometry(h, g);
  const double v = sample * h.scale;
  if (!(v < p.fitLimit)) {
    DrawHistogramBars(h, g);  // rescale to the largest of the 251 values
    return;
  }
  // Move the bars of slots 1.. one slot left; the new bar overdraws the last.
  const int x1 = h.header.x1, y2 = h.header.y2;
  const int left = x1 + p.slot + 2, right = x1 + (h.count + 1) * p.slot + 1;
  assert(ImageSize(g, left, p.plotTop, right, y2) <= puffMeret);
  GetImage(g, left, p.plotTop, right, y2, buffer.bytes);
  PutImage(g, x1 + 2, p.plotTop, buffer.bytes, NormalPut);
  Bar(g, x1 + 2 + (h.count - 1) * p.slot, Trunc(y2 - v), x1 + 1 + h.count * p.slot, y2);
}

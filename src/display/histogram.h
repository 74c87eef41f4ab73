// The two bar-chart windows: the row-density histogram (one bar per reactor
// row 0..N, updated after every move that changes a row) and the density-
// change chart (one bar per sample of the bottom row's count, the last 251
// samples, scrolled one slot left through the history buffer when full).
//
// Geometry shared by both (TH = title line height):
//   plot-area top PT = y1 + TH + 10; slot width w = (x2 - x1) div (count + 1);
//   bar i covers columns x1 + 2 + i*w .. x1 + 1 + (i+1)*w;
//   fit limit L = (y2 - y1) - TH - 10; full-redraw height H = (y2 - 2) - PT.
#pragma once

#include <cstdint>
#include <string_view>

#include "display/layout.h"
#include "display/run_mode.h"

// Bars one window holds: reactor rows 0..250, or the last 251 samples.
inline constexpr int HistogramCapacity = 251;

// Bytes of the image the chart scrolls through; a surface whose chart needs
// more cannot run (checked when the windows are laid out).
inline constexpr std::int32_t puffMeret = 550000;

struct HistoryBuffer {
  std::uint8_t bytes[puffMeret];
};

struct HistogramWindow {
  WindowHeader header;
  std::uint16_t count = 0;     // entries of values in use
  double scale = 0.0;          // bar pixels per unit of value
  std::uint16_t values[HistogramCapacity] = {};
  std::uint8_t barColour = 0;
};

// Fill the record, values all 0. False when the window's image would not fit
// the history buffer on this surface (the caller reports it and stops).
bool InitHistogramWindow(HistogramWindow& h, const GraphSurface& g, std::uint16_t x1,
                         std::uint16_t y1, std::uint16_t x2, std::uint16_t y2,
                         std::string_view title, std::uint16_t count, double scale,
                         std::uint8_t barColour);

// Bytes GetImage needs for the window below its top edge's text line.
std::int32_t HistogramImageSize(const HistogramWindow& h, const GraphSurface& g);

void DrawHistogramFrame(const HistogramWindow& h, GraphSurface& g);

// Clear the plot area, rescale to the largest value and draw every bar.
void DrawHistogramBars(HistogramWindow& h, GraphSurface& g);

// Apply one move (rows 1..N) to the row histogram; draws unless quiet.
void UpdateRowHistogram(HistogramWindow& h, GraphSurface& g, RunMode mode, std::int16_t toRow,
                        std::int16_t fromRow, std::int32_t T);

// Append a sample to the last HistogramCapacity ones; when full the oldest
// goes. True when it scrolled so.
bool PushChartSample(std::uint16_t (&values)[HistogramCapacity], std::uint16_t& count,
                     std::uint16_t sample);

// Record one sample in the chart; draws unless quiet, scrolling when full.
void AddHistogramSample(HistogramWindow& h, GraphSurface& g, HistoryBuffer& buffer, RunMode mode,
                        std::uint16_t sample, std::int32_t T);

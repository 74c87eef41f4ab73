// The screen as the interactive program shows it in the quiet mode, drawn
// without a window. In the quiet mode nothing is drawn between two full
// refreshes but the step counter, so the screen at any T is a function of
// the reactor, T and the chart's samples: a picture is drawn whole from
// them when it is asked for. The batch runner's pictures and the Python
// module's screen come from here, so both are the real screen.
#pragma once

#include <cstdint>

#include "display/screen.h"
#include "platform/graph.h"
#include "platform/palette.h"
#include "sim/reactor.h"

// What the density-change chart holds: the bottom row's count at T = 0,
// RefreshInterval, 2 RefreshInterval, ..., the last HistogramCapacity of them.
struct ChartSamples {
  std::uint16_t values[HistogramCapacity] = {};
  std::uint16_t count = 0;
};

// Take the bottom row's count at a refresh step; the oldest goes when full,
// as the chart scrolls.
void AddChartSample(ChartSamples& chart, std::uint16_t bottom);

struct Picture {
  GraphSurface surface;  // 640 x 480
  Screen screen;
};

// Lay the windows out for these parameters on a 640 x 480 surface and draw
// the screen's frames.
void StartPicture(Picture& picture, const SimParams& params);

// The screen at T after its full refresh, as the run loop in the quiet mode
// leaves it: the step counter, the reactor, both histograms and the panel.
void DrawPicture(Picture& picture, const Reactor& reactor, std::int32_t T,
                 const ChartSamples& chart);

// The colour of a palette index, for pictures outside the program.
inline PaletteRgb PictureColour(int index) { return StandardPalette[index]; }
inline constexpr int PictureColourCount = PaletteSize;

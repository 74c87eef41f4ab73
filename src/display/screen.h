// The four windows of the graphics screen as one record, and the procedures
// that lay them out and draw them all: the interactive program and the batch
// runner's picture share them, so the picture is the real screen.
#pragma once

#include <cstdint>
#include <string_view>

#include "display/histogram.h"
#include "display/karablak.h"
#include "display/reactor_view.h"
#include "display/run_mode.h"
#include "sim/reactor.h"

// Steps between two full refreshes and two chart samples.
inline constexpr std::int32_t RefreshInterval = 2000;

struct Screen {
  ReactorView reactorView;
  KarAblak infoPanel;
  HistogramWindow distributionWindow;
  HistogramWindow changeWindow;
  HistoryBuffer historyBuffer;  // only the chart's scroll uses it
};

// The panel's text for a real parameter: a whole number, rounded half away
// from zero, never "-0".
ShortString<32> WholeNumberText(double value);

// The panel's text for the bottom row's count: unsigned decimal, no padding.
ShortString<32> RowCountText(std::uint16_t count);

// Create the four windows from the design layout on the open surface. False
// when the chart's image would not fit the history buffer on this surface;
// imageSize then holds the bytes it needs.
bool LayOutWindows(Screen& s, const GraphSurface& g, const SimParams& params,
                   std::string_view modeName, std::int32_t& imageSize);

// Hand the placed particles' row counts to the row histogram.
void CopyRowCounts(Screen& s, const Reactor& reactor);

// Frame, window frames, the reactor and the panel, as the run first shows them.
void DrawInitialScreen(Screen& s, GraphSurface& g, const Reactor& reactor, std::int32_t T);

// The panel with modeField in its mode field, redrawn, then its title counter.
void DrawInfoPanel(Screen& s, GraphSurface& g, std::string_view modeField, std::int32_t T);

// The display update at step T, after its move (and once at T = 0, before
// any): the step counter; at refresh steps a chart sample; for T > 0 the
// row histogram for the last move; a full refresh at refresh steps, and at
// every step in Lepesenkenti. modeField is the panel's mode text.
void UpdateScreen(Screen& s, GraphSurface& g, const Reactor& reactor, RunMode mode,
                  std::string_view modeField, std::int32_t T);

// The full refresh of every window at step T: reactor, both histograms,
// the panel with its mode and bottom-row fields, each with its title counter.
void RefreshAllWindows(Screen& s, GraphSurface& g, const Reactor& reactor,
                       std::string_view modeName, std::int32_t T);

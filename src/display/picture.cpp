// The quiet mode's screen off a window: picture.h.
#include "display/picture.h"

void AddChartSample(ChartSamples& chart, std::uint16_t bottom) {
  PushChartSample(chart.values, chart.count, bottom);
}

void StartPicture(Picture& picture, const SimParams& params) {
  GraphSurface& g = picture.surface;
  InitGraph(g);
  ClearViewPort(g);
  SetTextJustify(g, LeftText, TopText);
  std::int32_t imageSize = 0;
  // The 640 x 480 layout always fits the history buffer.
  LayOutWindows(picture.screen, g, params, ModeNames[Csendes], imageSize);
  DrawScreenFrame(g, " Lemvaris ");
  DrawHistogramFrame(picture.screen.distributionWindow, g);
  DrawHistogramFrame(picture.screen.changeWindow, g);
  DrawReactorFrame(picture.screen.reactorView, g);
}

void DrawPicture(Picture& picture, const Reactor& reactor, std::int32_t T,
                 const ChartSamples& chart) {
  Screen& s = picture.screen;
  CopyRowCounts(s, reactor);
  HistogramWindow& h = s.changeWindow;
  h.count = chart.count;
  for (int i = 0; i < chart.count; ++i) h.values[i] = chart.values[i];
  DrawStepCounterBox(picture.surface, T);
  RefreshAllWindows(s, picture.surface, reactor, ModeNames[Csendes], T);
}

#include "display/screen.h"

#include <cmath>

ShortString<32> WholeNumberText(double value) {
  ShortString<32> s;
  AppendInt(s, std::llround(value));  // llround gives 0 for -0.4: no "-0"
  return s;
}

ShortString<32> RowCountText(std::uint16_t count) {
  ShortString<32> s;
  AppendInt(s, count);
  return s;
}

bool LayOutWindows(Screen& s, const GraphSurface& g, const SimParams& p,
                   std::string_view modeName, std::int32_t& imageSize) {
  InitReactorView(s.reactorView, ScaleX(g, 10), ScaleY(g, 20), ScaleX(g, 310), ScaleY(g, 240), 15);

  KarAblak& k = s.infoPanel;
  InitKarAblak(k, ScaleX(g, 320), ScaleY(g, 20), ScaleX(g, 630), ScaleY(g, 240),
               CP852("Információk"), 15);
  ShortString<32> n;
  AddField(k, CP852("Üzemmód"), modeName);
  n = {}; AppendInt(n, p.N);
  AddField(k, "N", n.view());
  n = {}; AppendInt(n, p.M);
  AddField(k, "M", n.view());
  n = {}; AppendInt(n, p.K);
  AddField(k, "K", n.view());
  AddField(k, "Ah", WholeNumberText(p.Ah).view());
  AddField(k, "Kh", WholeNumberText(p.Kh).view());
  AddField(k, "G", WholeNumberText(p.G).view());
  n = {}; AppendInt(n, p.rSz);
  AddField(k, "rSz", n.view());
  AddField(k, CP852("össz-molszám"), "0");

  const bool distributionFits =
      InitHistogramWindow(s.distributionWindow, g, ScaleX(g, 10), ScaleY(g, 250), ScaleX(g, 310),
                          ScaleY(g, 460), CP852("Sürüség-eloszlás"), p.N + 1, 5.0, 15);
  if (!distributionFits) {
    imageSize = HistogramImageSize(s.distributionWindow, g);
    return false;
  }
  ShortString<64> title;
  Append(title, CP852("Sürüség-változás "));
  AppendInt(title, RefreshInterval);
  Append(title, CP852(" idöegységenként"));
  const double chartScale = static_cast<double>(ScaleY(g, 190)) / p.N;
  if (!InitHistogramWindow(s.changeWindow, g, ScaleX(g, 320), ScaleY(g, 250), ScaleX(g, 630),
                           ScaleY(g, 460), title.view(), 0, chartScale, 15)) {
    imageSize = HistogramImageSize(s.changeWindow, g);
    return false;
  }
  imageSize = HistogramImageSize(s.changeWindow, g);
  return true;
}

void CopyRowCounts(Screen& s, const Reactor& reactor) {
  for (int r = 0; r < HistogramCapacity; ++r)
    s.distributionWindow.values[r] = static_cast<std::uint16_t>(reactor.rowCounts[r]);
}

void DrawInitialScreen(Screen& s, GraphSurface& g, const Reactor& reactor, std::int32_t T) {
  const SimParams& p = reactor.params;
  DrawScreenFrame(g, " Lemvaris ");
  DrawHistogramFrame(s.distributionWindow, g);
  DrawHistogramFrame(s.changeWindow, g);
  DrawReactorFrame(s.reactorView, g);
  DrawReactorGrid(s.reactorView, g, reactor.grid, p.N, p.M, T);
  DrawKarAblak(s.infoPanel, g);
}

void DrawInfoPanel(Screen& s, GraphSurface& g, std::string_view modeField, std::int32_t T) {
  SetField(s.infoPanel, CP852("Üzemmód"), modeField);
  DrawKarAblak(s.infoPanel, g);
  DrawTitleCounter(s.infoPanel.header, g, T);
}

void RefreshAllWindows(Screen& s, GraphSurface& g, const Reactor& reactor,
                       std::string_view modeName, std::int32_t T) {
  const SimParams& p = reactor.params;
  DrawReactorGrid(s.reactorView, g, reactor.grid, p.N, p.M, T);
  DrawTitleCounter(s.reactorView.header, g, T);
  DrawHistogramBars(s.distributionWindow, g);
  DrawTitleCounter(s.distributionWindow.header, g, T);
  DrawHistogramBars(s.changeWindow, g);
  DrawTitleCounter(s.changeWindow.header, g, T);
  SetField(s.infoPanel, CP852("össz-molszám"),
           RowCountText(static_cast<std::uint16_t>(reactor.observedRowCount)).view());
  DrawInfoPanel(s, g, modeName, T);
}

void UpdateScreen(Screen& s, GraphSurface& g, const Reactor& r, RunMode mode,
                  std::string_view modeField, std::int32_t T) {
  DrawStepCounterBox(g, T);
  const bool refreshStep = T % RefreshInterval == 0;
  if (refreshStep)
    AddHistogramSample(s.changeWindow, g, s.historyBuffer, mode,
                       static_cast<std::uint16_t>(r.observedRowCount), T);
  if (T > 0)
    UpdateRowHistogram(s.distributionWindow, g, mode, r.lastMoveToRow, r.lastMoveFromRow, T);
  if (refreshStep || mode == Lepesenkenti) RefreshAllWindows(s, g, r, modeField, T);
}

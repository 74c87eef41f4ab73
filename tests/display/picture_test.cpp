// A picture drawn whole from the reactor, T and the chart's samples is the
// screen the run loop keeps move by move in the quiet mode.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "display/picture.h"
#include "sim/particle_move.h"

namespace {

struct Screens {
  Reactor reactor;
  GraphSurface loopSurface;  // kept as the run loop keeps it
  Screen loopScreen;
  Picture picture;           // drawn whole when asked
  ChartSamples chart;
};

bool SameSurface(const GraphSurface& a, const GraphSurface& b) {
  return std::memcmp(a.pixels, b.pixels, sizeof a.pixels) == 0;
}

TEST(Picture, DrawnWholeItIsTheQuietModesScreenAtAnyT) {
  auto s = std::make_unique<Screens>();
  s->reactor.params = SimParams{4, 3, 5, 0.5, 0.8, 0.2, 1};
  SetUpReactor(s->reactor);
  GraphSurface& g = s->loopSurface;
  InitGraph(g);
  ClearViewPort(g);
  SetTextJustify(g, LeftText, TopText);
  std::int32_t imageSize = 0;
  ASSERT_TRUE(LayOutWindows(s->loopScreen, g, s->reactor.params, ModeNames[Csendes], imageSize));
  CopyRowCounts(s->loopScreen, s->reactor);
  DrawInitialScreen(s->loopScreen, g, s->reactor, 0);
  UpdateScreen(s->loopScreen, g, s->reactor, Csendes, ModeNames[Csendes], 0);
  StartPicture(s->picture, s->reactor.params);
  AddChartSample(s->chart, static_cast<std::uint16_t>(s->reactor.observedRowCount));

  // Past 251 chart samples, so that the chart has scrolled.
  int compared = 0;
  for (std::int32_t T = 1; T <= 2000 * 260 + 7; ++T) {
    ASSERT_EQ(MoveParticle(s->reactor), MoveResult::Moved);
    UpdateScreen(s->loopScreen, g, s->reactor, Csendes, ModeNames[Csendes], T);
    if (T % RefreshInterval == 0)
      AddChartSample(s->chart, static_cast<std::uint16_t>(s->reactor.observedRowCount));
    const bool look = T == 1 || T == 1999 || T == 2000 || T == 4001 || T % 100000 == 0 ||
                      T == 2000 * 260 + 7;
    if (!look) continue;
    // Between refresh steps the loop's screen has its last refresh's windows:
    // refresh it as the picture is.
    if (T % RefreshInterval != 0)
      RefreshAllWindows(s->loopScreen, g, s->reactor, ModeNames[Csendes], T);
    DrawPicture(s->picture, s->reactor, T, s->chart);
    ASSERT_TRUE(SameSurface(s->picture.surface, g)) << "T=" << T;
    ++compared;
  }
  EXPECT_EQ(s->chart.count, HistogramCapacity);
  EXPECT_EQ(compared, 10);
}

}  // namespace

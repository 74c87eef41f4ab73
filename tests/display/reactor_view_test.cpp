#include "display/reactor_view.h"

#include <memory>

#include "display_test_support.h"

namespace {

struct GridBox {
  ReactorGrid cells;
};

// A framed, empty grid as set-up leaves it before placing particles.
std::unique_ptr<GridBox> FramedGrid(int N, int M) {
  auto box = std::make_unique<GridBox>();
  ReactorGrid* grid = &box->cells;
  for (auto& row : *grid)
    for (auto& cell : row) cell = Empty;
  for (int c = 0; c <= M + 1; ++c) (*grid)[0][c] = (*grid)[N + 1][c] = Wall;
  for (int r = 1; r <= N; ++r) (*grid)[r][0] = (*grid)[r][M + 1] = Wall;
  return box;
}

ReactorView DesignView(const GraphSurface& g) {
  ReactorView v;
  InitReactorView(v, ScaleX(g, 10), ScaleY(g, 20), ScaleX(g, 310), ScaleY(g, 240), 15);
  return v;
}

TEST(ReactorView, HundredByHundredBlockAt109x88) {
  auto g = OpenSurface();
  ReactorView v = DesignView(*g);
  EXPECT_EQ(v.header.x1, 9);
  EXPECT_EQ(v.header.y2, 239);
  EXPECT_EQ(v.header.title.view(), CP852("Reakciótér"));
  auto grid = FramedGrid(100, 100);
  grid->cells[1][1] = Particle;
  grid->cells[100][100] = Particle;
  DrawReactorGrid(v, *g, grid->cells, 100, 100, 0);

  EXPECT_EQ(Px(*g, 109, 88), 1);    // top-left wall
  EXPECT_EQ(Px(*g, 210, 189), 1);   // bottom-right wall
  EXPECT_EQ(Px(*g, 110, 89), 14);   // particle at row 1, column 1
  EXPECT_EQ(Px(*g, 209, 188), 14);  // particle at row 100, column 100
  EXPECT_EQ(Px(*g, 150, 120), 0);   // empty cell
  EXPECT_EQ(CountColour(*g, 109, 88, 210, 189, 1), 4 * 101);
  EXPECT_EQ(CountColour(*g, 109, 88, 210, 189, 14), 2);
  EXPECT_EQ(CountColour(*g, 109, 88, 210, 189, 0), 100 * 100 - 2);
  // Nothing outside the block.
  EXPECT_EQ(Px(*g, 108, 88), 0);
  EXPECT_EQ(Px(*g, 211, 189), 0);
  EXPECT_EQ(Px(*g, 150, 190), 0);
  EXPECT_EQ(Px(*g, 150, 87), 0);
}

TEST(ReactorView, LargestReactorStartsAt34x13AndIsClippedAtTheWindowBottom) {
  auto g = OpenSurface();
  ReactorView v = DesignView(*g);
  auto grid = FramedGrid(250, 250);
  DrawReactorGrid(v, *g, grid->cells, 250, 250, 0);
  EXPECT_EQ(Px(*g, 34, 13), 1);
  EXPECT_EQ(Px(*g, 285, 13), 1);   // column 251, the right wall
  EXPECT_EQ(Px(*g, 34, 239), 1);   // row 226 is the last row drawn
  EXPECT_EQ(Px(*g, 35, 239), 0);
  EXPECT_EQ(CountColour(*g, 0, 240, 639, 479, 1), 0);
  EXPECT_EQ(Px(*g, 33, 100), 0);
  EXPECT_EQ(Px(*g, 286, 100), 0);
}

TEST(ReactorView, SmallestReactorIsThreeByThree) {
  auto g = OpenSurface();
  ReactorView v = DesignView(*g);
  auto grid = FramedGrid(1, 1);
  grid->cells[1][1] = Particle;
  DrawReactorGrid(v, *g, grid->cells, 1, 1, 0);
  // gx1 = (9 + 309 - 1) div 2 = 158, gy1 = 138 - 0 = 138.
  EXPECT_EQ(CountColour(*g, 158, 138, 160, 140, 1), 8);
  EXPECT_EQ(Px(*g, 159, 139), 14);
  EXPECT_EQ(CountColour(*g, 150, 130, 170, 150, 1), 8);
}

TEST(ReactorView, QuietModeDrawsNoSingleCellButTheFullRedrawDrawsAll) {
  auto g = OpenSurface();
  ReactorView v = DesignView(*g);
  DrawReactorCell(v, *g, Csendes, 100, 100, 50, 50, Particle);
  EXPECT_EQ(Px(*g, 159, 138), 0);
  DrawReactorCell(v, *g, Normal, 100, 100, 50, 50, Particle);
  EXPECT_EQ(Px(*g, 159, 138), 14);
  DrawReactorCell(v, *g, Lepesenkenti, 100, 100, 50, 50, Empty);
  EXPECT_EQ(Px(*g, 159, 138), 0);

  // The move's hook draws through the binding and honours its mode.
  RunMode mode = Csendes;
  ReactorRedraw binding{&v, g.get(), &mode};
  CellRedrawHook hook = ReactorRedrawHook(binding);
  hook.drawCell(hook.context, 100, 100, 50, 50, Particle);
  EXPECT_EQ(Px(*g, 159, 138), 0);
  mode = Normal;
  hook.drawCell(hook.context, 100, 100, 50, 50, Particle);
  EXPECT_EQ(Px(*g, 159, 138), 14);

  auto grid = FramedGrid(100, 100);
  DrawReactorGrid(v, *g, grid->cells, 100, 100, 0);
  EXPECT_EQ(CountColour(*g, 109, 88, 210, 189, 1), 4 * 101);
  EXPECT_EQ(Px(*g, 159, 138), 0);
  EXPECT_EQ(g->viewport.x2, 639);  // whole screen again
}

TEST(ReactorView, UnknownStateLeavesThePixel) {
  auto g = OpenSurface();
  ReactorView v = DesignView(*g);
  DrawReactorCell(v, *g, Normal, 100, 100, 50, 50, Particle);
  DrawReactorCell(v, *g, Normal, 100, 100, 50, 50, 3);
  EXPECT_EQ(Px(*g, 159, 138), 14);
}

TEST(ReactorView, FullRedrawWritesTheTitleCounter) {
  auto g = OpenSurface();
  ReactorView v = DesignView(*g);
  auto grid = FramedGrid(10, 10);
  DrawReactorGrid(v, *g, grid->cells, 10, 10, 42);
  EXPECT_TRUE(TextAt(*g, 11, 27, " T:42"));
}

}  // namespace

#include "display/layout.h"

#include "display_test_support.h"

namespace {

TEST(Scale, DesignGridShrinksByOnePixelOn640x480) {
  auto g = OpenSurface();
  EXPECT_EQ(ScaleX(*g, 0), 0);
  EXPECT_EQ(ScaleX(*g, 10), 9);
  EXPECT_EQ(ScaleX(*g, 310), 309);
  EXPECT_EQ(ScaleX(*g, 320), 319);
  EXPECT_EQ(ScaleX(*g, 630), 629);
  EXPECT_EQ(ScaleX(*g, 640), 639);
  EXPECT_EQ(ScaleY(*g, 0), 0);
  EXPECT_EQ(ScaleY(*g, 20), 19);
  EXPECT_EQ(ScaleY(*g, 190), 189);
  EXPECT_EQ(ScaleY(*g, 250), 249);
  EXPECT_EQ(ScaleY(*g, 460), 459);
  EXPECT_EQ(ScaleY(*g, 480), 479);
  auto big = OpenSurface(1280, 960);
  EXPECT_EQ(ScaleX(*big, 640), 1279);
  EXPECT_EQ(ScaleY(*big, 250), 499);  // 250 * 959 / 480 = 499.48
}

TEST(ScreenFrame, BorderTitleKeyHelpAndCounterBoxes) {
  auto g = OpenSurface();
  DrawScreenFrame(*g, " Lemvaris ");

  // The border (6,6)-(634,474) is three pixels thick, centred on the line.
  for (int x : {20, 200, 500}) {
    EXPECT_EQ(Px(*g, x, 4), 0);
    EXPECT_EQ(Px(*g, x, 5), 15);
    EXPECT_EQ(Px(*g, x, 7), 15);
    EXPECT_EQ(Px(*g, x, 8), 0);
  }
  for (int y : {100, 300}) {
    EXPECT_EQ(Px(*g, 4, y), 0);
    EXPECT_EQ(Px(*g, 5, y), 15);
    EXPECT_EQ(Px(*g, 7, y), 15);
    EXPECT_EQ(Px(*g, 8, y), 0);
    EXPECT_EQ(Px(*g, 633, y), 15);
    EXPECT_EQ(Px(*g, 635, y), 15);
    EXPECT_EQ(Px(*g, 636, y), 0);
  }
  EXPECT_EQ(Px(*g, 20, 475), 15);
  EXPECT_EQ(Px(*g, 20, 476), 0);

  // Title box (275,2)-(360,13), text centred on x 318 from y 4.
  EXPECT_TRUE(ThickOutline(*g, 275, 2, 360, 13));
  EXPECT_TRUE(TextAt(*g, 318 - 40, 4, " Lemvaris "));
  // The box cut the border: its cleared area holds no border line.
  EXPECT_EQ(Px(*g, 272, 6), 0);
  EXPECT_EQ(Px(*g, 365, 6), 0);
  EXPECT_EQ(Px(*g, 270, 6), 15);
  EXPECT_EQ(Px(*g, 367, 6), 15);

  // Key-help box (77,467)-(556,478) with its text from y 469.
  EXPECT_TRUE(ThickOutline(*g, 77, 467, 556, 478));
  EXPECT_TRUE(TextAt(*g, 318 - 236, 469,
                     CP852(" V/v: vége , L/l: lépésenként , N/n: normál , C/c: csendes ")));
  EXPECT_EQ(Px(*g, 75, 474), 0);  // border cut under the box's area
  EXPECT_EQ(Px(*g, 74, 474), 15);

  // Step-counter box (537,2)-(636,13), text from (539,4).
  EXPECT_TRUE(ThickOutline(*g, 537, 2, 636, 13));
  EXPECT_TRUE(TextAt(*g, 539, 4, " T:    0"));
}

TEST(ScreenFrame, LeavesThickLinesAndLeftTopText) {
  auto g = OpenSurface();
  DrawScreenFrame(*g, " Lemvaris ");
  EXPECT_EQ(g->lineThickness, ThickWidth);
  EXPECT_EQ(g->textHorizontal, LeftText);
  EXPECT_EQ(g->textVertical, TopText);
}

TEST(StepCounterBox, ShorterValueLeavesNoDigitBehind) {
  auto g = OpenSurface();
  SetLineStyle(*g, SolidLn, 0, ThickWidth);
  DrawStepCounterBox(*g, 123456789);
  EXPECT_TRUE(TextAt(*g, 539, 4, " T:123456789"));
  DrawStepCounterBox(*g, 7);
  EXPECT_TRUE(TextAt(*g, 539, 4, " T:    7    "));
  EXPECT_TRUE(ThickOutline(*g, 537, 2, 636, 13));
}

TEST(StepCounterBox, TenDigitsRunPastTheBoxAndClipAtTheScreenEdge) {
  auto g = OpenSurface();
  DrawStepCounterBox(*g, 2147483647);
  // " T:2147483647" is 13 characters from x 539: the last one starts at 635.
  EXPECT_TRUE(TextAt(*g, 539, 4, " T:214748364"));
  EXPECT_EQ(g->viewport.x2, 639);
}

TEST(TitleCounter, ErasesTheStartOfCentredTitles) {
  auto g = OpenSurface();
  SetLineStyle(*g, SolidLn, 0, ThickWidth);
  WindowHeader reactor{9, 19, 309, 239, {}};
  Assign(reactor.title, CP852("Reakciótér"));
  WindowHeader panel{319, 19, 629, 239, {}};
  Assign(panel.title, CP852("Információk"));
  DrawWindowOutline(reactor, *g);
  DrawWindowOutline(panel, *g);
  EXPECT_TRUE(ThickOutline(*g, 9, 19, 309, 239));
  EXPECT_TRUE(ThickOutline(*g, 319, 19, 629, 239));
  EXPECT_TRUE(TextAt(*g, 119, 27, CP852("Reakciótér")));
  EXPECT_TRUE(TextAt(*g, 430, 27, CP852("Információk")));

  DrawTitleCounter(reactor, *g, 5234);
  DrawTitleCounter(panel, *g, 5234);
  EXPECT_TRUE(TextAt(*g, 11, 27, " T:5234"));
  EXPECT_TRUE(TextAt(*g, 321, 27, " T:5234"));
  // The band reaches x 141 and x 451: the first characters are gone, the rest stay.
  EXPECT_EQ(CountColour(*g, 119, 27, 141, 34, 15), 0);
  EXPECT_TRUE(TextAt(*g, 143, 27, CP852("kciótér")));
  EXPECT_EQ(CountColour(*g, 430, 27, 451, 34, 15), 0);
  EXPECT_TRUE(TextAt(*g, 454, 27, CP852("ormációk")));

  // A shorter count leaves nothing of the longer one.
  DrawTitleCounter(reactor, *g, 123456);
  DrawTitleCounter(reactor, *g, 9);
  EXPECT_TRUE(TextAt(*g, 11, 27, " T:9"));
  EXPECT_EQ(CountColour(*g, 43, 27, 141, 34, 15), 0);
}

}  // namespace

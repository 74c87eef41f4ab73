// The bytes terminal graphics writes, read back by a terminal of the tests'
// own: the palette's colours in each colour mode, only changed rows sent,
// the console line on the last row, a new size drawn anew, images in pixel
// modes.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <atomic>
#include <cstring>
#include <set>

#include "platform/console.h"
#include "text/shortstring.h"
#include "termgfx_test_support.h"

namespace {

// The colours a cell shows: the background of a blank, the foreground of a
// full block, both otherwise.
std::set<std::uint32_t> Shown(const ReadCell& c) {
  if (c.ch == U' ') return {c.bg};
  if (c.ch == U'\u2588') return {c.fg};
  return {c.fg, c.bg};
}

// The xterm colour of index n (16..255), as every 256-colour terminal has it.
std::uint32_t Xterm256(int n) {
  if (n >= 232) {
    int v = 8 + 10 * (n - 232);
    return std::uint32_t(v << 16 | v << 8 | v);
  }
  static const int level[6] = {0, 95, 135, 175, 215, 255};
  n -= 16;
  return std::uint32_t(level[n / 36] << 16 | level[n / 6 % 6] << 8 | level[n % 6]);
}

std::uint32_t Rgb(int i) {
  return std::uint32_t(StandardPalette[i].red << 16 | StandardPalette[i].green << 8 |
                       StandardPalette[i].blue);
}

int Distance(std::uint32_t a, std::uint32_t b) {
  int d = 0;
  for (int shift : {16, 8, 0}) {
    int e = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
    d += e * e;
  }
  return d;
}

// The colour a band of palette colour i must show in each mode.
std::uint32_t Expected(TermGfxColours mode, int i) {
  // The palette's blue, green, red bits in ANSI's red, green, blue order.
  static const int ansi[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
  switch (mode) {
    case TermGfxColours::Direct:
      return DirectKind | Rgb(i);
    case TermGfxColours::Ansi16:
      return Ansi16Kind | std::uint32_t(ansi[i]);
    case TermGfxColours::Indexed240: {
      int best = 16;
      for (int n = 17; n < 256; ++n)
        if (Distance(Xterm256(n), Rgb(i)) < Distance(Xterm256(best), Rgb(i))) best = n;
      return Indexed256Kind | std::uint32_t(best);
    }
  }
  return 0;
}

class TermGfxColoursTest : public ::testing::TestWithParam<TermGfxColours> {};

TEST_P(TermGfxColoursTest, EveryPaletteColourShowsAsItsOwnColour) {
  RenderRig rig({TermGfxPixels::Symbols, GetParam()});
  auto frame = BandFrame();
  ReadScreen screen = MakeReadScreen(80, 25);
  Feed(screen, rig.Render(*frame, Pane80x25));
  EXPECT_EQ(screen.trouble, "");
  // The picture is 64 x 24 cells from column 8; band i covers cells 4i..4i+3.
  std::set<std::uint32_t> distinct;
  for (int i = 0; i < PaletteSize; ++i) {
    for (int y : {0, 11, 23}) {
      for (int x = 8 + 4 * i; x < 8 + 4 * i + 4; ++x) {
        SCOPED_TRACE(::testing::Message() << "colour " << i << " cell " << x << "," << y);
        EXPECT_EQ(Shown(screen.at(x, y)), std::set<std::uint32_t>{Expected(GetParam(), i)});
      }
    }
    distinct.insert(Expected(GetParam(), i));
  }
  EXPECT_EQ(distinct.size(), 16u) << "two palette colours look the same";
}

std::string ModeName(const ::testing::TestParamInfo<TermGfxColours>& info) {
  static const char* const names[] = {"Direct", "Indexed240", "Ansi16"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(AllModes, TermGfxColoursTest,
                         ::testing::Values(TermGfxColours::Direct, TermGfxColours::Indexed240,
                                           TermGfxColours::Ansi16),
                         ModeName);

TEST(TermGfxRender, TheFirstFrameClearsTheScreenAndDrawsThePictureWhereItsLayoutSays) {
  RenderRig rig({TermGfxPixels::Symbols, TermGfxColours::Direct});
  auto frame = BlackFrame();
  FillFrame(*frame, 6, 6, 634, 8, White);       // the top of the thick border, inside cell row 0
  FillFrame(*frame, 0, 470, 639, 479, Yellow);  // the lower half of cell row 23
  ReadScreen screen = MakeReadScreen(80, 25);
  Feed(screen, rig.Render(*frame, Pane80x25));
  EXPECT_EQ(screen.clears, 1);
  EXPECT_FALSE(screen.cursorVisible);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 80; ++x) {
      const bool inside = x >= 8 && x < 72;
      EXPECT_EQ(screen.at(x, y).touched, inside) << x << "," << y;
    }
  }
  // Three pixel rows in twenty: the cells mix them, grey over black.
  for (int x = 9; x < 71; ++x) {
    const ReadCell& c = screen.at(x, 0);
    ASSERT_NE(c.ch, U' ') << x;
    ASSERT_EQ(c.bg, DirectKind | 0x000000) << x;
    const std::uint32_t grey = c.fg & 0xFF;
    ASSERT_EQ(c.fg, DirectKind | grey << 16 | grey << 8 | grey) << x;
    ASSERT_GE(grey, 0x30u) << x;
  }
  // A bar that fills the lower half of the cells: the half block, exactly yellow.
  for (int x = 8; x < 72; ++x) {
    const ReadCell& c = screen.at(x, 23);
    ASSERT_EQ(Shown(c), (std::set<std::uint32_t>{DirectKind | 0xFFFF55, DirectKind | 0x000000}))
        << x;
    ASSERT_EQ(c.ch == U'\u2584' ? c.fg : c.bg, DirectKind | 0xFFFF55) << x;
  }
  EXPECT_EQ(Shown(screen.at(20, 12)), std::set<std::uint32_t>{DirectKind | 0x000000});
}

TEST(TermGfxRender, OnlyTheRowsThatChangedAreSentAgain) {
  RenderRig rig({TermGfxPixels::Symbols, TermGfxColours::Direct});
  auto frame = BandFrame();
  ReadScreen screen = MakeReadScreen(80, 25);
  Feed(screen, rig.Render(*frame, Pane80x25));

  // The same frame again: nothing at all.
  EXPECT_EQ(rig.Render(*frame, Pane80x25), "");

  // A yellow bar in the lower half of cell row 10 (pixels 200..219) and a dot in row 3.
  FillFrame(*frame, 100, 210, 300, 219, Yellow);
  FillFrame(*frame, 500, 70, 503, 73, White);
  ForgetTouches(screen);
  Feed(screen, rig.Render(*frame, Pane80x25));
  EXPECT_EQ(screen.rowsMovedTo, (std::vector<int>{3, 10}));
  EXPECT_EQ(screen.clears, 0);
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 80; ++x) {
      if (y != 3 && y != 10) {
        ASSERT_FALSE(screen.at(x, y).touched) << x << "," << y;
      }
    }
  }
  EXPECT_TRUE(Shown(screen.at(8 + 15, 10)).count(DirectKind | 0xFFFF55));

  // After the screen was forgotten (cleared by someone else): everything.
  ForgetTermGfxScreen(*rig.renderer);
  ForgetTouches(screen);
  Feed(screen, rig.Render(*frame, Pane80x25));
  EXPECT_EQ(screen.clears, 1);
  EXPECT_EQ(screen.rowsMovedTo.size(), 25u);  // 24 picture rows and the line
}

TEST(TermGfxRender, ANewTerminalSizeIsDrawnAnewAtThatSize) {
  RenderRig rig({TermGfxPixels::Symbols, TermGfxColours::Direct});
  auto frame = BandFrame();
  ReadScreen small = MakeReadScreen(80, 25);
  Feed(small, rig.Render(*frame, Pane80x25));
  ReadScreen large = MakeReadScreen(120, 40);
  Feed(large, rig.Render(*frame, {120, 40, 16, 32}));
  EXPECT_EQ(large.clears, 1);
  EXPECT_EQ(large.trouble, "");
  // 39 rows of 1:2 cells: 104 columns, from column 8; the last band ends there.
  EXPECT_EQ(Shown(large.at(8 + 103, 20)), std::set<std::uint32_t>{DirectKind | 0xFFFFFF});
  EXPECT_EQ(Shown(large.at(8 + 2, 38)), std::set<std::uint32_t>{DirectKind | 0x000000});
  EXPECT_FALSE(large.at(7, 20).touched);
  EXPECT_FALSE(large.at(8 + 104, 20).touched);
}

TEST(TermGfxRender, TheConsolesNewestLineStandsOnTheLastRowAndIsSentWhenItChanges) {
  RenderRig rig({TermGfxPixels::Symbols, TermGfxColours::Ansi16});
  auto frame = BlackFrame();
  auto console = std::make_unique<Console>();
  Window(*console, 3, 3, 78, 23);
  Writeln(*console, CP852("Üzemmódváltás: Normal (5234,n)"));
  std::memcpy(frame->line, console->cells[NewestConsoleRow(*console) - 1], sizeof frame->line);
  ReadScreen screen = MakeReadScreen(80, 25);
  Feed(screen, rig.Render(*frame, Pane80x25));
  const std::string first = "  Üzemmódváltás: Normal (5234,n)";
  EXPECT_EQ(RowText(screen, 24).substr(0, first.size()), first);
  EXPECT_EQ(screen.at(2, 24).fg, Ansi16Kind | 7);  // light gray on black, the console's normal
  EXPECT_EQ(screen.at(2, 24).bg, Ansi16Kind | 0);

  // Only the line changes: only the last row is sent.
  Writeln(*console, CP852("Üzemmódváltás: Lepesenkenti (5300,L)"));
  std::memcpy(frame->line, console->cells[NewestConsoleRow(*console) - 1], sizeof frame->line);
  ForgetTouches(screen);
  Feed(screen, rig.Render(*frame, Pane80x25));
  EXPECT_EQ(screen.rowsMovedTo, std::vector<int>{24});
  const std::string second = "  Üzemmódváltás: Lepesenkenti (5300,L)";
  EXPECT_EQ(RowText(screen, 24).substr(0, second.size()), second);
}

TEST(TermGfxRender, SixelsAreOneImageAtThePicturesCornerSentOnlyWhenTheSurfaceChanged) {
  RenderRig rig({TermGfxPixels::Sixels, TermGfxColours::Direct});
  auto frame = BandFrame();
  ReadScreen screen = MakeReadScreen(100, 31);
  const std::string bytes = rig.Render(*frame, {100, 31, 8, 16});
  Feed(screen, bytes);
  EXPECT_EQ(screen.images, 1);
  EXPECT_NE(bytes.find("\x1b[1;11H\x1bP"), std::string::npos) << "not at row 1, column 11";
  EXPECT_NE(bytes.find("\"1;1;640;480"), std::string::npos) << "not 640 x 480 pixels";
  EXPECT_EQ(rig.Render(*frame, {100, 31, 8, 16}), "");
  FillFrame(*frame, 0, 0, 0, 0, White);
  ForgetTouches(screen);
  Feed(screen, rig.Render(*frame, {100, 31, 8, 16}));
  EXPECT_EQ(screen.images, 1);
  EXPECT_EQ(screen.clears, 0);
}

TEST(TermGfxRender, SixelsAfterTheFirstSendOnlyTheChangedRowsInWholeBandsOfSix) {
  // 30 rows of 16 pixels hold the picture's 480 pixel rows; the line below.
  RenderRig rig({TermGfxPixels::Sixels, TermGfxColours::Direct});
  auto frame = BandFrame();
  frame->line[0] = ConsoleCell{'x', NormalAttribute};
  const std::string whole = rig.Render(*frame, {100, 31, 8, 16});
  EXPECT_NE(whole.find("\"1;1;640;480"), std::string::npos);
  // The bottom row of the screen changes: the last cell row, grown upwards
  // to three rows (48 pixels, whole bands of six), at its place; nothing
  // else, no line.
  FillFrame(*frame, 0, 479, 639, 479, White);
  ReadScreen screen = MakeReadScreen(100, 31);
  const std::string bottom = rig.Render(*frame, {100, 31, 8, 16});
  Feed(screen, bottom);
  EXPECT_EQ(screen.images, 1);
  EXPECT_EQ(screen.rowsMovedTo, std::vector<int>{27});
  EXPECT_NE(bottom.find("\"1;1;640;48"), std::string::npos);
  EXPECT_LT(bottom.size() * 3, whole.size());
  // Two places far apart: two images.
  FillFrame(*frame, 0, 0, 9, 0, Yellow);
  FillFrame(*frame, 0, 300, 9, 300, Yellow);
  ForgetTouches(screen);
  Feed(screen, rig.Render(*frame, {100, 31, 8, 16}));
  EXPECT_EQ(screen.images, 2);
  EXPECT_EQ(screen.rowsMovedTo, (std::vector<int>{0, 18}));  // pixel row 300 is in cell row 18
}

TEST(TermGfxRender, KittyImagesReplaceTheLastOne) {
  RenderRig rig({TermGfxPixels::Kitty, TermGfxColours::Direct});
  auto frame = BandFrame();
  const std::string first = rig.Render(*frame, {100, 31, 8, 16});
  EXPECT_NE(first.find("\x1b_Ga=T"), std::string::npos);
  FillFrame(*frame, 0, 0, 9, 9, White);
  const std::string second = rig.Render(*frame, {100, 31, 8, 16});
  const auto del = second.find("\x1b_Ga=d"), put = second.find("\x1b_Ga=T");
  ASSERT_NE(put, std::string::npos);
  EXPECT_LT(del, put) << "the last image is not taken away first";
}

TEST(TermGfxSink, ATerminalThatTakesNothingIsGivenUpOnAfterItsPatience) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
  auto sink = std::make_unique<TermGfxSink>();
  sink->fd = pipeFds[1];
  sink->patienceMs = 100;
  std::string block(1 << 20, 'x');  // more than any pipe holds
  SinkWrite(*sink, block.data(), block.size());
  SinkFlush(*sink);
  EXPECT_TRUE(sink->failed);
  EXPECT_GT(sink->written, 0);
  EXPECT_LT(sink->written, std::int64_t(block.size()));
  close(pipeFds[0]);
  close(pipeFds[1]);
}

TEST(TermGfxSink, AbandonStopsTheWaitAtOnce) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
  std::atomic<bool> abandon{true};
  auto sink = std::make_unique<TermGfxSink>();
  sink->fd = pipeFds[1];
  sink->abandon = &abandon;  // patience unlimited: only abandon ends the wait
  std::string block(1 << 20, 'x');
  SinkWrite(*sink, block.data(), block.size());
  SinkFlush(*sink);
  EXPECT_TRUE(sink->failed);
  close(pipeFds[0]);
  close(pipeFds[1]);
}

TEST(TermGfxDetect, ChafasDetectionChoosesPixelsAndColours) {
  struct Case {
    std::vector<const char*> env;
    TermGfxPixels pixels;
    TermGfxColours colours;
  };
  const Case cases[] = {
      {{"TERM=xterm-256color"}, TermGfxPixels::Symbols, TermGfxColours::Direct},
      {{"TERM=xterm-kitty"}, TermGfxPixels::Kitty, TermGfxColours::Direct},
      {{"TERM=foot"}, TermGfxPixels::Sixels, TermGfxColours::Indexed240},
      {{"TERM=linux"}, TermGfxPixels::Symbols, TermGfxColours::Ansi16},
      {{"TERM=tmux-256color", "TMUX=/tmp/x,1,0"},
       TermGfxPixels::Symbols,
       TermGfxColours::Indexed240},
      {{"TERM=screen", "TMUX=/tmp/x,1,0"}, TermGfxPixels::Symbols, TermGfxColours::Direct},
      {{"TERM=xterm", "COLORTERM=truecolor"}, TermGfxPixels::Symbols, TermGfxColours::Direct},
  };
  for (const Case& c : cases) {
    std::vector<char*> env;
    for (const char* e : c.env) env.push_back(const_cast<char*>(e));
    env.push_back(nullptr);
    TermGfxCaps caps = DetectTermGfxCaps(env.data());
    EXPECT_EQ(caps.pixels, c.pixels) << c.env[0];
    EXPECT_EQ(caps.colours, c.colours) << c.env[0];
  }
}

}  // namespace

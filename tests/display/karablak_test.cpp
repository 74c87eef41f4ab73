#include "display/karablak.h"

#include <memory>
#include <vector>

#include "display/screen.h"
#include "display_test_support.h"
#include "platform/fatal.h"
#include "platform/program_exit.h"
#include "support/scripted_backend.h"

namespace {

std::unique_ptr<KarAblak> DesignPanel(const GraphSurface& g) {
  auto k = std::make_unique<KarAblak>();
  InitKarAblak(*k, ScaleX(g, 320), ScaleY(g, 20), ScaleX(g, 630), ScaleY(g, 240),
               CP852("Információk"), 15);
  return k;
}

// The exit code and message of a call that must stop the program.
template <typename F>
ProgramExit StopOf(F&& call) {
  try {
    call();
  } catch (const ProgramExit& e) {
    return e;
  }
  ADD_FAILURE() << "the program was not stopped";
  return {};
}

TEST(KarAblak, NineFieldsAtX329FromY40Every13Pixels) {
  auto g = OpenSurface();
  SetLineStyle(*g, SolidLn, 0, ThickWidth);
  auto k = DesignPanel(*g);
  const char* names[] = {"A", "N", "M", "K", "Ah", "Kh", "G", "rSz", "B"};
  for (const char* n : names) AddField(*k, n, "7");
  DrawKarAblak(*k, *g);
  EXPECT_TRUE(ThickOutline(*g, 319, 19, 629, 239));
  EXPECT_TRUE(TextAt(*g, 430, 27, CP852("Információk")));
  int y = 40;
  for (const char* n : names) {
    ShortString<16> line;
    Append(line, n);
    Append(line, ":7");
    EXPECT_TRUE(TextAt(*g, 329, y, line.view())) << n;
    y += 13;
  }
  EXPECT_EQ(g->fillPattern, SolidFill);
  EXPECT_EQ(g->fillColour, 15);
  EXPECT_EQ(g->viewport.x1, 0);
}

TEST(KarAblak, ShorterValueLeavesNoTrace) {
  auto g = OpenSurface();
  auto k = DesignPanel(*g);
  AddField(*k, CP852("össz-molszám"), "12345");
  DrawKarAblak(*k, *g);
  EXPECT_TRUE(TextAt(*g, 329, 40, CP852("össz-molszám:12345")));
  SetField(*k, CP852("össz-molszám"), "9");
  DrawKarAblak(*k, *g);
  EXPECT_TRUE(TextAt(*g, 329, 40, CP852("össz-molszám:9")));
  EXPECT_EQ(CountColour(*g, 329 + 14 * 8, 40, 618, 52, 15), 0);
}

TEST(KarAblak, LongLinesAreClippedAtTheWindowEdge) {
  auto g = OpenSurface();
  auto k = DesignPanel(*g);
  AddField(*k, "N", "0123456789012345678901234567890123456789012345");
  DrawKarAblak(*k, *g);
  EXPECT_GT(CountColour(*g, 600, 40, 629, 47, 15), 0);
  EXPECT_EQ(CountColour(*g, 631, 40, 639, 47, 15), 0);
}

TEST(KarAblak, NoFieldsDrawsOutlineAndTitleOnly) {
  auto g = OpenSurface();
  SetLineStyle(*g, SolidLn, 0, ThickWidth);
  auto k = DesignPanel(*g);
  DrawKarAblak(*k, *g);
  EXPECT_TRUE(ThickOutline(*g, 319, 19, 629, 239));
  EXPECT_TRUE(TextAt(*g, 430, 27, CP852("Információk")));
  EXPECT_EQ(CountColour(*g, 321, 36, 627, 237, 15), 0);
}

TEST(KarAblak, TenFieldsFitTheEleventhStopsWithCode1) {
  auto k = std::make_unique<KarAblak>();
  InitKarAblak(*k, 0, 0, 100, 100, "t", 15);
  for (int i = 0; i < 10; ++i) AddField(*k, "f", "v");
  EXPECT_EQ(k->fieldCount, 10);
  ProgramExit e = StopOf([&] { AddField(*k, "rSz", "1"); });
  EXPECT_EQ(e.code, 1);
  EXPECT_EQ(e.message.view(), CP852("Túl sok mező (rSz nevű) az egyik KarAblak-ban!"));
}

TEST(KarAblak, MissingFieldStopsWithCode2AndNamesAreCaseSensitive) {
  auto k = std::make_unique<KarAblak>();
  InitKarAblak(*k, 0, 0, 100, 100, "t", 15);
  AddField(*k, "N", "5");
  AddField(*k, "N", "6");
  SetField(*k, "N", "7");
  EXPECT_EQ(k->fields[0].value.view(), "7");  // the first match wins
  EXPECT_EQ(k->fields[1].value.view(), "6");
  ProgramExit e = StopOf([&] { SetField(*k, "n", "1"); });
  EXPECT_EQ(e.code, 2);
  EXPECT_EQ(e.message.view(), CP852("Nem létező (n nevű) mező az egyik KarAblak-ban!"));
}

TEST(KarAblak, MisuseMessageIsTheConsolesLastLineAndTheExitCode) {
  for (int code : {1, 2}) {
    auto sp = std::make_unique<ScriptedPlatform>();
    SetUpScriptedPlatform(*sp);
    auto k = std::make_unique<KarAblak>();
    InitKarAblak(*k, 0, 0, 100, 100, "t", 15);
    Write(sp->platform.console, "a prompt");
    const int exitCode = RunWithPlatform(sp->platform, [&](Platform&) {
      if (code == 1) {
        for (int i = 0; i <= KarAblakCapacity; ++i) AddField(*k, "f", "v");
      } else {
        SetField(*k, "nincs", "v");
      }
    });
    EXPECT_EQ(exitCode, code);
    char row[ConsoleWidth];
    const std::string line(row, ConsoleRowText(sp->platform.console, 2, row));
    EXPECT_EQ(line, code == 1 ? std::string(CP852("Túl sok mező (f nevű) az egyik KarAblak-ban!"))
                              : std::string(
                                    CP852("Nem létező (nincs nevű) mező az egyik KarAblak-ban!")));
  }
}

}  // namespace

// The mode field as the run lays it out: every text the field can show.
TEST(KarAblak, TheModeValueBoxHoldsWhatDiffersBetweenModesAndNothingOfTheName) {
  auto g = OpenSurface();
  auto s = std::make_unique<Screen>();
  std::int32_t size = 0;
  ASSERT_TRUE(LayOutWindows(*s, *g, SimParams{100, 100, 3000, 0.5, 0.8, 0.2, 3},
                            ModeNames[Lepesenkenti], size));
  PixelBox box;
  ASSERT_TRUE(FieldValueBox(s->infoPanel, *g, CP852("Üzemmód"), box));
  static constexpr auto frozen = CP852("Megállt (V: vége)");
  const std::string_view texts[] = {ModeNames[0], ModeNames[1], ModeNames[2], ModeNames[3],
                                    frozen.view(), ""};
  std::vector<std::vector<std::uint8_t>> pictures;
  for (std::string_view text : texts) {
    SetField(s->infoPanel, CP852("Üzemmód"), text);
    DrawKarAblak(s->infoPanel, *g);
    pictures.emplace_back(g->pixels, g->pixels + 640 * 480);
    if (!text.empty()) {
      EXPECT_TRUE(TextAt(*g, box.x1, box.y1, text)) << text;
    }
  }
  // With no value the name alone is drawn, and none of it is in the box
  // (whose right end is on the panel's 3-pixel outline).
  EXPECT_EQ(CountColour(*g, box.x1, box.y1, box.x2 - 2, box.y2, 15), 0);
  EXPECT_TRUE(TextAt(*g, box.x1 - 8 * 8, box.y1, CP852("Üzemmód:")));
  int differing = 0;
  for (std::size_t a = 0; a < pictures.size(); ++a)
    for (std::size_t b = a + 1; b < pictures.size(); ++b)
      for (int i = 0; i < 640 * 480; ++i) {
        if (pictures[a][i] == pictures[b][i]) continue;
        ++differing;
        const int x = i % 640, y = i / 640;
        ASSERT_TRUE(x >= box.x1 && x <= box.x2 && y >= box.y1 && y <= box.y2)
            << texts[a] << " / " << texts[b] << " differ at " << x << "," << y;
      }
  EXPECT_GT(differing, 0);
  EXPECT_FALSE(FieldValueBox(s->infoPanel, *g, CP852("üzemmód"), box));
}

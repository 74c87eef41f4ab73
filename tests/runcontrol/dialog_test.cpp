// The parameter dialog, the set-up after it, and its error screen.
#include "program_harness.h"
#include "runcontrol/dialog.h"

namespace {

int Ask(ProgramHarness& h) { return RunPiece(h, [](Program& p) { AskParameters(p); }); }

TEST(Dialog, PromptsBoundsAndStoredValues) {
  auto h = MakeHarness("", "5\n5\n25\n-1\n1\n0.25\n10\n");
  ASSERT_EQ(Ask(*h), 0);
  const SimParams& p = h->experiment.reactor.params;
  EXPECT_EQ(p.N, 5);
  EXPECT_EQ(p.M, 5);
  EXPECT_EQ(p.K, 25);
  EXPECT_EQ(p.Ah, -1.0);
  EXPECT_EQ(p.Kh, 1.0);
  EXPECT_EQ(p.G, 0.25);
  EXPECT_EQ(p.rSz, 10);
  // Prompts inside the title screen's text window, answers echoed after them.
  EXPECT_EQ(InnerRow(*h, 3), std::string(CP852("A reakciótér függôleges mérete? [1-250]5")));
  EXPECT_EQ(InnerRow(*h, 4), std::string(CP852("A reakciótér vizszintes mérete? [1-250]5")));
  EXPECT_EQ(InnerRow(*h, 5), std::string(CP852("A részecskék száma? [1- 25]25")));
  EXPECT_EQ(InnerRow(*h, 6), std::string(CP852("Adhézió nagysága? [-1..1]-1")));
  EXPECT_EQ(InnerRow(*h, 7), std::string(CP852("Kohézió nagysága? [-1..1]1")));
  EXPECT_EQ(InnerRow(*h, 8),
            std::string(CP852("A gravitáció nagysága (lefelé lépés valószinüsége) ? [-1..1]0.25")));
  EXPECT_EQ(InnerRow(*h, 9), std::string(CP852("Szomszédsági sugár? [1..10]10")));
  // The set-up ran: reactor full, row counts in the row histogram.
  EXPECT_EQ(h->experiment.reactor.rowCounts[5], 5);
  EXPECT_EQ(h->screen.distributionWindow.values[5], 5);
  EXPECT_EQ(h->screen.distributionWindow.count, 6);
  EXPECT_FALSE(h->graph.open);
  EXPECT_EQ(h->program.run.consoleActive, 1);
}

TEST(Dialog, OutOfRangeAnswersAreAskedAgainWithoutAMessage) {
  // N: 40000 (-25536) and 0 refused, 65537 taken as 1. M: empty line, then
  // "12 34". K: 13 > 12 refused. Ah: -1.0001 refused. Kh: 1.0001 refused.
  // rSz: 0 and 11 refused.
  auto h =
      MakeHarness("", "40000\n0\n65537\n\n12 34\n13\n12\n-1.0001\n0\n1.0001\n0\n0\n0\n11\n3\n");
  ASSERT_EQ(Ask(*h), 0);
  const SimParams& p = h->experiment.reactor.params;
  EXPECT_EQ(p.N, 1);
  EXPECT_EQ(p.M, 12);
  EXPECT_EQ(p.K, 12);
  EXPECT_EQ(p.rSz, 3);
  const auto row = [&](int y) { return InnerRow(*h, y); };
  const std::string n(CP852("A reakciótér függôleges mérete? [1-250]").view());
  EXPECT_EQ(row(3), n + "40000");
  EXPECT_EQ(row(4), n + "0");
  EXPECT_EQ(row(5), n + "65537");
  // The empty line is echoed as a line end and the prompt is not repeated.
  const std::string m(CP852("A reakciótér vizszintes mérete? [1-250]").view());
  EXPECT_EQ(row(6), m);
  EXPECT_EQ(row(7), "12 34");
  EXPECT_EQ(row(8), std::string(CP852("A részecskék száma? [1- 12]13")));
  EXPECT_EQ(row(9), std::string(CP852("A részecskék száma? [1- 12]12")));
  EXPECT_EQ(row(10), std::string(CP852("Adhézió nagysága? [-1..1]-1.0001")));
  EXPECT_EQ(row(14),
            std::string(CP852("A gravitáció nagysága (lefelé lépés valószinüsége) ? [-1..1]0")));
  EXPECT_EQ(row(15), std::string(CP852("Szomszédsági sugár? [1..10]0")));
  EXPECT_EQ(row(16), std::string(CP852("Szomszédsági sugár? [1..10]11")));
  EXPECT_EQ(row(17), std::string(CP852("Szomszédsági sugár? [1..10]3")));
}

TEST(Dialog, KIsLimitedBySixteenBitsToo) {
  auto h = MakeHarness("", "250\n250\n32768\n62500\n32767\n0\n0\n0\n1\n");
  ASSERT_EQ(Ask(*h), 0);
  EXPECT_EQ(h->experiment.reactor.params.K, 32767);
  EXPECT_EQ(InnerRow(*h, 5), std::string(CP852("A részecskék száma? [1-62500]32768")));
}

TEST(Dialog, EachLineAnswersOneQuestionHoweverLongAndEveryRealReads) {
  // N after 300 blanks; Ah first too large for a double (asked again), then
  // too small for one (0); Kh -0.
  auto h = MakeHarness("", std::string(300, ' ') + "5\n7\n9\n1e4933\n1e-5000\n-0\n-1e-4940\n2\n");
  ASSERT_EQ(Ask(*h), 0);
  const SimParams& p = h->experiment.reactor.params;
  EXPECT_EQ(p.N, 5);
  EXPECT_EQ(p.M, 7);
  EXPECT_EQ(p.K, 9);
  EXPECT_EQ(p.Ah, 0.0);
  EXPECT_EQ(p.Kh, 0.0);
  EXPECT_EQ(p.G, 0.0);
  EXPECT_EQ(p.rSz, 2);
  EXPECT_EQ(Occurrences(AllText(*h), CP852("Adhézió nagysága? [-1..1]")), 2);
}

// A typo is asked again exactly as an answer out of range; a decimal comma
// is a decimal point.
TEST(Dialog, WhatIsNoNumberIsAskedAgainAndADecimalCommaReads) {
  auto h = MakeHarness("", "20\n20\n100\nabc\n0,5\n1,2,3\n0,8\n0.2\n2x\n3\n");
  ASSERT_EQ(Ask(*h), 0);
  const SimParams& p = h->experiment.reactor.params;
  EXPECT_EQ(p.Ah, 0.5);
  EXPECT_EQ(p.Kh, 0.8);
  EXPECT_EQ(p.rSz, 3);
  const std::string text = AllText(*h);
  EXPECT_EQ(Occurrences(text, CP852("Adhézió nagysága? [-1..1]")), 2);
  EXPECT_EQ(Occurrences(text, CP852("Kohézió nagysága? [-1..1]")), 2);
  EXPECT_EQ(Occurrences(text, CP852("Szomszédsági sugár? [1..10]")), 2);
  EXPECT_FALSE(Contains(text, "Runtime error"));
}

TEST(Dialog, EndOfInputEndsWithAMessageInsteadOfAskingForEver) {
  auto h = MakeHarness("", "20\n");
  EXPECT_EQ(Ask(*h), 100);
  EXPECT_TRUE(Contains(AllText(*h), "Runtime error 100"));
}

TEST(Dialog, PanelFieldsAndChartTitle) {
  auto h = MakeHarness("", "7\n9\n11\n0.5\n-0.4\n-0.6\n2\n");
  ASSERT_EQ(Ask(*h), 0);
  const KarAblak& k = h->screen.infoPanel;
  ASSERT_EQ(k.fieldCount, 9);
  const char* names[] = {"", "N", "M", "K", "Ah", "Kh", "G", "rSz", ""};
  const char* values[] = {"Lepesenkenti", "7", "9", "11", "1", "0", "-1", "2", "0"};
  for (int i = 0; i < 9; ++i) {
    if (*names[i]) {
      EXPECT_EQ(k.fields[i].name.view(), names[i]);
    }
    EXPECT_EQ(k.fields[i].value.view(), values[i]) << i;
  }
  EXPECT_EQ(k.fields[0].name.view(), CP852("Üzemmód"));
  EXPECT_EQ(k.fields[8].name.view(), CP852("össz-molszám"));
  const HistogramWindow& chart = h->screen.changeWindow;
  EXPECT_EQ(chart.header.title.view(), CP852("Sürüség-változás 2000 idöegységenként"));
  EXPECT_EQ(chart.header.title.length, 37);
  EXPECT_EQ(chart.count, 0);
  EXPECT_DOUBLE_EQ(chart.scale, 189.0 / 7);
  EXPECT_EQ(chart.header.x1, 319);
  EXPECT_EQ(chart.header.y1, 249);
}

TEST(Dialog, ASurfaceTooLargeForTheHistoryBufferShowsTheErrorScreen) {
  auto h = MakeHarness("k", SmallAnswers);
  ASSERT_TRUE(SetSurfaceSize(h->graph, 2048, 1536));
  EXPECT_EQ(Ask(*h), 1);
  EXPECT_EQ(h->sp.script.next, h->sp.script.steps.size());  // the key was waited for
  EXPECT_FALSE(h->graph.open);
  const std::string text = AllText(*h);
  EXPECT_TRUE(Contains(text, CP852("Hibaüzenet!")));
  const auto row = [&](int y) { return InnerRow(*h, y); };
  EXPECT_EQ(row(3),
            std::string(CP852("Sajnos kicsi a hisztogram-mentéshez rendelt temporális memória,")));
  EXPECT_EQ(row(4), std::string(CP852("ezért a program nem tud futni. Megáll.")));
  EXPECT_EQ(row(5), "");
  EXPECT_EQ(row(6), std::string(CP852("A \"puffMeret\" konstans értékét növelni kell ekkorára:")));
  EXPECT_EQ(row(7), "639069");  // the row histogram is checked first
  EXPECT_EQ(row(8), std::string(CP852("Szólj a programozónak! :)")));
}

}  // namespace

// The title screen, the help pager and the summary.
#include <sys/stat.h>
#include <unistd.h>

#include "program_harness.h"
#include "runcontrol/text_screens.h"

namespace {

std::string Lines(int n) {
  std::string text;
  for (int i = 1; i <= n; ++i) text += "line " + std::to_string(i) + "\n";
  return text;
}

// Keys the pager took: script steps delivered and no longer waiting.
int KeysTaken(ProgramHarness& h) {
  return static_cast<int>(h.sp.script.next) - h.sp.platform.keys.count;
}

// The summary as the program reaches it: the run ended, graphics still up.
int Summarise(ProgramHarness& h) {
  h.program.run.consoleActive = 0;
  h.program.run.runMode = Vege;
  return RunPiece(h, [](Program& p) { ShowSummary(p); });
}

int Page(ProgramHarness& h) {
  return RunPiece(h, [](Program& p) { PageHelpFile(p, " Lemvaris ", "kervatin.hlp"); });
}

TEST(TitleScreen, ShadedFrameCentredBrightTitleAndInnerWindow) {
  auto h = MakeHarness("", "");
  ShowTitleScreen(h->program, " Lemvaris ");
  const Console& c = h->sp.platform.console;
  for (int x = 1; x <= 80; ++x) {
    EXPECT_EQ(ConsoleCellAt(c, x, 24).ch, 178);
    if (x < 35 || x > 44) {
      EXPECT_EQ(ConsoleCellAt(c, x, 1).ch, 178);
    }
  }
  for (int y = 1; y <= 24; ++y) {
    EXPECT_EQ(ConsoleCellAt(c, 1, y).ch, 178);
    EXPECT_EQ(ConsoleCellAt(c, 80, y).ch, 178);
  }
  EXPECT_EQ(ScreenRow(*h, 1).substr(34, 10), " Lemvaris ");
  EXPECT_EQ(ConsoleCellAt(c, 36, 1).attribute & 8, 8);  // bright
  EXPECT_EQ(ConsoleCellAt(c, 2, 1).attribute & 8, 0);
  EXPECT_EQ(ScreenRow(*h, 25), "");
  EXPECT_EQ(c.windowLeft, 3);
  EXPECT_EQ(c.windowTop, 3);
  EXPECT_EQ(c.windowRight, 78);
  EXPECT_EQ(c.windowBottom, 23);
  EXPECT_EQ(c.attribute, NormalAttribute);
  // An odd length starts at the same column.
  ShowTitleScreen(h->program, " Lemvaris! ");
  EXPECT_EQ(ScreenRow(*h, 1).substr(34, 11), " Lemvaris! ");
}

TEST(HelpPager, NineteenLinesAPageWithASpinningPrompt) {
  for (auto [lines, pages] : {std::pair{0, 0}, {19, 1}, {20, 2}, {39, 3}}) {
    auto h = MakeHarness("abcd", "", Lines(lines).c_str());
    EXPECT_EQ(Page(*h), 0);
    EXPECT_EQ(KeysTaken(*h), pages) << lines << " lines";
  }
  auto h = MakeHarness("a", "", Lines(20).c_str());
  ScriptPause(h->sp, 450);
  ScriptKeys(h->sp, "b");
  EXPECT_EQ(Page(*h), 0);
  // The last page holds line 20 alone, and the prompt waits at column 35 of row 25.
  EXPECT_EQ(InnerRow(*h, 3), "line 20");
  EXPECT_EQ(InnerRow(*h, 4), "");
  const std::string prompt = ScreenRow(*h, 25);
  EXPECT_EQ(prompt.substr(0, 34), std::string(34, ' '));
  EXPECT_EQ(prompt.substr(34, 12), "Lapozhatunk?");
  // The key came 450 ms in: four frames of 100 ms, \ | / -, were shown.
  EXPECT_EQ(prompt.substr(46), "-");
  EXPECT_TRUE(Contains(AllText(*h), "line 19"));
}

TEST(HelpPager, LongLinesAreCutAt255) {
  std::string text(300, '#');
  text += "\nnext\n";
  auto h = MakeHarness("a", "", text.c_str());
  EXPECT_EQ(Page(*h), 0);
  std::string shown;
  for (int y = 3; y <= 23; ++y) shown += InnerRow(*h, y);
  EXPECT_EQ(Occurrences(shown, "#"), 255);
  EXPECT_TRUE(Contains(shown, "next"));
}

TEST(HelpPager, MissingFileIsReportedInBrightAndWaitedOn) {
  auto h = MakeHarness("a", "", nullptr);
  GotoXY(h->sp.platform.console, 1, 4);
  EXPECT_EQ(Page(*h), 0);
  EXPECT_EQ(KeysTaken(*h), 1);
  EXPECT_EQ(ScreenRow(*h, 4) + "  ", std::string(CP852("  Nincs meg a tájékoztató fájl!!!  ")));
  EXPECT_EQ(ConsoleCellAt(h->sp.platform.console, 3, 4).attribute & 8, 8);
  EXPECT_EQ(h->sp.platform.console.attribute, NormalAttribute);
}

TEST(HelpPager, AnEmptyLineAfterACrEndedLineIsKept) {
  auto h = MakeHarness("a", "", "a\rb\n\nc");
  EXPECT_EQ(Page(*h), 0);
  EXPECT_EQ(InnerRow(*h, 3), "a");
  EXPECT_EQ(InnerRow(*h, 4), "b");
  EXPECT_EQ(InnerRow(*h, 5), "");
  EXPECT_EQ(InnerRow(*h, 6), "c");
}

TEST(HelpPager, AFileThatIsNotRegularIsReportedAsMissing) {
  // A FIFO would block the open, /dev/zero would never end, a folder does not
  // read; each gets the missing file's message and key wait, without waiting.
  const auto fifo = [](const std::string& path) { return mkfifo(path.c_str(), 0600); };
  const auto zero = [](const std::string& path) { return symlink("/dev/zero", path.c_str()); };
  const auto folder = [](const std::string& path) { return mkdir(path.c_str(), 0700); };
  for (int (*make)(const std::string&) : {+fifo, +zero, +folder}) {
    auto h = MakeHarness("a", "", nullptr, nullptr);
    ScriptPause(h->sp, 300);  // the summary takes a key that is already waiting
    ScriptKeys(h->sp, "b");
    ASSERT_EQ(make(h->folder + "/kervatin.hlp"), 0);
    ASSERT_EQ(make(h->folder + "/kervatin.sum"), 0);
    alarm(10);  // a blocking open would hang the test: end it instead
    EXPECT_EQ(Page(*h), 0);
    EXPECT_EQ(KeysTaken(*h), 1);
    EXPECT_TRUE(Contains(AllText(*h), CP852("  Nincs meg a tájékoztató fájl!!!")));
    EXPECT_EQ(Summarise(*h), 0);
    alarm(0);
    EXPECT_TRUE(Contains(h->seen, CP852("  Nincs meg az összefoglaló fájl!!!")));
  }
}

TEST(Summary, PlaceholdersAreFilledInAndCutAt80) {
  ShortString<SummaryLineCapacity> line;
  Assign(line, "<@T@> and <@T@>");
  SubstitutePlaceholders(line, 5234, 7, 9);
  EXPECT_EQ(line.view(), "5234 and 5234");
  Assign(line, "K=<@K@> T=<@T@> N=<@N@>");
  SubstitutePlaceholders(line, -3, 250, 32767);
  EXPECT_EQ(line.view(), "K=32767 T=-3 N=250");
  const std::string dots70(70, '.'), dots72(72, '.');
  Assign(line, dots70);
  Append(line, "<@T@>");
  SubstitutePlaceholders(line, 1234567890, 1, 1);
  EXPECT_EQ(line.view(), dots70 + "1234567890");
  Assign(line, dots72);
  Append(line, "<@T@>");
  SubstitutePlaceholders(line, 1234567890, 1, 1);
  EXPECT_EQ(line.view(), dots72 + "12345678");

  ShortString<255> before, after;
  SplitAtPlaceholder("ab<@N@>cd<@N@>", "<@N@>", before, after);
  EXPECT_EQ(before.view(), "ab");
  EXPECT_EQ(after.view(), "cd<@N@>");
  SplitAtPlaceholder("no mark", "<@N@>", before, after);
  EXPECT_EQ(before.view(), "no mark");
  EXPECT_EQ(after.view(), "");
}

TEST(Summary, FileLinesAreCutAt80BeforeTheSubstitution) {
  // The placeholder lies past column 80 of the file's line: never replaced.
  std::string text = std::string(78, '-') + "<@T@>\nT=<@T@>\n";
  auto h = MakeHarness("", "", "", text.c_str());
  h->experiment.T = 42;
  ScriptPause(h->sp, 300);
  ScriptKeys(h->sp, "a");
  EXPECT_EQ(Summarise(*h), 0);
  const std::string all = AllText(*h);
  EXPECT_TRUE(Contains(all, std::string(74, '-')));
  EXPECT_TRUE(Contains(all, "<@"));
  EXPECT_TRUE(Contains(all, "T=42"));
  EXPECT_FALSE(Contains(all, "-42"));
}

TEST(Summary, MissingFileMessageThenTheClosingText) {
  auto h = MakeHarness("", "", "", nullptr);
  ScriptPause(h->sp, 300);
  ScriptKeys(h->sp, "a");
  EXPECT_EQ(Summarise(*h), 0);
  EXPECT_TRUE(Contains(h->seen, CP852("  Nincs meg az összefoglaló fájl!!!  ")));
  EXPECT_EQ(ScreenRow(*h, 10),
            std::string(24, ' ') + std::string(CP852("Itt a vége fuss el véle!!!!")));
  for (int y = 1; y <= 25; ++y)
    if (y != 10) {
      EXPECT_EQ(ScreenRow(*h, y), "") << y;
    }
}

TEST(Summary, EmptyFileLeavesTheTitleScreenAndWritesIntoTheInnerWindow) {
  auto h = MakeHarness("", "", "", "");
  EXPECT_EQ(Summarise(*h), 0);
  EXPECT_EQ(ScreenRow(*h, 1).substr(34, 10), " Lemvaris ");
  // Column 25, row 10 of the inner window: screen column 27, row 12.
  EXPECT_EQ(InnerRow(*h, 12),
            std::string(24, ' ') + std::string(CP852("Itt a vége fuss el véle!!!!")));
}

TEST(Summary, TakesAtMostOneWaitingKeyWithoutWaiting) {
  auto h = MakeHarness("zz", "", "", "T=<@T@>");
  EXPECT_EQ(Summarise(*h), 0);
  EXPECT_EQ(KeysTaken(*h), 2);  // one taken by the look, one by the page
}

}  // namespace

// The presenter thread behind the back end: handing a frame over never waits
// for the terminal, frames the terminal cannot take are dropped, the newest
// one is what the terminal gets, and hiding gives the screen back.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/console.h"
#include "platform/graph.h"
#include "text/shortstring.h"
#include "backends/native/termgfx/terminal_graphics.h"
#include "backends/native/terminal.h"
#include "termgfx_test_support.h"

namespace {

struct PresenterRig {
  std::unique_ptr<TerminalGraphics> tg = std::make_unique<TerminalGraphics>();
  std::unique_ptr<GraphSurface> surface = std::make_unique<GraphSurface>();
  std::unique_ptr<Console> console = std::make_unique<Console>();
  Terminal terminal;  // output None: only its screen flags matter here

  PresenterRig(int fd, TermGfxSize size) {
    SetUpTerminalGraphicsOn(*tg, {TermGfxPixels::Symbols, TermGfxColours::Direct}, size, fd,
                            *console);
    tg->terminal = &terminal;
    InitGraph(*surface);
  }
  ~PresenterRig() { ShutdownTerminalGraphics(*tg); }
};

std::string FileBytes(int fd) {
  std::string bytes(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
  EXPECT_EQ(pread(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  return bytes;
}

TEST(TermGfxPresenter, HandingFramesOverNeverWaitsForATerminalThatTakesNothing) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);  // as the terminal's own description is
  {
    PresenterRig rig(pipeFds[1], {200, 60, 8, 16});
    for (int i = 0; i < 300; ++i) {
      // Every frame differs, so every one taken is sent.
      PutPixel(*rig.surface, i % 640, 240, White);
      PresentTerminalGraphics(*rig.tg, *rig.surface);
    }
    EXPECT_TRUE(rig.terminal.screenLent);
    EXPECT_EQ(rig.tg->framesPosted, 300);
    // Nobody reads the pipe: the presenter is stuck on its first frames, the
    // rest were overwritten in the mailbox.
    EXPECT_GE(rig.tg->framesDropped, 290);
    HideTerminalGraphics(*rig.tg);  // must come back although nothing is read
    EXPECT_FALSE(rig.tg->shown);
    EXPECT_FALSE(rig.terminal.screenLent);
    EXPECT_TRUE(rig.terminal.redrawAll);
  }
  close(pipeFds[0]);
  close(pipeFds[1]);
}

TEST(TermGfxPresenter, TheNewestFrameIsTheOneShownAndHidingClearsTheScreen) {
  std::FILE* file = std::tmpfile();
  PresenterRig rig(fileno(file), Pane80x25);
  for (int i = 1; i <= 5; ++i) {
    ShortString<32> line;
    Assign(line, "frame ");
    AppendInt(line, i);
    Writeln(*rig.console, line.view());
    PresentTerminalGraphics(*rig.tg, *rig.surface);
  }
  // Wait (at most five seconds) for the presenter to send frame 5's line.
  std::string bytes;
  for (int wait = 0; wait < 500 && bytes.find("frame 5") == std::string::npos; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    bytes = FileBytes(fileno(file));
  }
  ReadScreen screen = MakeReadScreen(80, 25);
  Feed(screen, bytes);
  EXPECT_EQ(RowText(screen, 24).substr(0, 7), "frame 5");
  EXPECT_FALSE(screen.cursorVisible);
  // Frames are not queued: never more drawn than taken from the mailbox.
  EXPECT_LE(rig.tg->renderer.framesDrawn, 5 - rig.tg->framesDropped);

  HideTerminalGraphics(*rig.tg);
  Feed(screen, FileBytes(fileno(file)).substr(bytes.size()));
  EXPECT_EQ(screen.trouble, "");
  EXPECT_TRUE(screen.cursorVisible);
  EXPECT_EQ(RowText(screen, 24), std::string(80, ' '));
  EXPECT_EQ(RowText(screen, 5), std::string(80, ' '));
  std::fclose(file);
}

// Until the file holds more than `after` bytes and its tail contains text
// (five seconds at most); returns the bytes past `after`.
std::string WaitForOutput(int fd, std::size_t after, const std::string& text) {
  std::string bytes;
  for (int wait = 0; wait < 500; ++wait) {
    bytes = FileBytes(fd);
    if (bytes.size() > after && bytes.find(text, after) != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return bytes.size() > after ? bytes.substr(after) : std::string();
}

TEST(TermGfxPresenter, AScreenDisturbedMeanwhileIsSentWholeWithTheNextFrame) {
  std::FILE* file = std::tmpfile();
  PresenterRig rig(fileno(file), Pane80x25);
  Writeln(*rig.console, "one");
  PresentTerminalGraphics(*rig.tg, *rig.surface);
  const std::string first = WaitForOutput(fileno(file), 0, "one");
  ASSERT_NE(first.find("one"), std::string::npos);
  // The terminal presenter found the screen disturbed (SIGCONT, SIGWINCH).
  rig.terminal.redrawAll = true;
  Writeln(*rig.console, "two");
  PresentTerminalGraphics(*rig.tg, *rig.surface);
  EXPECT_FALSE(rig.terminal.redrawAll);  // taken over until the screen is given back
  const std::string second = WaitForOutput(fileno(file), first.size(), "two");
  ReadScreen screen = MakeReadScreen(80, 25);
  Feed(screen, second);
  EXPECT_EQ(screen.clears, 1);
  EXPECT_EQ(screen.rowsMovedTo.size(), 25u) << "not every row was sent";
  HideTerminalGraphics(*rig.tg);
  EXPECT_TRUE(rig.terminal.redrawAll);
  std::fclose(file);
}

TEST(TermGfxPresenter, AClosedSurfaceIsNotShown) {
  std::FILE* file = std::tmpfile();
  PresenterRig rig(fileno(file), Pane80x25);
  CloseGraph(*rig.surface);
  PresentTerminalGraphics(*rig.tg, *rig.surface);
  EXPECT_FALSE(rig.tg->shown);
  EXPECT_FALSE(rig.terminal.screenLent);
  EXPECT_EQ(FileBytes(fileno(file)), "");
  std::fclose(file);
}

}  // namespace

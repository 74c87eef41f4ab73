// Terminal graphics in tmux and GNU screen: the pictures chosen for an
// environment, tmux's answer read, and image sequences wrapped in tmux's
// passthrough (read back as tmux reads them).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "backends/native/termgfx/choice.h"
#include "termgfx_test_support.h"

namespace {

// ------------------------------------------------------------ the choice

TmuxPane AnswerOn() { return {TmuxPassthrough::On, 0, 0}; }
TmuxPane AnswerOff() { return {TmuxPassthrough::Off, 0, 0}; }
TmuxPane NoAnswer() { return {}; }
TmuxPane NotToBeAsked() {
  ADD_FAILURE() << "tmux was asked";
  return {TmuxPassthrough::Off, 0, 0};
}

TEST(TermGfxChoice, EnvironmentGivesPicturesReasonAndNote) {
  using P = TermGfxPixels;
  using W = TermGfxWhy;
  struct Case {
    std::vector<const char*> env;
    TmuxPane (*ask)();
    P pixels;
    W why;
    bool throughTmux;
    const char* note;  // a part of it; "" for none at all
  };
  const char* kitty = "TERM=xterm-kitty";
  const char* tmux = "TMUX=/tmp/tmux-1000/default,1,0";
  const char* screen = "STY=1234.pts-0.host";
  // clang-format off
  const Case cases[] = {
      // Empty is unset; outside tmux nobody asks it.
      {{kitty, "TMUX=", "LEMVARIS_GRAPHICS="}, NotToBeAsked, P::Kitty, W::Detected, false, ""},
      // tmux: pixels through its passthrough, or symbols and why.
      {{kitty, tmux}, AnswerOn, P::Kitty, W::Detected, true, ""},
      {{kitty, tmux}, AnswerOff, P::Symbols, W::TmuxClosed, false,
       "(az allow-passthrough ki van kapcsolva; bekapcsolás: tmux set -g allow-passthrough on)"},
      {{"TERM=foot", tmux}, NoAnswer, P::Symbols, W::TmuxClosed, false,
       "(TERM=foot) sixel képeket is mutatna, de a tmux nem mondta meg, átengedi-e őket"},
      {{"TERM=tmux-256color", tmux}, NotToBeAsked, P::Symbols, W::Detected, false, ""},
      // GNU screen, alone or with tmux on either side of it.
      {{kitty, screen}, NotToBeAsked, P::Symbols, W::InScreen, false, "GNU screen alatt fut"},
      {{kitty, tmux, screen}, NotToBeAsked, P::Symbols, W::InScreen, false, "GNU screen"},
      // By hand: followed; said when not what TERM claims, or not to be seen.
      {{kitty, "LEMVARIS_GRAPHICS=symbols"}, NotToBeAsked, P::Symbols, W::ByHand, false,
       "a LEMVARIS_GRAPHICS=symbols szerint a grafika blokk karakterekkel jelenik meg (a "
       "TERM=xterm-kitty szerint: kitty képekkel)."},
      {{"TERM=xterm", "LEMVARIS_GRAPHICS=sixel"}, NotToBeAsked, P::Sixels, W::ByHand, false,
       "szerint a grafika sixel képekkel"},
      {{kitty, "LEMVARIS_GRAPHICS=kitty"}, NotToBeAsked, P::Kitty, W::ByHand, false, ""},
      {{kitty, tmux, "LEMVARIS_GRAPHICS=kitty"}, AnswerOff, P::Kitty, W::ByHand, true,
       "A tmux azonban nem engedi át őket"},
      {{kitty, screen, "LEMVARIS_GRAPHICS=sixel"}, NotToBeAsked, P::Sixels, W::ByHand, false,
       "GNU screen alatt azonban"},
      // A name it does not know: refused, the value shown harmless.
      {{kitty, "LEMVARIS_GRAPHICS=sixels\x1b[2J"}, NotToBeAsked, P::Kitty, W::UnknownWish, false,
       "ismeretlen LEMVARIS_GRAPHICS érték: \"sixels?[2J\""},
  };
  // clang-format on
  for (const Case& c : cases) {
    std::vector<char*> env;
    std::string label;
    for (const char* e : c.env) {
      env.push_back(const_cast<char*>(e));
      label += std::string(e) + " ";
    }
    env.push_back(nullptr);
    SCOPED_TRACE(label);
    const TermGfxChoice choice = ChooseTermGfx(env.data(), c.ask);
    EXPECT_EQ(choice.caps.pixels, c.pixels);
    EXPECT_EQ(choice.why, c.why);
    EXPECT_EQ(choice.caps.throughTmux, c.throughTmux);
    const std::string note = choice.note;
    if (*c.note == '\0') {
      EXPECT_EQ(note, "");
    } else {
      EXPECT_NE(note.find(c.note), std::string::npos) << note;
      EXPECT_EQ(note.find('\x1b'), std::string::npos);
    }
  }
}

TEST(TermGfxChoice, TmuxsAnswerSaysWhetherItPassesImagesOnAndWhereThePaneIs) {
  using T = TmuxPassthrough;
  struct Case {
    const char* answer;
    T passthrough;
    int top, left;
  };
  const Case cases[] = {
      {"0 0 on bottom 3.3a 1\n", T::On, 0, 0},
      {"0 0 on bottom 3.3a 0\n", T::Off, 0, 0},
      {"12 41 on top 3.5a all\n", T::On, 13, 41},
      {"0 0 3 top 3.4 off\n", T::Off, 3, 0},
      {"5 0 off top next-3.6 0\n", T::Off, 5, 0},
      // Before 3.3 there was no such option and every string went through.
      {"0 0 on bottom 3.2a \n", T::On, 0, 0},
      {"0 0 on bottom 3.3a \n", T::Unknown, 0, 0},
      {"", T::Unknown, 0, 0},
  };
  for (const Case& c : cases) {
    const TmuxPane pane = ReadTmuxAnswer(c.answer);
    EXPECT_EQ(pane.passthrough, c.passthrough) << '"' << c.answer << '"';
    EXPECT_EQ(pane.top, c.top) << '"' << c.answer << '"';
    EXPECT_EQ(pane.left, c.left) << '"' << c.answer << '"';
  }
}

// ------------------------------------------------------------ the wrapping

// The bytes as tmux reads them: outside, what tmux itself takes; pieces, the
// passthrough strings' contents, for the terminal outside.
struct ThroughTmux {
  std::string outside;
  std::vector<std::string> pieces;
  std::string trouble;
};

ThroughTmux ReadAsTmux(const std::string& b) {
  static const std::string open = "\x1bPtmux;";
  ThroughTmux t;
  std::size_t i = 0;
  while (i < b.size()) {
    if (b.compare(i, open.size(), open) != 0) {
      t.outside += b[i++];
      continue;
    }
    std::string piece;
    i += open.size();
    for (;;) {
      if (i + 1 >= b.size()) {
        t.trouble += "a piece without its end; ";
        i = b.size();
        break;
      }
      if (b[i] != '\x1b') {
        piece += b[i++];
        continue;
      }
      if (b[i + 1] == '\\') {
        i += 2;
        break;
      }
      if (b[i + 1] != '\x1b') t.trouble += "an ESC not doubled; ";
      piece += '\x1b';
      i += 2;
    }
    t.pieces.push_back(piece);
  }
  return t;
}

std::string Wrapped(const std::string& lead, const std::string& bytes) {
  std::FILE* file = std::tmpfile();
  auto sink = std::make_unique<TermGfxSink>();
  sink->fd = fileno(file);
  SinkWriteThroughTmux(*sink, lead, bytes.data(), bytes.size());
  SinkFlush(*sink);
  std::string out(static_cast<std::size_t>(lseek(fileno(file), 0, SEEK_CUR)), '\0');
  EXPECT_EQ(pread(fileno(file), out.data(), out.size(), 0), static_cast<ssize_t>(out.size()));
  std::fclose(file);
  return out;
}

TEST(TermGfxThroughTmux, EachSequenceIsAPassthroughStringOfItsOwnWithTheLeadFirst) {
  // tmux's own form, written out once.
  EXPECT_EQ(Wrapped("", "\x1b_Ga=d\x1b\\"), "\x1bPtmux;\x1b\x1b_Ga=d\x1b\x1b\\\x1b\\");
  struct Case {
    std::string lead, in;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"\x1b[3;9H",
       "\x1b_Ga=T,m=1;AAAA\x1b\\\x1b_Gm=0;\x1b\\",
       {"\x1b[3;9H\x1b_Ga=T,m=1;AAAA\x1b\\", "\x1b[3;9H\x1b_Gm=0;\x1b\\"}},
      // A lone string end (what closes an image cut short) is one too.
      {"", "\x1b\\", {"\x1b\\"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    const ThroughTmux t = ReadAsTmux(Wrapped(c.lead, c.in));
    EXPECT_EQ(t.trouble, "");
    EXPECT_EQ(t.outside, "");
    EXPECT_EQ(t.pieces, c.pieces);
  }
}

TEST(TermGfxThroughTmux, ImagesGoThroughToTheirPlaceOutsideWhileTmuxKeepsMovesAndLine) {
  for (TermGfxPixels pixels : {TermGfxPixels::Sixels, TermGfxPixels::Kitty}) {
    SCOPED_TRACE(static_cast<int>(pixels));
    RenderRig plain({pixels, TermGfxColours::Direct, false});
    RenderRig wrapped({pixels, TermGfxColours::Direct, true});
    // The pane from row 2, column 41 of the terminal outside (a split).
    wrapped.renderer->outsideTop = 2;
    wrapped.renderer->outsideLeft = 41;
    auto frame = BandFrame();
    frame->line[0] = ConsoleCell{'x', NormalAttribute};
    const ThroughTmux t = ReadAsTmux(wrapped.Render(*frame, {100, 31, 8, 16}));
    EXPECT_EQ(t.trouble, "");
    // The picture's corner, row 0 and column 10 of the pane, outside.
    const std::string place = "\x1b[3;52H";
    std::string images;
    for (const std::string& piece : t.pieces) {
      if (piece == TermGfxKittyDelete) continue;
      ASSERT_EQ(piece.compare(0, place.size(), place), 0) << testing::PrintToString(piece);
      images += piece.substr(place.size());
    }
    // Image bytes as the terminal would have had them without tmux.
    const std::string alone = plain.Render(*frame, {100, 31, 8, 16});
    EXPECT_NE(alone.find(images), std::string::npos);
    EXPECT_GT(images.size(), 10000u);
    // No image for tmux itself; tmux sees the picture's corner and the line.
    EXPECT_EQ(t.outside.find("\x1bP"), std::string::npos);
    EXPECT_EQ(t.outside.find("\x1b_"), std::string::npos);
    ReadScreen screen = MakeReadScreen(100, 31);
    Feed(screen, t.outside);
    EXPECT_EQ(screen.trouble, "");
    EXPECT_EQ(screen.rowsMovedTo, (std::vector<int>{0, 30}));
    EXPECT_EQ(screen.at(0, 30).ch, U'x');
  }
}

TEST(TermGfxThroughTmux, SixelsTooLongForOneStringGoAsBandsEachAtItsPlace) {
  RenderRig rig({TermGfxPixels::Sixels, TermGfxColours::Direct, true});
  auto frame = BlackFrame();
  std::uint32_t seed = 12345;  // noise in every colour: a sixel image of ~800 kB
  for (int i = 0; i < frame->width * frame->height; ++i) {
    seed = seed * 1103515245u + 12345u;
    frame->pixels[i] = static_cast<std::uint8_t>(seed >> 16 & 15);
  }
  // 30 rows of 16 pixels: bands of three rows (48 pixels) are whole sixel bands.
  const ThroughTmux t = ReadAsTmux(rig.Render(*frame, {100, 31, 8, 16}));
  EXPECT_EQ(t.trouble, "");
  ASSERT_GE(t.pieces.size(), 4u);
  int row = 0;
  for (const std::string& piece : t.pieces) {
    SCOPED_TRACE(row);
    EXPECT_LE(piece.size(), TmuxPieceLimit);
    const std::string place = "\x1b[" + std::to_string(row + 1) + ";11H\x1bP";
    ASSERT_EQ(piece.compare(0, place.size(), place), 0) << piece.substr(0, 20);
    EXPECT_EQ(piece.substr(piece.size() - 2), "\x1b\\");
    int width = 0, height = 0;
    const std::size_t raster = piece.find('"');
    ASSERT_EQ(std::sscanf(piece.c_str() + raster, "\"1;1;%d;%d", &width, &height), 2);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height % 48, 0);
    row += height / 16;
  }
  EXPECT_EQ(row, 30);  // the whole picture, band after band
}

}  // namespace

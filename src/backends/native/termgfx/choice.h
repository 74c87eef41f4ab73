// TERMINAL GRAPHICS, the choice of pictures: block symbols, sixels or kitty
// images, made once at the start from the environment.
//
// Why this way:
// - chafa's detection trusts TERM (and COLORTERM, TERM_PROGRAM, ...), but tmux
//   and GNU screen stand between the program and the terminal TERM names, and
//   neither shows sixels or kitty images of its own. Pixels that would not be
//   shown become symbols, with a note that says why.
// - tmux hands images on to the terminal outside only inside its passthrough
//   string, and since 3.3 only where the pane option allow-passthrough is on
//   (before 3.3, always). The program asks tmux for that option and never
//   turns it on: it lets every program in the pane write to the terminal
//   outside, which is for the person to allow, not for one program.
// - GNU screen (STY set, or TERM screen* outside tmux) passes on only short
//   strings, far too short for an image: symbols.
// - LEMVARIS_GRAPHICS=symbols|sixel|kitty chooses by hand and is followed as
//   given (inside tmux images still go through the passthrough). Any other
//   value is refused before anything is shown, as a wrong option is: quietly
//   taking the automatic choice instead would hide the typo.
//
// Dependencies: chafa's detection (render.h); for the question to tmux, the
// tmux command found on PATH.
#pragma once

#include <cstdint>
#include <string_view>

#include "backends/native/termgfx/render.h"

enum class TmuxPassthrough : std::uint8_t { Unknown, On, Off };

// What tmux says of the program's pane.
struct TmuxPane {
  TmuxPassthrough passthrough = TmuxPassthrough::Unknown;
  int top = 0, left = 0;  // its first cell on the terminal outside tmux
};

enum class TermGfxWhy : std::uint8_t {
  Detected,     // chafa's detection stands
  ByHand,       // LEMVARIS_GRAPHICS
  InScreen,     // pixels chafa found, symbols for GNU screen
  TmuxClosed,   // pixels chafa found, symbols for tmux without passthrough
  UnknownWish,  // LEMVARIS_GRAPHICS names no pictures: refused
};

inline constexpr int TermGfxNoteCapacity = 512;

struct TermGfxChoice {
  TermGfxCaps caps;                                // what is drawn, and how it is sent
  TermGfxPixels claimed = TermGfxPixels::Symbols;  // chafa's detection alone
  TermGfxWhy why = TermGfxWhy::Detected;
  // A line for standard error (Hungarian, UTF-8, no newline), or empty: why
  // the pictures are not the ones TERM claims, or will not be seen; for
  // UnknownWish, the refusal.
  char note[TermGfxNoteCapacity] = "";
};

// The choice for this environment (envp as in environ). askTmux is called
// only inside tmux and only when pixels are wanted.
TermGfxChoice ChooseTermGfx(char** envp, TmuxPane (*askTmux)());

// Asks the tmux the program runs in (TMUX, TMUX_PANE) about its pane;
// passthrough Unknown when tmux does not answer within a second.
TmuxPane AskTmuxPane();

// tmux's answer to TmuxQuestion: "0 0 on bottom 3.3a 1", ...
inline constexpr const char* TmuxQuestion =
    "#{pane_top} #{pane_left} #{status} #{status-position} #{version} #{allow-passthrough}";
TmuxPane ReadTmuxAnswer(std::string_view answer);

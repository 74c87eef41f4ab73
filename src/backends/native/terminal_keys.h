// The terminal's key decoder: the bytes a terminal sends for the keys typed
// on it, turned into the key queue's codes. Pure: no terminal, no waiting;
// the terminal presenter (terminal.h) feeds it what it reads.
//
// The sequences are the ANSI ones that xterm, tmux, screen, rxvt and the
// Linux console send. Keys are decoded here and not by ncurses: ncurses reads
// keys only through a screen it also draws, but keys come from the terminal
// also when the output is a transcript, and the terminal's mode must follow
// the program's own waits.
#pragma once

#include <string_view>

struct KeyQueue;

// Decode bytes a terminal sent into keys: characters as code page 852 bytes
// (UTF-8 decoded; characters the code page lacks are dropped), cursor and
// function keys as 0 + PC scan code, Ctrl+@ (the byte 0) as 0 + 3, Enter 13,
// Backspace 8, Esc 27. Returns the bytes used; an incomplete sequence at the
// end is left for later unless flush is true. Unknown escape sequences are
// dropped whole.
int DecodeTerminalKeys(std::string_view bytes, bool flush, KeyQueue& keys);

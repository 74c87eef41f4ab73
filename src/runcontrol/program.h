// The records of one interactive run, and the driver that runs it.
//
// RunProgram: the help pager, the parameter dialog and set-up, the initial
// screen, then the run loop (display update, keyboard step, one particle
// move) until the mode is Vege, and the summary. Everything happens on this
// one thread, in this order; the platform's presenters show the models.
#pragma once

#include <cstdint>

#include "display/screen.h"
#include "experiment/run.h"
#include "platform/platform.h"

// Bytes of a folder name the data files may be looked up in.
inline constexpr int DataFolderCapacity = 255;

// The state of the run itself.
struct RunState {
  RunMode runMode = Lepesenkenti;
  std::int32_t consoleActive = 1;   // 1: the text console owns the screen
  bool frozen = false;  // no more moves: none possible, or T at its limit
};

// Everything one run works on; main owns the big records as statics, tests
// build fresh ones.
struct Program {
  Platform* platform = nullptr;
  GraphSurface* graph = nullptr;
  Run* experiment = nullptr;  // the reactor and T, the moves made
  Screen* screen = nullptr;
  RunState run;
  ReactorRedraw redraw;  // the move's cell redraws go through this
  // Where the help and summary files are looked for when the working folder
  // lacks them (the executable's folder); empty: the working folder only.
  ShortString<DataFolderCapacity> dataFolder;
};

// Connect the records; call once before RunProgram.
void SetUpProgram(Program& program, Platform& platform, GraphSurface& graph, Run& experiment,
                  Screen& screen);

// The whole program; returns normally after the closing text (exit code 0).
void RunProgram(Program& program);

// Keyboard step, move and display update from the current step on, until
// the mode is Vege.
void RunLoop(Program& program);

// (Re)open the graphics surface for the run and draw every window once.
void ShowInitialScreen(Program& program);

// Keep the windows current after a move (and once before the first).
void UpdateDisplay(Program& program);

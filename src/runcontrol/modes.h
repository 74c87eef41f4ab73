// The keys that steer a run and the shared key routine. The mode keys N, L,
// C, V (either case) select Normal, Lepesenkenti, Csendes and Vege. While the
// text console owns the screen the same routine is the pagers' animated
// "Lapozhatunk?" prompt.
#pragma once

#include "runcontrol/program.h"

// Read a key as the moment requires: the page prompt on the console, a
// blocking wait step by step (or once the reactor is frozen), otherwise a
// poll that leaves key a blank when nothing was typed. Applies the key map
// while the graphics screen is up.
void ReadKeyAndSwitchMode(Program& program, char& key);

// The run loop's keyboard step; true when the run is to end (mode Vege).
bool HandleKeyboard(Program& program);

// The panel's mode field: the mode's name, or a warning once frozen.
std::string_view ModeFieldText(const RunState& run);

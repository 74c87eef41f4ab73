// The screen as the interactive program shows it in the quiet mode, drawn
// without a window: a surface and the four windows, kept up to date move by
// move exactly as the run loop would. The batch runner's pictures and the
// Python module's screen come from here, so both are the real screen.
#pragma once

#include <cstdint>

#include "display/screen.h"
#include "platform/graph.h"
#include "sim/reactor.h"

struct Picture {
  GraphSurface surface;  // 640 x 480
  Screen screen;
};

// Lay the windows out on a 640 x 480 surface and draw the screen at T = 0,
// after the reactor has been set up.
void StartPicture(Picture& picture, const Reactor& reactor);

// The quiet mode's display update after move T.
void UpdatePicture(Picture& picture, const Reactor& reactor, std::int32_t T);

// The full refresh at T, as the screen shows it at a refresh step; drawing it
// between two refresh steps changes nothing that later updates draw.
void FinishPicture(Picture& picture, const Reactor& reactor, std::int32_t T);

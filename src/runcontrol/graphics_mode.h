// Switching between the text console and the graphics surface: the surface
// is opened for the run and closed for the console screens, and the back end
// is told each time so that it shows the right one.
#pragma once

struct Program;

// Open the graphics surface (InitGraph) and let the back end show it.
void OpenGraphics(Program& program);
// Close it (CloseGraph); the back end takes it off the screen.
void CloseGraphics(Program& program);

// The parameter dialog and the set-up that follows it: seven questions on the
// console, each asked again (without a message) until its answer is in range,
// then the window layout on the graphics surface's size, the reactor filled,
// and the initial row counts handed to the row histogram.
#pragma once

#include "runcontrol/program.h"

void AskParameters(Program& program);

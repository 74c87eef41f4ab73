// The operating mode of a run. Run control owns and changes it; the display
// reads it, because the quiet mode draws nothing for single moves.
#pragma once

#include <cstdint>
#include <string_view>

enum RunMode : std::int32_t {
  Normal = 0,        // run freely, draw every move
  Lepesenkenti = 1,  // step by step: one move per key, everything redrawn
  Csendes = 2,       // quiet: run freely, redraw only every RefreshInterval steps
  Vege = 3,          // end: the run loop stops
};

// The name of each mode, as the panel's mode field and the console show it.
inline constexpr std::string_view ModeNames[4] = {"Normal", "Lepesenkenti", "Csendes", "Vege"};

// Writing the graphics surface to a PNG file in the standard palette, through
// libpng, for pictures of the screen made without a window.
#pragma once

struct GraphSurface;

// Write the whole surface (width x height) as an indexed-colour PNG; false
// when the file cannot be written.
bool WritePng(const GraphSurface& g, const char* path);

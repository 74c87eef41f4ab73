// Writing the graphics surface to a PNG file in the standard palette, through
// libpng, for pictures of the screen made without a window.
#pragma once

#include <cstdio>

struct GraphSurface;

// Write the whole surface (width x height) as an indexed-colour PNG to an
// open stream; false when the stream fails.
bool WritePngStream(const GraphSurface& g, std::FILE* stream);
// The same into the file at path, complete or not at all (output_file.h);
// false when it cannot be written, the file at path then untouched.
bool WritePng(const GraphSurface& g, const char* path);

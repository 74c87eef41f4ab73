// Writing the graphics surface to a PNG file in the standard palette, through
// libpng, for pictures of the screen made without a window. Text chunks say
// what made the picture (the program, the run).
#pragma once

#include <cstdio>

struct GraphSurface;

// One tEXt chunk: a PNG keyword ("Software", "Description") and Latin-1 text.
struct PngText {
  const char* key;
  const char* text;
};

// Write the whole surface (width x height) as an indexed-colour PNG to an
// open stream, with the given text chunks; false when the stream fails.
bool WritePngStream(const GraphSurface& g, std::FILE* stream, const PngText* texts = nullptr,
                    int textCount = 0);
// The same into the file at path, complete or not at all (output_file.h);
// false when it cannot be written, the file at path then untouched.
bool WritePng(const GraphSurface& g, const char* path, const PngText* texts = nullptr,
              int textCount = 0);

// UTF-8 text from the person's side (a window's text input, a page's key
// names) read as code points, and code points written as UTF-8. One reader
// for every back end, so that they agree on what a malformed byte gives.
#pragma once

#include <cstddef>
#include <string_view>

// What NextCodePoint gives when there is no code point at text[at].
inline constexpr long Utf8Malformed = -1;
inline constexpr long Utf8Cut = -2;  // the text ends inside the sequence

// The code point of the sequence at text[at] (at < text.size()), with at
// moved past it; for a malformed or cut sequence Utf8Malformed or Utf8Cut,
// with at moved one byte on (so that reading resumes at the next byte).
long NextCodePoint(std::string_view text, std::size_t& at);

// Append the UTF-8 bytes of cp to out (room for 4); returns their count.
int EncodeUtf8(char32_t cp, char* out);

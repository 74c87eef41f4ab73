// Readln of one number per line, from the platform's answer lines.
//
// Blanks and empty lines before the number are skipped; the number ends at
// the first blank or control character and the rest of the line is dropped.
// Every line read is echoed into the console with its line end, as if typed
// there. When the platform's answers are typed (the terminal in key mode, a
// page) the characters go to the console as they come, Backspace takes the
// last one back, Enter ends the line, Ctrl-D on an empty line ends the input.
//
// A line of any length is read whole, never split into two answers. Of it an
// AnswerLine keeps up to 255 blanks before the number and 255 characters
// from the number on; the echo shows what was kept. A number that goes on
// past what was kept is malformed, never read cut. Typed in key mode, the
// keys past either limit are not taken: the line on the screen stops growing
// and holds exactly what will be read.
//
// A line whose number does not read as the asked kind (letters, "12abc",
// "1.5" for an integer, an integer beyond 32 bits, a number longer than what
// is kept) reads nothing: Readln says so and the question is asked again, as
// for an answer out of range, since a typo must not end a lesson. The end of
// the input before a number is "Runtime error 100: elfogyott a bemenet",
// exit code 100.
//
// Numbers are read by the rules of text/number_read.h.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/number_read.h"

struct Platform;
struct LineReader;

// Read the next answer line that holds a token; true when it is a number of
// the asked kind (then in value), false when it is not.
[[nodiscard]] bool Readln(Platform& platform, std::int32_t& value);
// A real is read in extended precision and rounded to a double.
[[nodiscard]] bool Readln(Platform& platform, double& value);

// Characters kept of an answer line: blanks before its number, and the
// number with what follows it.
inline constexpr int AnswerCapacity = 255;

struct AnswerLine {
  char blanks[AnswerCapacity];  // the first blanks before the number
  int blankCount = 0;
  char text[AnswerCapacity];    // from the first character that is no blank
  int length = 0;
  bool numberCut = false;       // the number goes on past text
};

// Take one character of a line; false when there is no room for it.
bool AddAnswerChar(AnswerLine& line, char c);
// Take the last character back (Backspace); false when there is none.
bool RemoveAnswerChar(AnswerLine& line);
// Read the next line of reader into line (emptied first); false at the end.
bool ReadAnswerLine(LineReader& reader, AnswerLine& line);
// The number of an answer line; Malformed when it goes on past the kept text.
NumberRead ParseInteger(const AnswerLine& line, std::int32_t& value);
NumberRead ParseReal(const AnswerLine& line, double& value);

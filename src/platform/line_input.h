// Readln of one number per line, from the platform's answer lines.
//
// Blanks and empty lines before the number are skipped; the number ends at
// the first blank or control character and the rest of the line is dropped.
// Every line read is echoed into the console with its line end, as if typed
// there. When the platform's answers are typed (the terminal in key mode, a
// page) the characters go to the console as they come, Backspace takes the
// last one back, Enter ends the line, Ctrl-D on an empty line ends the input.
//
// A number that does not read as the asked kind (letters, "12abc", "1.5"
// for an integer, an integer beyond 32 bits) is "Runtime error 106", exit
// code 106. The end of the input before a number is "Runtime error 100:
// elfogyott a bemenet", exit code 100.
#pragma once

#include <cstdint>
#include <string_view>

struct Platform;

void Readln(Platform& platform, std::int32_t& value);
// A real is read in extended precision and rounded to a double.
void Readln(Platform& platform, double& value);

enum class NumberRead : std::uint8_t { Number, NoNumber, Malformed };

// The number at the start of a line after blanks: NoNumber for a blank line.
NumberRead ParseInteger(std::string_view line, std::int32_t& value);
NumberRead ParseReal(std::string_view line, double& value);

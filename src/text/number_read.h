// The numbers a person types, read by one set of rules everywhere: the
// dialog's answers, the command lines' options and the pages' fields.
//
// The number is the first token of the text (blanks before it skipped, the
// token ending at the first blank or control character). An integer is an
// optional sign and decimal digits within 32 bits. A real is an optional
// sign, digits with an optional decimal point or comma (a digit on at least
// one side), and an optional exponent of any length; it is rounded to the
// nearest x87 extended real (64-bit significand), then to the nearest double,
// the same on every platform (extended_real.h). One too small for a double
// reads as 0 (keeping its sign), one too large as infinity.
#pragma once

#include <cstdint>
#include <string_view>

enum class NumberRead : std::uint8_t { Number, NoNumber, Malformed };

// A blank (a space or a control character) ends a token; digits are 0-9.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The first token of text; empty for a blank text.
std::string_view FirstToken(std::string_view text);

// The number at the start of a text after blanks: NoNumber for a blank text.
NumberRead ParseInteger(std::string_view text, std::int32_t& value);
NumberRead ParseReal(std::string_view text, double& value);

// Fixed-capacity text in code page 852. Every user-visible string lives in one
// of these: no allocation, and a value longer than the capacity is cut at the
// capacity, silently, as the program's texts require (255, 80, 64 ...).
// CP852("...") turns a UTF-8 literal into code page 852 at compile time; a
// character the code page lacks is a compile error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "text/cp852.h"

template <int Capacity>
struct ShortString {
  static_assert(Capacity > 0 && Capacity <= 255, "a short string holds 1 to 255 characters");
  std::uint8_t length = 0;
  char chars[Capacity] = {};

  std::string_view view() const { return {chars, length}; }
};

// Replace the text; whatever passes the capacity is cut.
template <int Capacity>
void Assign(ShortString<Capacity>& s, std::string_view text) {
  std::size_t n = text.size() < Capacity ? text.size() : Capacity;
  if (n > 0) std::memcpy(s.chars, text.data(), n);  // an empty view may hold a null pointer
  s.length = static_cast<std::uint8_t>(n);
}

// Append text, cut at the capacity.
template <int Capacity>
void Append(ShortString<Capacity>& s, std::string_view text) {
  std::size_t room = Capacity - s.length;
  std::size_t n = text.size() < room ? text.size() : room;
  if (n > 0) std::memcpy(s.chars + s.length, text.data(), n);
  s.length = static_cast<std::uint8_t>(s.length + n);
}

// Append one character, dropped when the string is full.
template <int Capacity>
void AppendChar(ShortString<Capacity>& s, char c) {
  if (s.length < Capacity) s.chars[s.length++] = c;
}

// Append a signed decimal number without padding.
template <int Capacity>
void AppendInt(ShortString<Capacity>& s, long long value) {
  char digits[24];
  int n = 0;
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) AppendChar(s, '-');
  while (n > 0) AppendChar(s, digits[--n]);
}

template <int Capacity>
ShortString<Capacity> MakeShortString(std::string_view text) {
  ShortString<Capacity> s;
  Assign(s, text);
  return s;
}

// A literal already converted to code page 852.
template <std::size_t Size>
struct Cp852Literal {
  char bytes[Size] = {};
  std::size_t length = 0;
  constexpr std::string_view view() const { return {bytes, length}; }
  constexpr operator std::string_view() const { return view(); }
};

namespace cp852_detail {
// A throw inside consteval stops the build: the literal holds a character
// that code page 852 lacks, or is not valid UTF-8.
template <std::size_t Size>
consteval Cp852Literal<Size> Convert(const char (&utf8)[Size]) {
  Cp852Literal<Size> out;
  std::size_t i = 0;
  while (i + 1 < Size) {  // the last byte is the terminating zero
    auto byte = static_cast<unsigned char>(utf8[i]);
    char32_t cp = 0;
    int extra = 0;
    if (byte < 0x80) {
      cp = byte;
    } else if ((byte & 0xE0) == 0xC0) {
      cp = byte & 0x1F;
      extra = 1;
    } else if ((byte & 0xF0) == 0xE0) {
      cp = byte & 0x0F;
      extra = 2;
    } else {
      throw "invalid or unsupported UTF-8 in a code page 852 literal";
    }
    for (int k = 1; k <= extra; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += 1 + extra;
    int b = UnicodeToCp852(cp);
    if (b < 0) throw "character not in code page 852";
    out.bytes[out.length++] = static_cast<char>(b);
  }
  return out;
}
}  // namespace cp852_detail

// CP852("Információk"): the literal in code page 852, computed by the compiler.
#define CP852(utf8) (::cp852_detail::Convert(utf8))

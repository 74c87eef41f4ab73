#include "platform/line_input.h"

#include <charconv>
#include <cstring>

#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/keyboard.h"
#include "platform/platform.h"

namespace {

// Longest answer line kept; the rest of a longer line is dropped.
constexpr int AnswerCapacity = 255;
constexpr char CtrlD = 4;
// Longest single wait for an answer line.
constexpr int AnswerWaitSliceMs = 10;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The token after leading blanks; empty for a blank line.
std::string_view Token(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  std::size_t j = i;
  while (j < line.size() && !IsBlank(line[j])) ++j;
  return line.substr(i, j - i);
}

// Length of the digit run at text[i...].
std::size_t DigitRun(std::string_view text, std::size_t i) {
  std::size_t j = i;
  while (j < text.size() && IsDigit(text[j])) ++j;
  return j - i;
}

// Take back the last echoed character: the cell before the cursor, on the
// row above when the cursor stands at the window's left edge.
void EchoBackspace(Console& con) {
  int x = WhereX(con) - 1, y = WhereY(con);
  if (x < 1) {
    if (y == 1) return;
    x = con.windowRight - con.windowLeft + 1;
    --y;
  }
  GotoXY(con, x, y);
  Write(con, ' ');
  GotoXY(con, x, y);
}

// One line typed as keys, echoed as it comes.
int TypeLine(Platform& p, char* out) {
  // A page prompt may have left the second half of a cursor or function key.
  if (p.keys.scanCodeWaiting) ReadKey(p);
  int length = 0;
  for (;;) {
    char key = ReadKey(p);
    switch (key) {
      case 0:
        ReadKey(p);  // the scan code of a key without a character
        break;
      case 13:
      case 10:
        Writeln(p.console);
        ShowConsoleNow(p);
        return length;
      case 8:
        if (length > 0) {
          --length;
          EchoBackspace(p.console);
        }
        break;
      case CtrlD:
        if (length == 0) return -1;
        break;
      default:
        if (static_cast<unsigned char>(key) >= ' ' && length < AnswerCapacity) {
          out[length++] = key;
          Write(p.console, key);
        }
        break;
    }
  }
}

// Wait until standard input can be read, asking the back end in slices (so
// that it stays responsive and a signal can end the wait).
void AwaitAnswerLine(Platform& p) {
  LineReader& in = p.input;
  if (in.fd < 0 || in.start < in.end || in.ended || p.backend.waitForInput == nullptr) return;
  while (!p.backend.waitForInput(p.backend.context, InputKind::AnswerLine, AnswerWaitSliceMs)) {}
}

// The next answer line, echoed into the console; -1 at the end of input.
int NextAnswerLine(Platform& p, char* out) {
  if (p.typedAnswers) return TypeLine(p, out);
  ShowConsoleNow(p);
  AwaitAnswerLine(p);
  int n = ReadLine(p.input, out, AnswerCapacity);
  if (n >= 0) Writeln(p.console, std::string_view(out, static_cast<std::size_t>(n)));
  return n;
}

// Read lines until one holds a number; parse is ParseInteger or ParseReal.
template <class T>
void ReadNumber(Platform& p, T& value, NumberRead (*parse)(std::string_view, T&)) {
  char line[AnswerCapacity];
  for (;;) {
    int n = NextAnswerLine(p, line);
    if (n < 0) RuntimeError(100, CP852(": elfogyott a bemenet"));
    NumberRead result = parse(std::string_view(line, static_cast<std::size_t>(n)), value);
    if (result == NumberRead::Malformed) RuntimeError(106);
    if (result == NumberRead::Number) return;
  }
}

}  // namespace

NumberRead ParseInteger(std::string_view line, std::int32_t& value) {
  std::string_view token = Token(line);
  if (token.empty()) return NumberRead::NoNumber;
  std::size_t i = token[0] == '+' || token[0] == '-' ? 1 : 0;
  std::size_t digits = DigitRun(token, i);
  if (digits == 0 || i + digits != token.size()) return NumberRead::Malformed;
  std::int64_t magnitude = 0;
  for (std::size_t k = i; k < token.size(); ++k) {
    magnitude = magnitude * 10 + (token[k] - '0');
    if (magnitude > std::int64_t{INT32_MAX} + 1) return NumberRead::Malformed;
  }
  std::int64_t signedValue = token[0] == '-' ? -magnitude : magnitude;
  if (signedValue > INT32_MAX) return NumberRead::Malformed;
  value = static_cast<std::int32_t>(signedValue);
  return NumberRead::Number;
}

NumberRead ParseReal(std::string_view line, double& value) {
  std::string_view token = Token(line);
  if (token.empty()) return NumberRead::NoNumber;
  // sign, digits with an optional fraction (a digit on at least one side
  // of the point), an optional exponent; nothing else
  std::size_t i = token[0] == '+' || token[0] == '-' ? 1 : 0;
  std::size_t whole = DigitRun(token, i);
  std::size_t j = i + whole;
  std::size_t fraction = 0;
  if (j < token.size() && token[j] == '.') {
    fraction = DigitRun(token, j + 1);
    j += 1 + fraction;
  }
  if (whole + fraction == 0) return NumberRead::Malformed;
  if (j < token.size() && (token[j] == 'e' || token[j] == 'E')) {
    std::size_t k = j + 1;
    if (k < token.size() && (token[k] == '+' || token[k] == '-')) ++k;
    std::size_t exponent = DigitRun(token, k);
    if (exponent == 0) return NumberRead::Malformed;
    j = k + exponent;
  }
  if (j != token.size()) return NumberRead::Malformed;
  // from_chars takes no '+' and ignores the locale
  std::string_view number = token[0] == '+' ? token.substr(1) : token;
  long double extended = 0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), extended);
  if (error != std::errc() || end != number.data() + number.size()) return NumberRead::Malformed;
  value = static_cast<double>(extended);
  return NumberRead::Number;
}

void Readln(Platform& p, std::int32_t& value) { ReadNumber(p, value, ParseInteger); }
void Readln(Platform& p, double& value) { ReadNumber(p, value, ParseReal); }

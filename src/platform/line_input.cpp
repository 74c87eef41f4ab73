#include "platform/line_input.h"

#include "platform/console.h"
#include "platform/extended_real.h"
#include "platform/fatal.h"
#include "platform/keyboard.h"
#include "platform/platform.h"
#include "platform/text_file.h"

namespace {

constexpr char CtrlD = 4;
// Longest single wait for an answer line.
constexpr int AnswerWaitSliceMs = 10;

// Significant digits handed to the conversion of a real. Every extended
// real that can decide which double a number becomes, and every point
// halfway between two of them, has fewer than 830 significant digits; so
// digits past these only count as "not all zero" (a last digit 1), and the
// double stays the one all the digits give.
constexpr int ConversionDigits = ExtendedRealDigits - 1;
static_assert(ConversionDigits >= 830);
// An exponent stops growing here, far past any that gives neither 0 nor
// infinity, so it never overflows.
constexpr std::int64_t ExponentCap = 1000000000000000;

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

// One line typed as keys, echoed as it comes; false when Ctrl-D ends the
// input.
bool TypeLine(Platform& p, AnswerLine& line) {
  line = AnswerLine{};
  // A page prompt may have left the second half of a cursor or function key.
  if (p.keys.scanCodeWaiting) ReadKey(p);
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
        return true;
      case 8:
        if (RemoveAnswerChar(line)) EchoBackspace(p.console);
        break;
      case CtrlD:
        if (line.blankCount == 0 && line.length == 0) return false;
        break;
      default:
        // A key past the line's room is not taken, so the screen shows what is read.
        if (static_cast<unsigned char>(key) >= ' ' && AddAnswerChar(line, key))
          Write(p.console, key);
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

// The next answer line, echoed into the console; false at the end of input.
bool NextAnswerLine(Platform& p, AnswerLine& line) {
  if (p.typedAnswers) return TypeLine(p, line);
  ShowConsoleNow(p);
  AwaitAnswerLine(p);
  if (!ReadAnswerLine(p.input, line)) return false;
  Write(p.console, std::string_view(line.blanks, static_cast<std::size_t>(line.blankCount)));
  Writeln(p.console, std::string_view(line.text, static_cast<std::size_t>(line.length)));
  return true;
}

// Read lines until one holds a token; parse is ParseInteger or ParseReal.
// True when the token is a number.
template <class T>
bool ReadNumber(Platform& p, T& value, NumberRead (*parse)(const AnswerLine&, T&)) {
  AnswerLine line;
  for (;;) {
    if (!NextAnswerLine(p, line)) RuntimeError(100, CP852(": elfogyott a bemenet"));
    NumberRead result = parse(line, value);
    if (result != NumberRead::NoNumber) return result == NumberRead::Number;
  }
}

// Parse the kept text of an answer line; Malformed when its number goes on past it.
template <class T>
NumberRead ParseAnswer(const AnswerLine& line, T& value,
                       NumberRead (*parse)(std::string_view, T&)) {
  const std::string_view text(line.text, static_cast<std::size_t>(line.length));
  if (line.numberCut && Token(text).size() == text.size()) return NumberRead::Malformed;
  return parse(text, value);
}

// Value of the decimal digits whole.fraction times ten to the exponent,
// rounded to an extended real, then to a double.
double DecimalToDouble(bool negative, std::string_view whole, std::string_view fraction,
                       std::int64_t exponent) {
  // The first significant digits, and a last 1 for dropped ones not all 0
  char digits[ConversionDigits + 1];
  int kept = 0;
  bool droppedNonZero = false;
  bool significant = false;
  std::int64_t scale = 0;  // the value is 0.<kept digits> times ten to scale
  const auto take = [&](std::string_view run, std::int64_t scaleOfFirst) {
    for (std::size_t k = 0; k < run.size(); ++k) {
      if (!significant) {
        if (run[k] == '0') continue;
        significant = true;
        scale = scaleOfFirst - static_cast<std::int64_t>(k);
      }
      if (kept < ConversionDigits)
        digits[kept++] = run[k];
      else if (run[k] != '0')
        droppedNonZero = true;
    }
  };
  take(whole, static_cast<std::int64_t>(whole.size()));
  take(fraction, 0);
  if (droppedNonZero) digits[kept++] = '1';
  return ExtendedDecimalToDouble(negative, std::string_view(digits, static_cast<std::size_t>(kept)),
                                 scale + exponent);
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
  // of the point or comma), an optional exponent; nothing else
  std::size_t i = token[0] == '+' || token[0] == '-' ? 1 : 0;
  std::size_t whole = DigitRun(token, i);
  std::size_t j = i + whole;
  std::size_t fraction = 0;
  if (j < token.size() && (token[j] == '.' || token[j] == ',')) {
    fraction = DigitRun(token, j + 1);
    j += 1 + fraction;
  }
  if (whole + fraction == 0) return NumberRead::Malformed;
  std::int64_t exponent = 0;
  if (j < token.size() && (token[j] == 'e' || token[j] == 'E')) {
    std::size_t k = j + 1;
    const bool negative = k < token.size() && token[k] == '-';
    if (k < token.size() && (token[k] == '+' || token[k] == '-')) ++k;
    std::size_t digits = DigitRun(token, k);
    if (digits == 0) return NumberRead::Malformed;
    for (std::size_t d = k; d < k + digits && exponent < ExponentCap; ++d)
      exponent = exponent * 10 + (token[d] - '0');
    if (negative) exponent = -exponent;
    j = k + digits;
  }
  if (j != token.size()) return NumberRead::Malformed;
  const std::size_t fractionStart = i + whole + 1;  // past the point, if there is one
  value = DecimalToDouble(token[0] == '-', token.substr(i, whole),
                          fraction > 0 ? token.substr(fractionStart, fraction) : std::string_view(),
                          exponent);
  return NumberRead::Number;
}

bool AddAnswerChar(AnswerLine& line, char c) {
  if (line.length == 0 && IsBlank(c)) {
    if (line.blankCount == AnswerCapacity) return false;
    line.blanks[line.blankCount++] = c;
    return true;
  }
  if (line.length == AnswerCapacity) return false;
  line.text[line.length++] = c;
  return true;
}

bool RemoveAnswerChar(AnswerLine& line) {
  if (line.length > 0) {
    --line.length;
    return true;
  }
  if (line.blankCount == 0) return false;
  --line.blankCount;
  return true;
}

bool ReadAnswerLine(LineReader& reader, AnswerLine& line) {
  line = AnswerLine{};
  bool full = false;
  return ReadLineBytes(reader, [&](char c) {
    // The first character that finds no room tells whether a number fills the text and goes on.
    if (!AddAnswerChar(line, c) && line.length > 0 && !full) {
      full = true;
      line.numberCut = !IsBlank(c);
    }
  });
}

NumberRead ParseInteger(const AnswerLine& line, std::int32_t& value) {
  return ParseAnswer(line, value, ParseInteger);
}
NumberRead ParseReal(const AnswerLine& line, double& value) {
  return ParseAnswer(line, value, ParseReal);
}

bool Readln(Platform& p, std::int32_t& value) { return ReadNumber(p, value, ParseInteger); }
bool Readln(Platform& p, double& value) { return ReadNumber(p, value, ParseReal); }

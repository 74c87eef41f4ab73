#include "platform/line_input.h"

#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/keyboard.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "text/number_read.h"

namespace {

constexpr char CtrlD = 4;
// Longest single wait for an answer line.
constexpr int AnswerWaitSliceMs = 10;

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
  if (line.numberCut && FirstToken(text).size() == text.size()) return NumberRead::Malformed;
  return parse(text, value);
}

}  // namespace

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

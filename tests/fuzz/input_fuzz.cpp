// libFuzzer target for what the program reads: the line reader, the answer
// lines and the integer and real readers, and the summary's placeholders.
// Each is checked against a plain reference written here with std::string;
// a difference aborts with the name of the check.
//
// Input: the first byte chooses the line capacity and whether Ctrl-Z ends
// the text; the rest is the text (and, for the summary, T, N and K).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/line_input.h"
#include "platform/text_file.h"
#include "runcontrol/text_screens.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "input_fuzz: %s differs from the reference\n", what);
  std::abort();
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Lines end at CR LF, CR or LF; a Ctrl-Z ends the text when it counts.
std::vector<std::string> ReferenceLines(std::string text, bool ctrlZEnds) {
  if (ctrlZEnds) text = text.substr(0, text.find('\x1a'));
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = text.find_first_of("\r\n", i);
    if (end == std::string::npos) {
      lines.push_back(text.substr(i));
      break;
    }
    lines.push_back(text.substr(i, end - i));
    i = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

// The first token of a line: after the blanks, up to the next blank.
std::string FirstToken(const std::string& line) {
  std::size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  std::size_t end = start;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  return line.substr(start, end - start);
}

// [+-] digits, nothing else; within 32 bits.
NumberRead ReferenceInteger(const std::string& line, std::int32_t& value) {
  std::string token = FirstToken(line);
  if (token.empty()) return NumberRead::NoNumber;
  const bool negative = token[0] == '-';
  std::string digits = token[0] == '+' || token[0] == '-' ? token.substr(1) : token;
  if (digits.empty()) return NumberRead::Malformed;
  for (char c : digits)
    if (!IsDigit(c)) return NumberRead::Malformed;
  digits.erase(0, digits.find_first_not_of('0'));
  if (digits.size() > 10) return NumberRead::Malformed;
  long long magnitude = digits.empty() ? 0 : std::stoll(digits);
  long long signedValue = negative ? -magnitude : magnitude;
  if (signedValue < INT32_MIN || signedValue > INT32_MAX) return NumberRead::Malformed;
  value = static_cast<std::int32_t>(signedValue);
  return NumberRead::Number;
}

// [+-] (digits [. [digits]] | . digits) [(e|E) [+-] digits], nothing else
// (a comma may stand for the point);
// read whole by strtold (this program never changes its locale), then
// rounded to a double.
NumberRead ReferenceReal(const std::string& line, double& value) {
  std::string token = FirstToken(line);
  if (token.empty()) return NumberRead::NoNumber;
  std::size_t i = 0;
  const auto digitsAt = [&] {
    std::size_t start = i;
    while (i < token.size() && IsDigit(token[i])) ++i;
    return i - start;
  };
  if (token[i] == '+' || token[i] == '-') ++i;
  std::size_t mantissaDigits = digitsAt();
  if (i < token.size() && (token[i] == '.' || token[i] == ',')) {
    token[i] = '.';  // a decimal comma is a point
    ++i;
    mantissaDigits += digitsAt();
  }
  if (mantissaDigits == 0) return NumberRead::Malformed;
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    ++i;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    if (digitsAt() == 0) return NumberRead::Malformed;
  }
  if (i != token.size()) return NumberRead::Malformed;
  value = static_cast<double>(std::strtold(token.c_str(), nullptr));
  return NumberRead::Number;
}

bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void CheckNumbers(const std::string& line) {
  std::int32_t integer = 0, expectedInteger = 0;
  NumberRead read = ParseInteger(line, integer);
  Check(read == ReferenceInteger(line, expectedInteger), "ParseInteger's verdict");
  if (read == NumberRead::Number) Check(integer == expectedInteger, "ParseInteger's value");
  double real = 0, expectedReal = 0;
  read = ParseReal(line, real);
  Check(read == ReferenceReal(line, expectedReal), "ParseReal's verdict");
  if (read == NumberRead::Number) Check(SameDouble(real, expectedReal), "ParseReal's value");
}

// ReadLine with this capacity gives the reference lines, cut.
void CheckLineReader(std::string_view text, int capacity, bool ctrlZEnds) {
  std::vector<std::string> lines = ReferenceLines(std::string(text), ctrlZEnds);
  LineReader reader;
  SetLineReaderMemory(reader, text);
  reader.ctrlZEnds = ctrlZEnds;
  std::vector<char> out(static_cast<std::size_t>(capacity));
  for (const std::string& line : lines) {
    Check(!LineReaderAtEnd(reader), "the end of the lines");
    int n = ReadLine(reader, out.data(), capacity);
    Check(std::string(out.data(), n < 0 ? 0 : n) == line.substr(0, capacity) && n >= 0, "ReadLine");
  }
  Check(LineReaderAtEnd(reader), "the end of the lines");
  Check(ReadLine(reader, out.data(), capacity) == -1, "ReadLine at the end");
}

// Answer lines keep 255 blanks and 255 characters from the first token on;
// a number that does not fit whole in those is malformed.
void CheckAnswerLines(std::string_view text) {
  std::vector<std::string> lines = ReferenceLines(std::string(text), false);
  LineReader reader;
  SetLineReaderMemory(reader, text);
  AnswerLine answer;
  for (const std::string& line : lines) {
    Check(ReadAnswerLine(reader, answer), "ReadAnswerLine");
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    const std::string rest = line.substr(start);
    Check(std::string(answer.blanks, answer.blankCount) ==
              line.substr(0, std::min<std::size_t>(start, 255)),
          "the answer's blanks");
    Check(std::string(answer.text, answer.length) == rest.substr(0, 255), "the answer's text");
    const bool fits = FirstToken(rest).size() <= 255;
    std::int32_t integer = 0, expectedInteger = 0;
    NumberRead expected = fits ? ReferenceInteger(rest, expectedInteger) : NumberRead::Malformed;
    NumberRead read = ParseInteger(answer, integer);
    Check(read == expected, "the answer's integer verdict");
    if (read == NumberRead::Number) Check(integer == expectedInteger, "the answer's integer");
    double real = 0, expectedReal = 0;
    expected = fits ? ReferenceReal(rest, expectedReal) : NumberRead::Malformed;
    read = ParseReal(answer, real);
    Check(read == expected, "the answer's real verdict");
    if (read == NumberRead::Number) Check(SameDouble(real, expectedReal), "the answer's real");
  }
  Check(!ReadAnswerLine(reader, answer), "ReadAnswerLine at the end");
}

// Each placeholder, T, then N, then K, replaced at its first occurrence until
// none is left, the line cut at 80 after each replacement.
void CheckPlaceholders(std::string_view text, std::int32_t T, std::int16_t N, std::int16_t K) {
  std::string expected(text.substr(0, SummaryLineCapacity));
  const std::pair<const char*, long> values[] = {{"<@T@>", T}, {"<@N@>", N}, {"<@K@>", K}};
  for (const auto& [placeholder, value] : values)
    for (std::size_t at; (at = expected.find(placeholder)) != std::string::npos;)
      expected = (expected.substr(0, at) + std::to_string(value) + expected.substr(at + 5))
                     .substr(0, 255)
                     .substr(0, SummaryLineCapacity);
  ShortString<SummaryLineCapacity> line;
  Assign(line, text);
  SubstitutePlaceholders(line, T, N, K);
  Check(line.view() == expected, "SubstitutePlaceholders");
}

void CheckSplit(std::string_view line, std::string_view placeholder) {
  const std::string whole(line);
  const std::size_t at = whole.find(placeholder);
  const std::string expectedBefore =
      (at == std::string::npos ? whole : whole.substr(0, at)).substr(0, 255);
  const std::string expectedAfter = at == std::string::npos
                                        ? std::string()
                                        : whole.substr(at + placeholder.size()).substr(0, 255);
  ShortString<255> before, after;
  SplitAtPlaceholder(line, placeholder, before, after);
  Check(before.view() == expectedBefore && after.view() == expectedAfter, "SplitAtPlaceholder");
}

template <typename T>
T Take(std::string_view bytes, std::size_t at) {
  T value = 0;
  if (bytes.size() >= at + sizeof value) std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  CheckLineReader(text, 1 + control / 2 % 100 + (control >= 200 ? 200 : 0), (control & 1) != 0);
  CheckAnswerLines(text);
  CheckNumbers(std::string(text));
  CheckPlaceholders(text.substr(text.size() < 8 ? text.size() : 8), Take<std::int32_t>(text, 0),
                    Take<std::int16_t>(text, 4), Take<std::int16_t>(text, 6));
  CheckSplit(text, text.substr(text.size() / 2, control % 7));
  for (const char* placeholder : {"<@T@>", "<@N@>", "<@K@>"}) CheckSplit(text, placeholder);
  return 0;
}

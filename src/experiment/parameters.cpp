#include "experiment/parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text/number_read.h"

const ParameterInfo Parameters[ParameterCount] = {
    {"N", ParameterKind::Integer, 1, ReactorLimit, "rows of the reactor"},
    {"M", ParameterKind::Integer, 1, ReactorLimit, "columns of the reactor"},
    {"K", ParameterKind::Integer, 1, ParticleLimit, "particles, at most N*M"},
    {"Ah", ParameterKind::Real, -StrengthLimit, StrengthLimit, "adhesion, the walls' pull"},
    {"Kh", ParameterKind::Real, -StrengthLimit, StrengthLimit, "cohesion, the particles' pull"},
    {"G", ParameterKind::Real, -StrengthLimit, StrengthLimit, "gravity, the pull downward"},
    {"rSz", ParameterKind::Integer, 1, RadiusLimit, "radius of the attraction"},
    {"seed", ParameterKind::Seed, 0, SeedLimit, "start of the random generator"},
};

namespace {

// A sign and decimal digits, nothing else.
bool IsWholeNumber(std::string_view text) {
  std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i)
    if (!IsDigit(text[i])) return false;
  return true;
}

// A whole number's value, saturating far past every range.
double WholeValue(std::string_view text) {
  double value = 0.0;
  for (char c : text)
    if (IsDigit(c) && value < 1e18) value = value * 10 + (c - '0');
  return text[0] == '-' ? -value : value;
}

// The number of a text of the given syntax: the whole text (blanks around
// it dropped when typed), or empty when anything else is in it.
std::string_view NumberText(std::string_view text, NumberSyntax syntax) {
  if (syntax == NumberSyntax::Typed) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  }
  for (char c : text)
    if (IsBlank(c)) return {};
  return text;
}

}  // namespace

int ParameterNamed(std::string_view name) {
  for (int i = 0; i < ParameterCount; ++i)
    if (name == Parameters[i].name) return i;
  return -1;
}

ValueVerdict CheckParameter(int index, double value) {
  const ParameterInfo& p = Parameters[index];
  if (p.kind != ParameterKind::Real && value != std::trunc(value)) return ValueVerdict::Malformed;
  return value >= p.low && value <= p.high ? ValueVerdict::Accepted : ValueVerdict::OutOfRange;
}

ValueVerdict ReadParameter(int index, std::string_view text, NumberSyntax syntax,
                           double& value) {
  const std::string_view number = NumberText(text, syntax);
  if (number.empty()) return ValueVerdict::Malformed;
  if (Parameters[index].kind == ParameterKind::Real) {
    if (syntax == NumberSyntax::CommandLine && number.find(',') != std::string_view::npos) {
      double unused = 0.0;
      return ParseReal(number, unused) == NumberRead::Number ? ValueVerdict::DecimalComma
                                                             : ValueVerdict::Malformed;
    }
    if (ParseReal(number, value) != NumberRead::Number) return ValueVerdict::Malformed;
    return CheckParameter(index, value);
  }
  if (!IsWholeNumber(number)) return ValueVerdict::Malformed;
  value = WholeValue(number) + 0.0;  // "-0" reads as 0
  return CheckParameter(index, value);
}

Refusal CheckParameters(const ParameterValues& values) {
  for (int i = 0; i < ParameterCount; ++i) {
    const ValueVerdict verdict = CheckParameter(i, values.value[i]);
    if (verdict != ValueVerdict::Accepted) return {i, verdict};
  }
  if (values.value[ParamK] > values.value[ParamN] * values.value[ParamM])
    return {ParamK, ValueVerdict::AboveCells};
  return {};
}

void ToSimParams(const ParameterValues& v, SimParams& params, std::uint32_t& seed) {
  const auto int16 = [&v](int i) { return static_cast<std::int16_t>(v.value[i]); };
  params = SimParams{int16(ParamN), int16(ParamM), int16(ParamK), v.value[ParamAh],
                     v.value[ParamKh], v.value[ParamG], int16(ParamRSz)};
  seed = static_cast<std::uint32_t>(v.value[ParamSeed]);
}

ParameterValues FromSimParams(const SimParams& p, std::uint32_t seed) {
  ParameterValues v;
  v.value[ParamN] = p.N;
  v.value[ParamM] = p.M;
  v.value[ParamK] = p.K;
  v.value[ParamAh] = p.Ah;
  v.value[ParamKh] = p.Kh;
  v.value[ParamG] = p.G;
  v.value[ParamRSz] = p.rSz;
  v.value[ParamSeed] = seed;
  return v;
}

int DescribeRefusal(char (&out)[RefusalMessageCapacity], const Refusal& refusal,
                    const ParameterValues& values, std::string_view prefix,
                    std::string_view shown, std::string_view typed) {
  const ParameterInfo& p = Parameters[refusal.parameter];
  const int prefixLength = static_cast<int>(prefix.size());
  const int shownLength = static_cast<int>(shown.size());
  int n = 0;
  switch (refusal.verdict) {
    case ValueVerdict::AboveCells:
      n = std::snprintf(out, sizeof out, "%.*s%s must be at most N*M = %.0f, not %.*s",
                        prefixLength, prefix.data(), p.name,
                        values.value[ParamN] * values.value[ParamM], shownLength, shown.data());
      break;
    case ValueVerdict::DecimalComma: {
      char pointed[RefusalMessageCapacity / 2] = {};
      const std::size_t length = std::min(typed.size(), sizeof pointed - 1);
      for (std::size_t i = 0; i < length; ++i) pointed[i] = typed[i] == ',' ? '.' : typed[i];
      n = std::snprintf(out, sizeof out,
                        "%.*s%s: a comma separates list items, never decimals: write %s, not %.*s",
                        prefixLength, prefix.data(), p.name, pointed, shownLength, shown.data());
      break;
    }
    default:
      n = std::snprintf(out, sizeof out, "%.*s%s must be %s from %.0f to %.0f, not %.*s",
                        prefixLength, prefix.data(), p.name,
                        p.kind == ParameterKind::Real ? "a number" : "an integer", p.low, p.high,
                        shownLength, shown.data());
      break;
  }
  return n < static_cast<int>(sizeof out) ? n : static_cast<int>(sizeof out) - 1;
}

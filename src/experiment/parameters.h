// The run's parameters described once: the seven of the dialog and the seed,
// each with its kind and range, K also at most N*M. Every front end reads a
// typed number through ReadParameter and checks a set through
// CheckParameters, so a value means the same in the dialog, on both command
// lines, in Python and on the page, and a refusal names the same parameter.
//
// How a text is read (text/number_read.h holds the digits' rules):
// - Typed (the pages' fields): blanks around the number are dropped, a
//   decimal comma reads as a point ("0,5" is 0.5), as in the dialog.
// - CommandLine: the argument is the number and nothing else, and a comma
//   is never a decimal point: command lines separate list items by commas,
//   so "0,1" is refused (DecimalComma) rather than read as 0.1 or as two.
// An integer is read within 32 bits, a real to the double an x87 extended
// real rounds to, a seed as whole decimal digits. A whole number beyond a
// kind's reach is OutOfRange, not Malformed, so that the message can give
// the range.
#pragma once

#include <cstdint>
#include <string_view>

#include "sim/reactor.h"

enum ParameterIndex : std::uint8_t {
  ParamN, ParamM, ParamK, ParamAh, ParamKh, ParamG, ParamRSz, ParamSeed,
  ParameterCount
};

enum class ParameterKind : std::uint8_t { Integer, Real, Seed };

struct ParameterInfo {
  const char* name;       // as every front end spells it: "N", "Ah", "seed"
  ParameterKind kind;
  double low, high;       // inclusive; K is also at most N*M
  const char* meaning;    // a few English words, for help texts
};

// Largest seed: the generator's seeds are 32-bit words.
inline constexpr double SeedLimit = 4294967295.0;

// The eight, in the dialog's order, the seed last.
extern const ParameterInfo Parameters[ParameterCount];

// The index of the parameter spelled name, or -1.
int ParameterNamed(std::string_view name);

enum class NumberSyntax : std::uint8_t { Typed, CommandLine };

enum class ValueVerdict : std::uint8_t {
  Accepted,
  Malformed,     // not a number of the parameter's kind
  OutOfRange,    // a number of its kind outside its range
  DecimalComma,  // a command line's "0,1": a comma is no decimal point there
  AboveCells,    // K above N*M
};

// Read text as parameter `index` and check its range (not K's N*M); value
// holds the number read whenever one was (also when it is out of range).
ValueVerdict ReadParameter(int index, std::string_view text, NumberSyntax syntax, double& value);

// Whether value is one parameter `index` may take: of its kind (an integer
// for the integer kinds) and in its range.
ValueVerdict CheckParameter(int index, double value);

// A full set, in Parameters' order.
struct ParameterValues {
  double value[ParameterCount] = {};
};

struct Refusal {
  int parameter = -1;  // -1: the set is accepted
  ValueVerdict verdict = ValueVerdict::Accepted;
};

// The first parameter of the set that is refused (K's N*M rule checked
// after every range), or parameter -1.
Refusal CheckParameters(const ParameterValues& values);

// An accepted set as the simulation's records.
void ToSimParams(const ParameterValues& values, SimParams& params, std::uint32_t& seed);
ParameterValues FromSimParams(const SimParams& params, std::uint32_t seed);

// Room for any refusal's message with a shown value of up to 80 bytes.
inline constexpr int RefusalMessageCapacity = 200;

// The message of a refusal: "<prefix><name> must be ..., not <shown>", shown
// being the value as the front end shows it (quoted text, a repr); the N*M
// of AboveCells from values; for DecimalComma, typed (the text as typed)
// with a point for its comma is the number to write. Cut at the capacity;
// its length.
int DescribeRefusal(char (&out)[RefusalMessageCapacity], const Refusal& refusal,
                    const ParameterValues& values, std::string_view prefix,
                    std::string_view shown, std::string_view typed = {});

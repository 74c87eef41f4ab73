#include "experiment/table.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "experiment/version.h"

// std::to_chars's shortest form, made with printf and strtod: the wasm
// build's C++ library has no to_chars for a double. The fewest significant
// digits that read back to value (the nearest such, as to_chars), written as
// fixed or scientific, whichever is shorter (fixed on a tie).
int FormatReal(char* out, double value) {
  if (!std::isfinite(value)) return std::snprintf(out, 32, "%g", value);
  const double magnitude = std::fabs(value);
  // magnitude ~ digits * 10^scale, digits of 1 to 17 decimal digits.
  unsigned long long digits = 0;
  int scale = 0;
  for (int precision = 0; precision <= 16; ++precision) {
    char e[32];
    std::snprintf(e, sizeof e, "%.*e", precision, magnitude);
    const double rounded = std::strtod(e, nullptr);
    char* mark = std::strchr(e, 'e');
    scale = std::atoi(mark + 1) - precision;
    *mark = '\0';
    if (precision > 0) std::memmove(e + 1, e + 2, mark - e - 1);  // the point out
    digits = std::strtoull(e, nullptr, 10);
    if (rounded == magnitude) break;
    // Where a power of two's neighbours are closer below than above, the
    // rounded digits may miss while the next ones on the other side read back.
    const unsigned long long other = rounded < magnitude ? digits + 1 : digits - 1;
    std::snprintf(e, sizeof e, "%llue%d", other, scale);
    if (std::strtod(e, nullptr) == magnitude) {
      digits = other;
      break;
    }
  }
  char d[24];
  int count = std::snprintf(d, sizeof d, "%llu", digits);
  const int exponent = scale + count - 1;  // of the first digit
  while (count > 1 && d[count - 1] == '0') --count;

  char fixed[400];  // up to 323 zeros after the point
  int n = 0;
  if (std::signbit(value)) fixed[n++] = '-';
  const int sign = n;
  if (exponent < 0) {
    fixed[n++] = '0';
    fixed[n++] = '.';
    for (int i = exponent + 1; i < 0; ++i) fixed[n++] = '0';
    for (int i = 0; i < count; ++i) fixed[n++] = d[i];
  } else if (exponent >= count - 1) {  // a whole number: all its digits, as printf's %.0f
    n += std::snprintf(fixed + n, sizeof fixed - n, "%.0f", magnitude);
  } else {
    for (int i = 0; i < count; ++i) {
      if (i == exponent + 1) fixed[n++] = '.';
      fixed[n++] = d[i];
    }
  }
  fixed[n] = '\0';
  char scientific[32];
  int s = sign;
  if (sign) scientific[0] = '-';
  scientific[s++] = d[0];
  if (count > 1) scientific[s++] = '.';
  for (int i = 1; i < count; ++i) scientific[s++] = d[i];
  s += std::snprintf(scientific + s, sizeof scientific - s, "e%c%02d", exponent < 0 ? '-' : '+',
                     exponent < 0 ? -exponent : exponent);
  if (n > s) {
    std::memcpy(out, scientific, s + 1);
    return s;
  }
  std::memcpy(out, fixed, n + 1);
  return n;
}

static_assert(TableNameLimit == 40, "the message below says 40");

const char* TableNameProblem(std::string_view name) {
  if (name.empty() || name.size() > TableNameLimit)
    return "a column's name has 1 to 40 characters";
  const auto letter = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  };
  if (!letter(name[0])) return "a column's name starts with a letter or _";
  for (char c : name)
    if (!letter(c) && !(c >= '0' && c <= '9'))
      return "a column's name has only letters, digits and _";
  for (const char* column : TableColumns)
    if (name == column) return "every table has a column of that name";
  if (NamedMeasureIndex(name) >= 0) return "a measure of that name is asked for by name";
  return nullptr;
}

int FormatTableHeader(char (&line)[TableLineCapacity], const TableLayout& layout) {
  int n = 0;
  for (int i = 0; i < TableColumnCount; ++i) {
    if (i == TableExtraAt)
      for (int k = 0; k < layout.extraCount; ++k)
        n += std::snprintf(line + n, sizeof line - n, ",%s", layout.extra[k]);
    n += std::snprintf(line + n, sizeof line - n, i == 0 ? "%s" : ",%s", TableColumns[i]);
  }
  n += std::snprintf(line + n, sizeof line - n, "\n");
  return n;
}

int FormatTableRow(char (&line)[TableLineCapacity], const TableRow& row,
                   const TableLayout& layout) {
  const SimParams& p = row.params;
  const Measures& m = row.measures;
  char Ah[32], Kh[32], G[32], meanRow[32], frozenAt[16] = "";
  FormatReal(Ah, p.Ah);
  FormatReal(Kh, p.Kh);
  FormatReal(G, p.G);
  FormatReal(meanRow, m.meanRow);
  if (row.frozenAt >= 0) std::snprintf(frozenAt, sizeof frozenAt, "%" PRId32, row.frozenAt);
  int n = std::snprintf(line, sizeof line,
                        "%d,%d,%d,%s,%s,%s,%d,%" PRIu32 ",%" PRId32 ",%" PRId32 ",%" PRId32
                        ",%" PRId32 ",%s",
                        p.N, p.M, p.K, Ah, Kh, G, p.rSz, row.seed, row.T, m.bottom,
                        m.wallContacts, m.interface, meanRow);
  for (int k = 0; k < layout.extraCount; ++k) {
    line[n++] = ',';
    n += FormatReal(line + n, row.extra[k]);
  }
  n += std::snprintf(line + n, sizeof line - n, ",%s,%s,%" PRId32 ",%" PRId32 ",%s\n", frozenAt,
                     RunEndNames[static_cast<int>(row.stopped)], row.steps, row.sampleEvery,
                     LemvarisVersion());
  return n;
}

int FormatRunDescription(char (&text)[RunDescriptionCapacity], const SimParams& p,
                         std::uint32_t seed, std::int32_t T) {
  char Ah[32], Kh[32], G[32];
  FormatReal(Ah, p.Ah);
  FormatReal(Kh, p.Kh);
  FormatReal(G, p.G);
  return std::snprintf(text, sizeof text,
                       "N=%d M=%d K=%d Ah=%s Kh=%s G=%s rSz=%d seed=%" PRIu32 " T=%" PRId32, p.N,
                       p.M, p.K, Ah, Kh, G, p.rSz, seed, T);
}

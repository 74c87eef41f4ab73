#include "experiment/table.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "experiment/version.h"

int FormatReal(char* out, double value) {
  const auto end = std::to_chars(out, out + 31, value).ptr;
  *end = '\0';
  return static_cast<int>(end - out);
}

int FormatTableHeader(char (&line)[TableLineCapacity]) {
  int n = 0;
  for (int i = 0; i < TableColumnCount; ++i)
    n += std::snprintf(line + n, sizeof line - n, i == 0 ? "%s" : ",%s", TableColumns[i]);
  n += std::snprintf(line + n, sizeof line - n, "\n");
  return n;
}

int FormatTableRow(char (&line)[TableLineCapacity], const TableRow& row) {
  const SimParams& p = row.params;
  const Measures& m = row.measures;
  char Ah[32], Kh[32], G[32], meanRow[32], frozenAt[16] = "";
  FormatReal(Ah, p.Ah);
  FormatReal(Kh, p.Kh);
  FormatReal(G, p.G);
  FormatReal(meanRow, m.meanRow);
  if (row.frozenAt >= 0) std::snprintf(frozenAt, sizeof frozenAt, "%" PRId32, row.frozenAt);
  return std::snprintf(line, sizeof line,
                       "%d,%d,%d,%s,%s,%s,%d,%" PRIu32 ",%" PRId32 ",%" PRId32 ",%" PRId32
                       ",%" PRId32 ",%s,%s,%" PRId32 ",%" PRId32 ",%s\n",
                       p.N, p.M, p.K, Ah, Kh, G, p.rSz, row.seed, row.T, m.bottom, m.wallContacts,
                       m.interface, meanRow, frozenAt, row.steps, row.sampleEvery,
                       LemvarisVersion());
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

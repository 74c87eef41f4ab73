// The one table format: its columns, and reals that read back exactly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "experiment/table.h"
#include "experiment/version.h"

namespace {

TEST(Table, RowsFollowTheColumnsAndTheirRealsReadBackExactly) {
  char line[TableLineCapacity];
  FormatTableHeader(line);
  EXPECT_STREQ(line,
               "N,M,K,Ah,Kh,G,rSz,seed,T,bottom,wall_contacts,interface,mean_row,frozen_at,steps,"
               "sample_every,version\n");
  TableRow row;
  row.params = SimParams{100, 90, 3000, 0.1, -1, 0.8163541425704206, 3};
  row.seed = 4294967295u;
  row.T = 2000;
  row.measures = Measures{45, 120, 600, 61.123456789012345};
  row.steps = 20000;
  row.sampleEvery = 2000;
  FormatTableRow(line, row);
  EXPECT_EQ(std::string(line),
            "100,90,3000,0.1,-1,0.8163541425704206,3,4294967295,2000,45,120,600,"
            "61.123456789012344,,20000,2000," +
                std::string(LemvarisVersion()) + "\n");
  row.frozenAt = 2000;
  FormatTableRow(line, row);
  EXPECT_NE(std::strstr(line, ",61.123456789012344,2000,20000,"), nullptr) << line;

  // Any double, however near its neighbours, reads back to itself.
  for (double value : {1.0 / 3, 2.0 / 3 * 1e-300, 5e-324, 1.7976931348623157e308, -0.0, 0.1 + 0.2,
                       30.749999999999996}) {
    char text[32];
    FormatReal(text, value);
    EXPECT_EQ(std::memcmp(&value, &(const double&)std::strtod(text, nullptr), sizeof value), 0)
        << text;
  }
}

}  // namespace

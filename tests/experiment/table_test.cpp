// The one table format: its columns, and reals that read back exactly.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "experiment/run.h"
#include "experiment/table.h"
#include "experiment/version.h"

namespace {

TEST(Table, RowsFollowTheColumnsAndTheirRealsReadBackExactly) {
  char line[TableLineCapacity];
  FormatTableHeader(line);
  EXPECT_STREQ(line,
               "N,M,K,Ah,Kh,G,rSz,seed,T,bottom,wall_contacts,interface,mean_row,frozen_at,"
               "stopped,steps,sample_every,version\n");
  TableRow row;
  row.params = SimParams{100, 90, 3000, 0.1, -1, 0.8163541425704206, 3};
  row.seed = 4294967295u;
  row.T = 2000;
  row.measures = Measures{45, 120, 600, 61.123456789012345};
  row.steps = 20000;
  row.sampleEvery = 2000;
  FormatTableRow(line, row);
  const std::string version = LemvarisVersion();
  EXPECT_EQ(std::string(line),
            "100,90,3000,0.1,-1,0.8163541425704206,3,4294967295,2000,45,120,600,"
            "61.123456789012344,,,20000,2000," + version + "\n");
  row.frozenAt = 2000;
  row.stopped = RunEnd::Frozen;
  FormatTableRow(line, row);
  EXPECT_NE(std::strstr(line, ",61.123456789012344,2000,frozen,20000,"), nullptr) << line;

  // Columns of one's own go after mean_row, in their order, as reals.
  TableLayout layout;
  layout.extra[0] = "largest_cluster";
  layout.extra[1] = "spread";
  layout.extraCount = 2;
  FormatTableHeader(line, layout);
  EXPECT_NE(std::strstr(line, ",mean_row,largest_cluster,spread,frozen_at,"), nullptr) << line;
  row.extra[0] = 812;
  row.extra[1] = 0.1 + 0.2;
  row.stopped = RunEnd::Steady;
  row.frozenAt = -1;
  FormatTableRow(line, row, layout);
  EXPECT_NE(std::strstr(line, ",61.123456789012344,812,0.30000000000000004,,steady,20000,"),
            nullptr) << line;
  // The longest row: every column a real of the most characters.
  layout.extraCount = TableExtraLimit;
  for (double& value : row.extra) value = -1.2345678901234567e-300;
  row.params.Ah = row.params.Kh = row.params.G = row.measures.meanRow = -2.2250738585072014e-308;
  row.measures.bottom = row.measures.wallContacts = row.measures.interface = row.frozenAt = MaxT;
  EXPECT_LT(FormatTableRow(line, row, layout), TableLineCapacity);

  // Any double, however near its neighbours, reads back to itself.
  for (double value : {1.0 / 3, 2.0 / 3 * 1e-300, 5e-324, 1.7976931348623157e308, -0.0, 0.1 + 0.2,
                       30.749999999999996}) {
    char text[32];
    FormatReal(text, value);
    EXPECT_EQ(std::memcmp(&value, &(const double&)std::strtod(text, nullptr), sizeof value), 0)
        << text;
  }
}

TEST(Table, NamesOfOnesOwnColumnsNeedNoQuotingAndTakeNoOtherColumnsName) {
  const struct {
    const char* name;
    bool accepted;
  } cases[] = {{"spread", true}, {"_x2", true}, {"A_b_9", true},
               {"", false}, {"2x", false}, {"a,b", false}, {"a b", false}, {"\"q\"", false},
               {"T", false}, {"stopped", false}, {"clusters", false}, {"sz\xc3\xa9", false}};
  for (const auto& c : cases)
    EXPECT_EQ(TableNameProblem(c.name) == nullptr, c.accepted) << c.name;
  EXPECT_NE(TableNameProblem(std::string(41, 'a')), nullptr);
  EXPECT_EQ(TableNameProblem(std::string(40, 'a')), nullptr);
}

// FormatReal makes its text without std::to_chars (which the wasm build
// lacks) and must give to_chars's text: the shortest digits, as fixed or
// scientific by their length, at every exponent and where doubles' spacing
// changes.
TEST(Table, RealsAreToCharsShortestForm) {
  const auto expectSame = [](double value) {
    char expected[32], text[32];
    *std::to_chars(expected, expected + 31, value).ptr = '\0';
    EXPECT_EQ(FormatReal(text, value), static_cast<int>(std::strlen(expected))) << expected;
    EXPECT_STREQ(text, expected);
    return !testing::Test::HasFailure();
  };
  for (int k = -1074; k <= 1023; ++k) {  // powers of two and their lower neighbours
    const double power = std::ldexp(1.0, k);
    ASSERT_TRUE(expectSame(power) && expectSame(std::nextafter(power, 0.0)));
  }
  for (int k = -323; k <= 308; ++k) {  // powers of ten, fixed or scientific by length
    const std::string text = "1e" + std::to_string(k);
    ASSERT_TRUE(expectSame(std::strtod(text.c_str(), nullptr)));
  }
  for (int i = 0; i < 20000; ++i)  // means of rows, small and negative reals
    ASSERT_TRUE(expectSame(i / 128.0) && expectSame(-i * 1e-9) && expectSame(i * 3e-5 - 1));
  std::uint64_t bits = 0x9E3779B97F4A7C15u;
  for (int i = 0; i < 50000; ++i) {  // any bit pattern
    bits = bits * 6364136223846793005u + 1442695040888963407u;
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) {
      ASSERT_TRUE(expectSame(value));
    }
  }
}

}  // namespace

// Prints the double ParseReal reads for every case of support/real_cases.h:
// its bits, the case's length and its first characters, a line each. Built
// natively and in wasm; web/reals_check.sh checks that both print the same.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "text/number_read.h"
#include "support/real_cases.h"

int main() {
  for (const std::vector<std::string>& cases :
       {BoundaryRealCases(), LongRealCases(), RandomRealCases()})
    for (const std::string& number : cases) {
      double value = 0;
      if (ParseReal(number, value) != NumberRead::Number) {
        std::printf("not read: %s\n", number.c_str());
        return 1;
      }
      std::uint64_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      std::printf("%016" PRIx64 " %zu %.40s\n", bits, number.size(), number.c_str());
    }
  return 0;
}

#include "sim/simd.h"

SimdLevel DetectSimd() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();  // may run before the library's own constructors
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt"))
    return __builtin_cpu_supports("avx512f") ? SimdLevel::Avx512 : SimdLevel::Avx2;
#endif
  return SimdLevel::Portable;
}

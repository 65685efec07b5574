// Seconds from the performance counter, for the Windows benchmarks.
#pragma once

#include <windows.h>

inline double BenchSeconds() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Figures the benchmarks report: a percentile of samples, a duration in ms.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

// The sample at fraction `p` (0 to 1) of the sorted `values`; not empty.
inline double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

template <typename Duration>
double Ms(Duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

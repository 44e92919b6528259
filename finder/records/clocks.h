#pragma once

// The two clocks of the request records: a steady one for durations and the wall clock for
// the time a search started, both in milliseconds.

#include <chrono>

inline double SteadyMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

inline double WallMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

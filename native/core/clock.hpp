// Monotonic nanosecond clock for the phase timings of extraction, layout and
// rendering deadlines.
#pragma once

#include <cstdint>
#include <ctime>

namespace textloom {

inline std::uint64_t now_ns() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000u +
         static_cast<std::uint64_t>(ts.tv_nsec);
}

// Duration between two readings; 0 if the clock went backwards.
inline std::uint64_t elapsed_ns(std::uint64_t start, std::uint64_t end) {
  return end > start ? end - start : 0;
}

}  // namespace textloom

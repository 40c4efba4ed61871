// What a test run has cost this process so far.
#pragma once

#include <time.h>

#include <fstream>
#include <string>

namespace verdelo::test {

// CPU time of the whole process (every thread), in ms.
inline long ProcessCpuMs() {
  timespec used{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return used.tv_sec * 1000L + used.tv_nsec / 1'000'000L;
}

// Resident memory of this process in KiB, from /proc/self/status; 0 when
// it cannot be read.
inline long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

}  // namespace verdelo::test

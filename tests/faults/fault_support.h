// Small helpers shared by the fault tests: what a run cost the process, how
// much memory it holds, and the data log read back strictly.
#pragma once

#include <time.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/mower_frame.h"
#include "tests/e2e/records.h"

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

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::uint8_t> AnswerBytes(std::uint16_t code, std::uint16_t value) {
  const MowerFrame frame = BuildAnswer(code, value);
  return std::vector<std::uint8_t>(frame.begin(), frame.end());
}

// Answers a line's requests as they come: bytes in, whole request frames
// out, one five-byte frame at a time however the bytes were split.
class RequestFrames {
 public:
  template <typename OnRequest>
  void Push(const std::vector<std::uint8_t>& bytes, OnRequest onRequest) {
    for (std::uint8_t b : bytes) {
      if (count_ == 0 && b != kFrameStart) continue;
      frame_[count_++] = b;
      if (count_ < 5) continue;
      count_ = 0;
      onRequest(static_cast<std::uint16_t>(((frame_[1] << 8) | frame_[2]) & 0x7FFF));
    }
  }

 private:
  std::uint8_t frame_[5] = {};
  int count_ = 0;
};

}  // namespace verdelo::test

// Small helpers shared by the fault tests: answers as bytes and the data
// log read back strictly; what a run cost comes from process_usage.h.
#pragma once


#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/mower_frame.h"
#include "tests/e2e/records.h"
#include "tests/support/process_usage.h"

namespace verdelo::test {

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
    for (std::uint8_t b : bytes)
      if (frames_.Push(b)) onRequest(RegisterOf(CodeOf(frames_.frame())));
  }

 private:
  FrameAssembler frames_;
};

}  // namespace verdelo::test

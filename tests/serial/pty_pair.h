// A pseudo-terminal standing in for a serial device: the line under test
// opens the slave by its path, the test plays the device on the master.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace verdelo::test {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  // Writes all bytes to the master (as the device sending them).
  void Send(const std::vector<uint8_t>& bytes);
  void Send(const std::string& text) { Send(std::vector<uint8_t>(text.begin(), text.end())); }
  // Reads from the master until `count` bytes came or timeoutMs passed.
  std::vector<uint8_t> Receive(size_t count, int timeoutMs = 2000);
  // Hangs up the slave, as when a USB adapter is pulled.
  void CloseMaster();

 private:
  int master_ = -1;
  std::string slavePath_;
};

// All byte values, 0 to 255, in order.
std::vector<uint8_t> AllByteValues();

}  // namespace verdelo::test

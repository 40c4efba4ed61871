// A pseudo-terminal standing in for a serial device: the line under test
// opens the slave by its path, the test plays the device on the master.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
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
  // The master shows the line settings whoever holds the slave gave it.
  int MasterFd() const { return master_; }
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

// The roles turned round: the line under test opens a new pseudo-terminal
// master (kMasterDevice) and the test plays the device on its slave. On
// Linux, closing a master hangs its slave up and throws away the input the
// slave had not read, as a serial device's hang-up does; closing the slave
// hangs the master up too, but leaves what the slave wrote readable on it.
// So only this way round can a test see input and a hang-up together.
class PtySlaveDevice {
 public:
  static constexpr const char* kMasterDevice = "/dev/ptmx";

  // Notes the masters this process holds, so Attach can tell the line's.
  PtySlaveDevice();
  ~PtySlaveDevice();
  PtySlaveDevice(const PtySlaveDevice&) = delete;
  PtySlaveDevice& operator=(const PtySlaveDevice&) = delete;

  // Opens the slave of the one master opened since construction; false when
  // there is not exactly one.
  bool Attach();
  void Send(const std::vector<uint8_t>& bytes);
  void Send(const std::string& text) { Send(std::vector<uint8_t>(text.begin(), text.end())); }
  // Closes the slave: the line's master sees a hang-up.
  void HangUp();

 private:
  std::set<int> mastersBefore_;
  int slave_ = -1;
};

// Runs `open` (an Open returning its code) until it does not fail with
// EWOULDBLOCK or EBUSY, up to limitMs. Every master is opened through the
// same device node, which a line locks while it holds a master, so test
// programs running side by side take turns.
int32_t OpenWhenFree(const std::function<int32_t()>& open, int limitMs = 5000);

}  // namespace verdelo::test

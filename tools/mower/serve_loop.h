// Serves the mower on a line until told to stop: one poll() over the line,
// the command input, a wake-up pipe and, for a line that consoles connect
// to, its listening socket, with the day following the monotonic clock. It
// sleeps in poll() between events; it never spins.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/mower/line_transport.h"
#include "tools/mower/trace_log.h"
#include "tools/mower/virtual_mower.h"

namespace verdelo::mower {

class ServeLoop {
 public:
  // `command_fd` (-1 for none) gives command lines; their replies go to
  // `replies`. `trace` may be null. Line time 0 is the moment of construction.
  ServeLoop(VirtualMower& mower, LineTransport& line, int command_fd, std::ostream& replies,
            TraceLog* trace);
  ~ServeLoop();
  ServeLoop(const ServeLoop&) = delete;
  ServeLoop& operator=(const ServeLoop&) = delete;

  // Returns 0 after Stop(), 1 if waiting on the descriptors fails.
  int Run();

  // Safe from another thread and from a signal handler.
  void Stop();
  // The descriptor Stop() writes to, for a signal handler to use directly.
  int stop_fd() const { return wake_write_; }

  LineMillis Now() const;

 private:
  void ReadLine(LineMillis now);
  void ReadCommands(LineMillis now);
  void QueueDue(LineMillis now);
  void Flush();
  void HangUp();
  void CheckLineBack();

  VirtualMower& mower_;
  LineTransport& line_;
  int command_fd_;
  std::ostream& replies_;
  TraceLog* trace_;
  std::chrono::steady_clock::time_point start_;
  int wake_read_ = -1;
  int wake_write_ = -1;

  std::vector<std::uint8_t> pending_;  // bytes waiting for room on the line
  std::string command_text_;           // a command line not yet complete
  bool hung_up_ = false;               // nobody has the other side open
};

}  // namespace verdelo::mower

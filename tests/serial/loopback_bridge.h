// A bridge played by the test on a loopback socket: it listens on a free
// port, takes the line's connection and sends and receives bytes as the
// test says, each wait with a deadline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace verdelo::test {

class LoopbackBridge {
 public:
  // `host`: 127.0.0.1 or ::1. `receiveBuffer` > 0 keeps the connection's
  // receive buffer that small, so a bridge that stops reading fills up soon.
  // `backlog` 0 with one connection waiting makes further connects hang;
  // below 0 the socket is only bound, so connects are refused.
  explicit LoopbackBridge(const char* host = "127.0.0.1", int receiveBuffer = 0, int backlog = 4);
  ~LoopbackBridge();
  LoopbackBridge(const LoopbackBridge&) = delete;
  LoopbackBridge& operator=(const LoopbackBridge&) = delete;

  bool ok() const { return listener_ >= 0; }
  // "tcp://127.0.0.1:PORT", "rfc2217://[::1]:PORT", ...
  std::string Address(const std::string& scheme) const;
  bool Accept(int timeoutMs = 3000);
  void Send(const std::vector<uint8_t>& bytes);
  // Reads until `count` bytes came or timeoutMs passed.
  std::vector<uint8_t> Receive(std::size_t count, int timeoutMs = 3000);
  // Closes the connection: with a FIN, or with a reset.
  void Close(bool reset = false);
  // Connects a socket of the test's own that stays waiting in the backlog.
  bool FillBacklog();
  // A bridge made with backlog below 0 starts listening on its port now.
  bool Listen(int backlog = 4);

 private:
  int listener_ = -1;
  int peer_ = -1;
  int filler_ = -1;
  std::string host_;
  int port_ = 0;
};

}  // namespace verdelo::test

// ser2net, started by a test to bridge a device to a loopback TCP port,
// raw or with Telnet and RFC 2217, and always stopped again.
#pragma once

#include <sys/types.h>

#include <string>

namespace verdelo::test {

class Ser2netBridge {
 public:
  static constexpr const char* kProgram = "/usr/sbin/ser2net";
  static bool Installed();

  // Bridges `device` (9600 8N1, modem lines ignored) to a free port on
  // 127.0.0.1, with Telnet and RFC 2217 when `telnet`. Waits up to 5 s for
  // ser2net to listen; ok() tells whether it does.
  Ser2netBridge(const std::string& device, bool telnet);
  ~Ser2netBridge();
  Ser2netBridge(const Ser2netBridge&) = delete;
  Ser2netBridge& operator=(const Ser2netBridge&) = delete;

  bool ok() const { return listening_; }
  // "tcp://127.0.0.1:PORT" or "rfc2217://127.0.0.1:PORT".
  std::string Address() const;
  // Ends it at once (SIGKILL), as when the bridge dies.
  void Kill();

 private:
  bool Start(const std::string& device);
  bool Listening() const;

  bool telnet_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool listening_ = false;
};

}  // namespace verdelo::test

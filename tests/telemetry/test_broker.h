// A Mosquitto broker of the test's own on free loopback ports: one plain
// listener, one TLS listener whose certificate a test CA made here signed,
// and one that wants a user and password. Stopped when it goes out of
// scope, and killed with the test process should that die first.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace verdelo::test {

class TestBroker {
 public:
  static constexpr const char* kUser = "mower";
  static constexpr const char* kPassword = "s3cret pass";

  // Makes the certificates and files in `dir`, then starts the broker.
  explicit TestBroker(const std::filesystem::path& dir);
  ~TestBroker() { Stop(); }
  TestBroker(const TestBroker&) = delete;
  TestBroker& operator=(const TestBroker&) = delete;

  // Starts it on the same ports; false (with error()) when it does not
  // listen within a few seconds.
  bool Start();
  void Stop();
  bool running() const { return pid_ > 0; }
  const std::string& error() const { return error_; }

  int plainPort() const { return plainPort_; }
  int tlsPort() const { return tlsPort_; }
  int passwordPort() const { return passwordPort_; }
  std::string PlainUrl() const { return "mqtt://127.0.0.1:" + std::to_string(plainPort_); }
  std::string TlsUrl() const { return "mqtts://127.0.0.1:" + std::to_string(tlsPort_); }
  std::string PasswordUrl() const { return "mqtt://127.0.0.1:" + std::to_string(passwordPort_); }
  // The CA that signed the TLS listener's certificate.
  const std::filesystem::path& caFile() const { return caFile_; }

 private:
  std::filesystem::path dir_;
  std::filesystem::path caFile_;
  int plainPort_ = 0, tlsPort_ = 0, passwordPort_ = 0;
  pid_t pid_ = -1;
  std::string error_;
};

// A loopback TCP port nobody listens on at the moment of asking.
int FreeLoopbackPort();

// Runs a shell command line; true when it exits with 0.
bool RunQuietly(const std::string& command);

}  // namespace verdelo::test

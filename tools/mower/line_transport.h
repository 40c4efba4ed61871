// The serial line the mower serves: a pseudo-terminal made for the purpose,
// a real port, or a TCP port standing in for a serial-to-network bridge. The
// serve loop only needs a descriptor to poll and raw reads and writes that
// behave as on a non-blocking descriptor: -1 with EAGAIN when nothing is
// there, any other failure when the line is gone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace verdelo::mower {

class LineTransport {
 public:
  virtual ~LineTransport() = default;
  virtual int fd() const = 0;
  // Like read(2) and write(2) on a non-blocking descriptor.
  virtual long Read(std::uint8_t* buffer, std::size_t size) = 0;
  virtual long Write(const std::uint8_t* data, std::size_t size) = 0;
  // The device the console should open.
  virtual const std::string& device() const = 0;

  // A line whose far end connects to it: the descriptor that turns readable
  // when a console knocks (-1: none), and taking that console in. Accept is
  // true when the knocking console is now the far end.
  virtual int listen_fd() const { return -1; }
  virtual bool Accept() { return false; }
};

// Owns a non-blocking descriptor and closes it.
class FdLine : public LineTransport {
 public:
  FdLine(int fd, std::string device) : fd_(fd), device_(std::move(device)) {}
  ~FdLine() override;
  FdLine(const FdLine&) = delete;
  FdLine& operator=(const FdLine&) = delete;

  int fd() const override { return fd_; }
  long Read(std::uint8_t* buffer, std::size_t size) override;
  long Write(const std::uint8_t* data, std::size_t size) override;
  const std::string& device() const override { return device_; }

 private:
  int fd_;
  std::string device_;
};

// A new pseudo-terminal: the mower keeps the master (raw, non-blocking) and
// the console opens device(). Null with a reason in `error` on failure.
std::unique_ptr<LineTransport> OpenPseudoTerminal(std::string& error);

// A real port through the serial layer (com_line_transport.cpp): raw 8N1 at
// `baud`, no flow control, for exclusive use. Its fd() is not the port but a
// descriptor the port's listener makes readable on every port event; once
// the device is lost it reports a hang-up for good. Its Write waits while
// the port takes the bytes; the layer gives up on a line that stops taking
// them and counts it as lost. Null with a reason in `error` on failure,
// without touching the device for an unsupported rate.
std::unique_ptr<LineTransport> OpenSerialPort(const std::string& device, int baud, std::string& error);

// One of the standard rates the serial layer can set.
bool IsSupportedBaud(int baud);

// A TCP port on `host` (tcp_transport.cpp), served as a raw serial-to-network
// bridge serves its line: the bytes on the connection are the bytes on the
// line, one console at a time. A console that connects while another is
// served is disconnected at once. fd() is the console's connection, -1 while
// there is none; its reads and writes fail with EIO once the console has
// gone, and the port then waits for the next. Writes while no console is
// connected are dropped, as bytes on an unplugged cable are. Port 0 takes a
// free port; device() is "tcp://HOST:PORT" with the port taken. Null with a
// reason in `error` on failure.
std::unique_ptr<LineTransport> OpenTcpServer(const std::string& host, int port, std::string& error);

// "[HOST:]PORT" as --tcp takes it: HOST as base/host_port.h reads it,
// 127.0.0.1 when left out; PORT 0 to 65535.
bool ParseListenAddress(const std::string& text, std::string& host, int& port);

}  // namespace verdelo::mower

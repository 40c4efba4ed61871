// The serial line the mower serves: a pseudo-terminal made for the purpose,
// or a real port. The serve loop only needs a descriptor to poll and raw
// reads and writes on it.
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

// A real port, raw 8N1 at `baud`, no flow control, for exclusive use.
std::unique_ptr<LineTransport> OpenSerialPort(const std::string& device, int baud, std::string& error);

bool IsSupportedBaud(int baud);

}  // namespace verdelo::mower

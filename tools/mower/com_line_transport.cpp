// A real serial port served through the serial layer. The layer's listener
// thread watches the port; the serve loop polls a pipe instead, which the
// listener fills with a byte for every port event. When the device is lost
// the listener's last notification closes the pipe's write end, so the loop
// sees the hang-up it already knows from a pseudo-terminal, for good.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "serial/line_settings.h"
#include "serial/notifying_com_line.h"
#include "tools/mower/line_transport.h"

namespace verdelo::mower {
namespace {

std::string Describe(const std::string& device, int32_t code) {
  if (code == EBUSY || code == EWOULDBLOCK) return device + ": in use by another program";
  if (code > 0 && code < 4096) return device + ": " + std::strerror(code);
  return device + ": serial layer error " + std::to_string(code);
}

class ComLineTransport : public LineTransport, private INotifyTarget {
 public:
  explicit ComLineTransport(std::string device) : device_(std::move(device)) {}
  ~ComLineTransport() override;
  ComLineTransport(const ComLineTransport&) = delete;
  ComLineTransport& operator=(const ComLineTransport&) = delete;

  bool Open(int baud, std::string& error);

  int fd() const override { return wake_read_; }
  long Read(std::uint8_t* buffer, std::size_t size) override;
  long Write(const std::uint8_t* data, std::size_t size) override;
  const std::string& device() const override { return device_; }

 private:
  void PostNotify(uint32_t message, uint32_t param1, intptr_t param2) override;
  void DrainWakeUps();

  std::string device_;
  CNotifyingComLine port_;
  int wake_read_ = -1;
  // Written and closed on the listener thread only; the destructor touches it
  // after Close has joined that thread.
  int wake_write_ = -1;
};

ComLineTransport::~ComLineTransport() {
  port_.Close();
  if (wake_write_ >= 0) ::close(wake_write_);
  if (wake_read_ >= 0) ::close(wake_read_);
}

bool ComLineTransport::Open(int baud, std::string& error) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  wake_read_ = ends[0];
  wake_write_ = ends[1];

  if (const int32_t err = port_.Open(device_, this, 0, 0, 0, 0)) {
    error = Describe(device_, err);
    return false;
  }
  int32_t err = port_.Configure(static_cast<uint32_t>(baud), 8, kParityNone, kStopBitsOne);
  if (err == 0) err = port_.SetFlowControl(kFlowOff);
  if (err != 0) {
    error = Describe(device_, err);
    port_.Close();
    return false;
  }
  return true;
}

// Listener thread. Never blocks: a full pipe already holds a wake-up.
void ComLineTransport::PostNotify(uint32_t, uint32_t param1, intptr_t) {
  if (wake_write_ < 0) return;
  const char byte = 1;
  [[maybe_unused]] auto written = ::write(wake_write_, &byte, 1);
  if ((param1 >> 16) & kLineErrorDeviceLost) {
    ::close(wake_write_);
    wake_write_ = -1;
  }
}

void ComLineTransport::DrainWakeUps() {
  char bytes[64];
  while (::read(wake_read_, bytes, sizeof bytes) > 0) {
  }
}

// The wake-ups are taken before the port is read, so input arriving after
// the read is told again and not lost between the two.
long ComLineTransport::Read(std::uint8_t* buffer, std::size_t size) {
  DrainWakeUps();
  if (port_.IsLineLost()) {
    errno = EIO;
    return -1;
  }
  const auto length = static_cast<uint32_t>(std::min<std::size_t>(size, std::numeric_limits<uint32_t>::max()));
  uint32_t count = 0;
  const int32_t result = port_.Read(buffer, length, &count, nullptr, INFINITE);
  if (count > 0) return count;
  errno = result == 0 ? EAGAIN : EIO;
  return -1;
}

// Waits while the line takes the bytes; a line that stops taking them is
// given up on by the layer and reported lost.
long ComLineTransport::Write(const std::uint8_t* data, std::size_t size) {
  if (port_.IsLineLost()) {
    errno = EIO;
    return -1;
  }
  const auto length = static_cast<uint32_t>(std::min<std::size_t>(size, std::numeric_limits<uint32_t>::max()));
  uint32_t written = 0;
  port_.Write(data, length, &written, nullptr, INFINITE);
  if (written > 0) return written;
  errno = EIO;
  return -1;
}

}  // namespace

bool IsSupportedBaud(int baud) { return baud > 0 && SpeedFromBaud(static_cast<uint32_t>(baud)) != B0; }

std::unique_ptr<LineTransport> OpenSerialPort(const std::string& device, int baud, std::string& error) {
  if (!IsSupportedBaud(baud)) {
    error = "unsupported baud rate " + std::to_string(baud);
    return nullptr;
  }
  auto line = std::make_unique<ComLineTransport>(device);
  if (!line->Open(baud, error)) return nullptr;
  return line;
}

}  // namespace verdelo::mower

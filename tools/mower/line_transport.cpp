#include "tools/mower/line_transport.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace verdelo::mower {
namespace {

struct BaudEntry {
  int baud;
  speed_t code;
};

constexpr BaudEntry kBauds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
    {230400, B230400},
};

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

FdLine::~FdLine() {
  if (fd_ >= 0) ::close(fd_);
}

long FdLine::Read(std::uint8_t* buffer, std::size_t size) { return ::read(fd_, buffer, size); }

long FdLine::Write(const std::uint8_t* data, std::size_t size) { return ::write(fd_, data, size); }

std::unique_ptr<LineTransport> OpenPseudoTerminal(std::string& error) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0) {
    error = Reason("posix_openpt");
    return nullptr;
  }
  char name[128];
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
    error = Reason("pseudo-terminal");
    ::close(master);
    return nullptr;
  }
  // Raw both ways: the bytes of a frame must pass untouched (0x0D, 0x11, ...).
  termios settings{};
  if (::tcgetattr(master, &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(master, TCSANOW, &settings);
  }
  // The slave is not held open here: the console sets exclusive use on it,
  // and a second holder would keep that mark alive after the console closes,
  // so it could not open the line again.
  return std::make_unique<FdLine>(master, name);
}

std::unique_ptr<LineTransport> OpenSerialPort(const std::string& device, int baud, std::string& error) {
  speed_t code = 0;
  for (const auto& entry : kBauds)
    if (entry.baud == baud) code = entry.code;
  if (code == 0) {
    error = "unsupported baud rate " + std::to_string(baud);
    return nullptr;
  }
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = Reason(device);
    return nullptr;
  }
  termios settings{};
  if (::ioctl(fd, TIOCEXCL) != 0 || ::tcgetattr(fd, &settings) != 0) {
    error = Reason(device);
    ::close(fd);
    return nullptr;
  }
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, code);
  ::cfsetospeed(&settings, code);
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
    error = Reason(device);
    ::close(fd);
    return nullptr;
  }
  ::tcflush(fd, TCIOFLUSH);
  return std::make_unique<FdLine>(fd, device);
}

bool IsSupportedBaud(int baud) {
  for (const auto& entry : kBauds)
    if (entry.baud == baud) return true;
  return false;
}

}  // namespace verdelo::mower

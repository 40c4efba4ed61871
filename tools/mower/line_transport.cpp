#include "tools/mower/line_transport.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace verdelo::mower {
namespace {

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

}  // namespace verdelo::mower

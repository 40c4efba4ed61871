#include "tests/serial/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <stdexcept>

namespace verdelo::test {
namespace {

// Writes all bytes to a descriptor that may refuse some for a while.
void WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd pfd{fd, POLLOUT, 0};
      if (poll(&pfd, 1, 2000) <= 0) throw std::runtime_error("pty does not take bytes");
    } else if (!(n < 0 && errno == EINTR)) {
      throw std::runtime_error("write to pty failed");
    }
  }
}

// The pseudo-terminal masters this process holds: number to a descriptor.
std::map<int, int> HeldMasters() {
  std::map<int, int> masters;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    std::error_code linkError;
    if (std::filesystem::read_symlink(entry.path(), linkError).filename() != "ptmx" || linkError)
      continue;
    const int fd = std::stoi(entry.path().filename().string());
    int number = -1;
    if (ioctl(fd, TIOCGPTN, &number) == 0) masters.emplace(number, fd);
  }
  return masters;
}

}  // namespace

PtyPair::PtyPair() {
  int slave = -1;
  char name[128];
  if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
  close(slave);  // the line under test opens its own
  slavePath_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() { CloseMaster(); }

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

void PtyPair::Send(const std::vector<uint8_t>& bytes) { WriteAll(master_, bytes); }

std::vector<uint8_t> PtyPair::Receive(size_t count, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<uint8_t> got;
  uint8_t buffer[4096];
  while (got.size() < count) {
    ssize_t n = read(master_, buffer, sizeof buffer < count - got.size() ? sizeof buffer : count - got.size());
    if (n > 0) {
      got.insert(got.end(), buffer, buffer + n);
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) break;
    pollfd pfd{master_, POLLIN, 0};
    poll(&pfd, 1, static_cast<int>(left));
  }
  return got;
}

std::vector<uint8_t> AllByteValues() {
  std::vector<uint8_t> bytes(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

PtySlaveDevice::PtySlaveDevice() {
  for (const auto& [number, fd] : HeldMasters()) mastersBefore_.insert(number);
}

PtySlaveDevice::~PtySlaveDevice() { HangUp(); }

bool PtySlaveDevice::Attach() {
  int number = -1;
  int master = -1;
  for (const auto& [n, fd] : HeldMasters()) {
    if (mastersBefore_.contains(n)) continue;
    if (number >= 0 && n != number) return false;  // more than one new master
    number = n;
    master = fd;
  }
  int unlock = 0;
  if (master < 0 || ioctl(master, TIOCSPTLCK, &unlock) != 0) return false;
  slave_ = open(("/dev/pts/" + std::to_string(number)).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return false;
  termios raw{};
  tcgetattr(slave_, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave_, TCSANOW, &raw);
  return true;
}

void PtySlaveDevice::Send(const std::vector<uint8_t>& bytes) { WriteAll(slave_, bytes); }

void PtySlaveDevice::HangUp() {
  if (slave_ >= 0) close(slave_);
  slave_ = -1;
}

int32_t OpenWhenFree(const std::function<int32_t()>& open, int limitMs) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    const int32_t result = open();
    if ((result != EWOULDBLOCK && result != EBUSY) || Clock::now() >= end) return result;
    poll(nullptr, 0, 10);  // the other program holds it for milliseconds
  }
}

}  // namespace verdelo::test

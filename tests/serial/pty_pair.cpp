#include "tests/serial/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace verdelo::test {

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

void PtyPair::Send(const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = write(master_, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd pfd{master_, POLLOUT, 0};
      if (poll(&pfd, 1, 2000) <= 0) throw std::runtime_error("pty master does not take bytes");
    } else if (!(n < 0 && errno == EINTR)) {
      throw std::runtime_error("write to pty master failed");
    }
  }
}

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

}  // namespace verdelo::test

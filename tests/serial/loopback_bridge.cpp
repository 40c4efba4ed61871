#include "tests/serial/loopback_bridge.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace verdelo::test {
namespace {

bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd pfd{fd, events, 0};
  return poll(&pfd, 1, timeoutMs) == 1;
}

}  // namespace

LoopbackBridge::LoopbackBridge(const char* host, int receiveBuffer, int backlog) : host_(host) {
  sockaddr_storage address{};
  socklen_t size;
  const bool v6 = host_.find(':') != std::string::npos;
  if (v6) {
    auto& a = reinterpret_cast<sockaddr_in6&>(address);
    a.sin6_family = AF_INET6;
    inet_pton(AF_INET6, host, &a.sin6_addr);
    size = sizeof a;
  } else {
    auto& a = reinterpret_cast<sockaddr_in&>(address);
    a.sin_family = AF_INET;
    inet_pton(AF_INET, host, &a.sin_addr);
    size = sizeof a;
  }
  listener_ = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) return;
  if (receiveBuffer > 0)
    setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      (backlog >= 0 && listen(listener_, backlog) != 0) ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(listener_);
    listener_ = -1;
    return;
  }
  port_ = ntohs(v6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                   : reinterpret_cast<sockaddr_in&>(address).sin_port);
}

LoopbackBridge::~LoopbackBridge() {
  Close();
  if (filler_ >= 0) close(filler_);
  if (listener_ >= 0) close(listener_);
}

std::string LoopbackBridge::Address(const std::string& scheme) const {
  const bool v6 = host_.find(':') != std::string::npos;
  return scheme + "://" + (v6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
}

bool LoopbackBridge::Accept(int timeoutMs) {
  if (!WaitFor(listener_, POLLIN, timeoutMs)) return false;
  peer_ = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  return peer_ >= 0;
}

void LoopbackBridge::Send(const std::vector<uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(peer_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (!(n < 0 && (errno == EAGAIN || errno == EINTR)) || !WaitFor(peer_, POLLOUT, 3000)) {
      throw std::runtime_error("bridge cannot send");
    }
  }
}

std::vector<uint8_t> LoopbackBridge::Receive(std::size_t count, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<uint8_t> got;
  while (got.size() < count) {
    uint8_t buffer[4096];
    const ssize_t n = recv(peer_, buffer, std::min(sizeof buffer, count - got.size()), 0);
    if (n > 0) {
      got.insert(got.end(), buffer, buffer + n);
      continue;
    }
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) break;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0 || !WaitFor(peer_, POLLIN, static_cast<int>(left))) break;
  }
  return got;
}

void LoopbackBridge::Close(bool reset) {
  if (peer_ < 0) return;
  if (reset) {
    const linger abort{1, 0};
    setsockopt(peer_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  }
  close(peer_);
  peer_ = -1;
}

bool LoopbackBridge::Listen(int backlog) { return listener_ >= 0 && listen(listener_, backlog) == 0; }

bool LoopbackBridge::FillBacklog() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  inet_pton(AF_INET, host_.c_str(), &address.sin_addr);
  filler_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return filler_ >= 0 &&
         connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
         WaitFor(listener_, POLLIN, 3000);
}

}  // namespace verdelo::test

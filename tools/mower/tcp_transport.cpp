// The mower on a TCP port, as a raw serial-to-network bridge offers a line:
// the bytes on the connection are the bytes on the line, one console at a
// time.
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/host_port.h"
#include "serial/net_connect.h"
#include "serial/net_endpoint.h"
#include "tools/mower/line_transport.h"

namespace verdelo::mower {
namespace {

class TcpServerLine : public LineTransport {
 public:
  TcpServerLine(int listener, std::string device)
      : listener_(listener), device_(std::move(device)) {}
  ~TcpServerLine() override {
    Drop();
    ::close(listener_);
  }
  TcpServerLine(const TcpServerLine&) = delete;
  TcpServerLine& operator=(const TcpServerLine&) = delete;

  int fd() const override { return console_; }
  int listen_fd() const override { return listener_; }
  const std::string& device() const override { return device_; }

  bool Accept() override {
    const int knocking = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (knocking < 0) return false;
    // One console at a time; one that has closed but whose closing the
    // loop has not read yet makes way.
    if (console_ >= 0 && !ConsoleGone()) {
      ::close(knocking);
      return false;
    }
    Drop();
    SetLinkOptions(knocking);
    console_ = knocking;
    return true;
  }

  long Read(std::uint8_t* buffer, std::size_t size) override {
    if (console_ < 0) return Gone();
    const long got = ::recv(console_, buffer, size, 0);
    if (got > 0 || (got < 0 && (errno == EAGAIN || errno == EINTR))) return got;
    Drop();  // closed or reset by the console
    return Gone();
  }

  long Write(const std::uint8_t* data, std::size_t size) override {
    if (console_ < 0) return static_cast<long>(size);  // nobody listens
    const long wrote = ::send(console_, data, size, MSG_NOSIGNAL);
    if (wrote >= 0 || errno == EAGAIN || errno == EINTR) return wrote;
    Drop();
    return Gone();
  }

 private:
  static long Gone() {
    errno = EIO;
    return -1;
  }
  bool ConsoleGone() const {
    pollfd probe{console_, POLLRDHUP, 0};
    return ::poll(&probe, 1, 0) == 1 && (probe.revents & (POLLRDHUP | POLLHUP | POLLERR));
  }
  void Drop() {
    if (console_ >= 0) ::close(console_);
    console_ = -1;
  }

  int listener_;
  int console_ = -1;
  std::string device_;
};

std::string Reason(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

}  // namespace

bool ParseListenAddress(const std::string& text, std::string& host, int& port) {
  const auto parsed = ParseHostPort(text.find(':') == std::string::npos ? "127.0.0.1:" + text : text, 0, 0);
  if (!parsed) return false;
  host = parsed->host;
  port = parsed->port;
  return true;
}

std::unique_ptr<LineTransport> OpenTcpServer(const std::string& host, int port,
                                             std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int err = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
    error = host + ": " + ::gai_strerror(err);
    return nullptr;
  }
  const int listener = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int err = listener < 0 ? errno : 0;
  const int on = 1;
  if (err == 0) ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (err == 0 &&
      (::bind(listener, found->ai_addr, found->ai_addrlen) != 0 || ::listen(listener, 4) != 0))
    err = errno;
  ::freeaddrinfo(found);
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  if (err == 0 && ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &size) != 0)
    err = errno;
  if (err != 0) {
    if (listener >= 0) ::close(listener);
    error = Reason(HostPortText(host, static_cast<uint16_t>(port)), err);
    return nullptr;
  }
  const in_port_t taken = bound.ss_family == AF_INET6
                              ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                              : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port;
  return std::make_unique<TcpServerLine>(listener, "tcp://" + HostPortText(host, ntohs(taken)));
}

}  // namespace verdelo::mower

#include "serial/net_connect.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "serial/com_types.h"
#include "serial/completion_record.h"
#include "serial/poll_deadline.h"

namespace verdelo {
namespace {

struct AddressList {
  addrinfo* head = nullptr;
  ~AddressList() {
    if (head) freeaddrinfo(head);
  }
};

int32_t LookupError(int gaiError, int savedErrno) {
  switch (gaiError) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return ERROR_HOST_NOT_FOUND;
    case EAI_MEMORY: return ENOMEM;
    case EAI_SYSTEM: return savedErrno != 0 ? savedErrno : ERROR_HOST_LOOKUP_FAILED;
    default: return ERROR_HOST_LOOKUP_FAILED;  // EAI_AGAIN, EAI_FAIL, ...
  }
}

int32_t Lookup(const NetEndpoint& endpoint, int flags, AddressList& list) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | flags;
  const std::string port = std::to_string(endpoint.port);
  errno = 0;
  const int result = getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &list.head);
  return result == 0 ? 0 : LookupError(result, errno);
}

// What the lookup thread and its caller share; whichever lets go last frees
// it, so a caller that gave up leaves nothing behind.
struct PendingLookup {
  std::mutex lock;
  CompletionRecord finished;
  int32_t result = ERROR_HOST_LOOKUP_FAILED;
  AddressList addresses;
};

// A numeric address needs no name server and is taken at once; a name is
// looked up on a thread of its own and waited for up to the deadline.
int32_t LookupWithin(const NetEndpoint& endpoint, const PollDeadline& deadline, int cancelFd,
                     AddressList& list) {
  if (Lookup(endpoint, AI_NUMERICHOST, list) == 0) return 0;
  auto pending = std::make_shared<PendingLookup>();
  if (pending->finished.CreateError() != 0) return Lookup(endpoint, 0, list);
  pollfd done{pending->finished.Fd(), POLLIN, 0};
  try {
    std::thread([pending, endpoint] {
      AddressList found;
      const int32_t result = Lookup(endpoint, 0, found);
      {
        std::lock_guard hold(pending->lock);
        pending->result = result;
        std::swap(pending->addresses.head, found.head);
      }
      pending->finished.Signal();
    }).detach();
  } catch (const std::system_error&) {
    return Lookup(endpoint, 0, list);  // no thread to spare: look up here
  }
  const int32_t waited = PollOrCancel(&done, 1, cancelFd, deadline.RemainingMs());
  if (waited == ERROR_OPERATION_ABORTED) return waited;
  if (waited != 0) return ERROR_HOST_LOOKUP_FAILED;
  std::lock_guard hold(pending->lock);
  std::swap(list.head, pending->addresses.head);
  return pending->result;
}

std::string AddressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "?";
  uint16_t port = 0;
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    port = ntohs(v6->sin6_port);
  } else if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    port = ntohs(v4->sin_port);
  }
  return HostPortText(text, port);
}

// One address: 0 with the socket in `fd`, or why it failed.
int32_t ConnectTo(const addrinfo& address, const PollDeadline& deadline, int cancelFd, int& fd) {
  fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
              address.ai_protocol);
  if (fd < 0) return errno;
  SetLinkOptions(fd);
  int32_t err = 0;
  if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
    err = errno;
    while (err == EINPROGRESS || err == EINTR) {
      pollfd pfd{fd, POLLOUT, 0};
      if (const int32_t waited = PollOrCancel(&pfd, 1, cancelFd, deadline.RemainingMs())) {
        err = waited == ERROR_TIMEOUT ? ETIMEDOUT : waited;
        break;
      }
      socklen_t size = sizeof err;
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0) err = errno;
    }
  }
  if (err != 0) {
    close(fd);
    fd = -1;
  }
  return err;
}

}  // namespace

void SetLinkOptions(int fd) {
  const int on = 1;
  const int idle = kKeepAliveIdleS;
  const int interval = kKeepAliveIntervalS;
  const int probes = kKeepAliveProbes;
  const unsigned unacknowledged = kUnacknowledgedLimitMs;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
  setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged, sizeof unacknowledged);
}

int32_t ConnectEndpoint(const NetEndpoint& endpoint, uint32_t limitMs, int cancelFd, int& fd,
                        std::string& peer) {
  fd = -1;
  const PollDeadline deadline(limitMs);
  AddressList addresses;
  if (int32_t err = LookupWithin(endpoint, deadline, cancelFd, addresses)) return err;
  int32_t err = ERROR_HOST_NOT_FOUND;
  for (const addrinfo* address = addresses.head; address; address = address->ai_next) {
    err = ConnectTo(*address, deadline, cancelFd, fd);
    if (err == 0) {
      peer = AddressText(address->ai_addr);
      return 0;
    }
    if (err == ERROR_OPERATION_ABORTED) return err;
    if (err == ETIMEDOUT || deadline.Expired()) return ETIMEDOUT;
  }
  return err;
}

int32_t PollOrCancel(pollfd* fds, std::size_t count, int cancelFd, int timeoutMs) {
  constexpr std::size_t kMostFds = 4;
  pollfd all[kMostFds + 1];
  count = std::min(count, kMostFds);
  std::copy(fds, fds + count, all);
  all[count] = pollfd{cancelFd, POLLIN, 0};
  const PollDeadline deadline(timeoutMs < 0 ? INFINITE : static_cast<uint32_t>(timeoutMs));
  for (;;) {
    const int ready = poll(all, count + 1, deadline.RemainingMs());
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return errno;
    if (ready == 0) return ERROR_TIMEOUT;
    if (all[count].revents != 0) return ERROR_OPERATION_ABORTED;
    std::copy(all, all + count, fds);
    return 0;
  }
}

}  // namespace verdelo

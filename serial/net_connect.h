// Reaching a bridge: the host name looked up and a TCP connection made, both
// within one time limit, on a socket set up to notice a bridge that vanishes.
#pragma once

#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "serial/net_endpoint.h"

namespace verdelo {

// How long an idle connection goes before keep-alive probes start, how far
// apart they are and how many go unanswered before the connection counts as
// dead; and how long sent bytes may stay unacknowledged. Together they
// notice a bridge that vanished without closing (power cut, Wi-Fi gone)
// within about 25 seconds, idle or not.
inline constexpr int kKeepAliveIdleS = 10;
inline constexpr int kKeepAliveIntervalS = 5;
inline constexpr int kKeepAliveProbes = 3;
inline constexpr unsigned kUnacknowledgedLimitMs = 25000;

// Looks the host up and connects to the first of its addresses that
// accepts, all within limitMs. The lookup runs on a helper thread, so a
// name server that does not answer cannot hold the caller past the limit
// (the helper finishes on its own later). Every wait also watches
// `cancelFd` (-1: none): once it is readable the connect is broken off.
// Returns 0 with a connected, non-blocking socket in `fd`, or:
//   ERROR_HOST_NOT_FOUND      the name does not exist
//   ERROR_HOST_LOOKUP_FAILED  the name could not be looked up (no name
//                             server answer within the limit, or a failure)
//   ECONNREFUSED              nothing listens at that port
//   ETIMEDOUT                 no answer within the limit
//   ERROR_OPERATION_ABORTED   broken off through `cancelFd`
//   another errno             e.g. EHOSTUNREACH, ENETUNREACH
// `peer` receives the address connected to ("127.0.0.1:4001").
int32_t ConnectEndpoint(const NetEndpoint& endpoint, uint32_t limitMs, int cancelFd, int& fd,
                        std::string& peer);

// poll(2) on `fds` and `cancelFd` together until one is ready or
// `timeoutMs` (-1: none) passes, EINTR taken care of: 0 when one of `fds`
// is ready, ERROR_TIMEOUT, ERROR_OPERATION_ABORTED when `cancelFd` is
// readable, or errno.
int32_t PollOrCancel(pollfd* fds, std::size_t count, int cancelFd, int timeoutMs);

// TCP_NODELAY (each write goes out at once, as bytes on a wire do) and the
// keep-alive and unacknowledged-data limits above.
void SetLinkOptions(int fd);

}  // namespace verdelo

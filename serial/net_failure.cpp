#include "serial/net_failure.h"

#include <cerrno>
#include <cstring>

#include "serial/com_types.h"

namespace verdelo {

std::string DescribeNetworkFailure(int32_t code, uint32_t limitMs) {
  switch (code) {
    case ERROR_INVALID_NETNAME:
      return "not an address of the form tcp://HOST:PORT or rfc2217://HOST:PORT";
    case ERROR_HOST_NOT_FOUND: return "unknown host";
    case ERROR_HOST_LOOKUP_FAILED: return "the host name could not be looked up";
    case ECONNREFUSED: return "connection refused";
    case ETIMEDOUT: return "no answer in " + std::to_string((limitMs + 999) / 1000) + " s";
    case EHOSTUNREACH: return "no route to the host";
    case ENETUNREACH: return "the network is unreachable";
    case ECONNRESET: return "the bridge reset the connection";
    case ERROR_GRACEFUL_DISCONNECT: return "the bridge closed the connection";
    case ERROR_NEGOTIATION_BACKLOG: return DescribeLineLoss(code);
    case ERROR_OPERATION_ABORTED: return "the connect was broken off";
    default: return {};
  }
}

std::string DescribeLineLoss(int32_t cause) {
  switch (cause) {
    case 0: return {};
    case kDeviceLostErrno: return "the device hung up or was unplugged";
    case ERROR_TIMEOUT: return "the line stopped taking bytes";
    case ERROR_GRACEFUL_DISCONNECT: return "the bridge closed the connection";
    case ECONNRESET: return "the bridge reset the connection";
    case EPIPE: return "the connection was closed";
    case ETIMEDOUT: return "the bridge stopped answering";
    case EHOSTUNREACH: return "the bridge's host became unreachable";
    case ENETUNREACH: return "the network became unreachable";
    case ERROR_NEGOTIATION_BACKLOG: return "the bridge sends negotiations faster than it reads them";
    default: return std::string("the line failed: ") + std::strerror(cause);
  }
}

}  // namespace verdelo

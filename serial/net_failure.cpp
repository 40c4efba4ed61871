#include "serial/net_failure.h"

#include <cerrno>
#include <cstring>

#include "serial/com_types.h"
#include "serial/net_endpoint.h"

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

bool IsDeviceAbsent(int32_t code) { return code == ENOENT || code == ENODEV || code == ENXIO; }

bool IsBridgeUnreachable(int32_t code) {
  switch (code) {
    case ERROR_HOST_NOT_FOUND:
    case ERROR_HOST_LOOKUP_FAILED:
    case ECONNREFUSED:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ECONNRESET:
    case ERROR_GRACEFUL_DISCONNECT:
      return true;
    default:
      return false;
  }
}

std::string DescribeOpenFailure(int32_t code, const std::string& device,
                                uint32_t networkLimitMs) {
  if (device.empty())
    return "There is no device for this port: plug one in, or name one with a [COMn] line in "
           "config.txt.";
  if (IsNetworkAddress(device)) {
    const std::string why = DescribeNetworkFailure(code, networkLimitMs);
    if (!why.empty()) return "The bridge " + device + " could not be reached: " + why + ".";
  }
  if (IsDeviceAbsent(code)) return "There is no device " + device + ".";
  switch (code) {
    case EACCES:
    case EPERM:
      return "Permission to open " + device +
             " was denied. Add your user to the group that owns it (usually \"dialout\": "
             "sudo usermod -aG dialout $USER) and log in again.";
    case EBUSY:
    case EWOULDBLOCK:
      return device + " is busy: another program is using it.";
    case ERROR_ALREADY_INITIALIZED:
      return "The port is already open.";
    case EINVAL:
      return device + " does not take the line settings.";
    default:
      return "Opening " + device + " failed: " + std::strerror(code) + ".";
  }
}

}  // namespace verdelo

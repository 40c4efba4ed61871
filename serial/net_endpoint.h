// Network addresses that stand for a serial line: a serial-to-network bridge
// (ser2net, a Wi-Fi serial module, socat) reached over TCP.
//
//   tcp://HOST:PORT      the bytes on the socket are the bytes on the line
//   rfc2217://HOST:PORT  Telnet with the COM port control option (RFC 2217)
//
// HOST:PORT as base/host_port.h reads it ("tcp://[::1]:4001"); the port
// must be written. The scheme may be written in any letter case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/host_port.h"

namespace verdelo {

enum class NetProtocol { kRawTcp, kRfc2217 };

struct NetEndpoint {
  NetProtocol protocol = NetProtocol::kRawTcp;
  std::string host;  // without brackets
  uint16_t port = 0;
};

// True for a name that starts with one of the two schemes, whether or not
// the rest is well formed (Open then refuses it with ERROR_INVALID_NETNAME).
bool IsNetworkAddress(std::string_view name);

// 0, or ERROR_INVALID_NETNAME when `address` is not of the forms above.
int32_t ParseNetEndpoint(std::string_view address, NetEndpoint& endpoint);

}  // namespace verdelo

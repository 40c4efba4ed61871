// The HOST:PORT part of a network address, after its scheme.
//
// HOST is a name of letters, digits, '-', '.' and '_' (an IPv4 address is
// one), or an IPv6 address in brackets, optionally with its zone
// ("[::1]", "[fe80::1%eth0]"); PORT is 1 to 65535.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace verdelo {

struct HostPort {
  std::string host;  // without brackets
  std::uint16_t port = 0;
};

// `text` as HOST:PORT. With a `defaultPort` the port may be left out
// ("host", "host:", "[::1]") and is that one; with 0 it must be written.
// A listening socket may take port 0 (any free one): `lowestPort` 0.
std::optional<HostPort> ParseHostPort(std::string_view text, std::uint16_t defaultPort = 0,
                                      std::uint16_t lowestPort = 1);

// "HOST:PORT", with an IPv6 host in brackets.
std::string HostPortText(const std::string& host, std::uint16_t port);

}  // namespace verdelo

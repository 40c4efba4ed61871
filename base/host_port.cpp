#include "base/host_port.h"

#include <algorithm>
#include <cctype>

namespace verdelo {
namespace {

bool IsName(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
  });
}

// Hex digits, ':' and '.' (an embedded IPv4 address) with at least one ':',
// then perhaps '%' and the zone a link-local address needs.
bool IsIpv6Literal(std::string_view text) {
  const std::size_t percent = text.find('%');
  const std::string_view address = text.substr(0, percent);
  return address.find(':') != std::string_view::npos &&
         address.find_first_not_of("0123456789abcdefABCDEF:.") == std::string_view::npos &&
         (percent == std::string_view::npos || IsName(text.substr(percent + 1)));
}

}  // namespace

std::optional<HostPort> ParseHostPort(std::string_view text, std::uint16_t defaultPort, std::uint16_t lowestPort) {
  const bool bracketed = text.starts_with('[');
  const std::size_t hostEnd = bracketed ? text.find(']') : text.find(':');
  if (bracketed && hostEnd == std::string_view::npos) return std::nullopt;
  const std::string_view host = bracketed ? text.substr(1, hostEnd - 1) : text.substr(0, hostEnd);
  std::string_view rest = hostEnd == std::string_view::npos ? "" : text.substr(hostEnd + bracketed);
  if (!(bracketed ? IsIpv6Literal(host) : IsName(host)) || !(rest.empty() || rest.front() == ':'))
    return std::nullopt;
  if (!rest.empty()) rest.remove_prefix(1);
  if (rest.empty()) return defaultPort ? std::optional(HostPort{std::string(host), defaultPort}) : std::nullopt;
  // Digits, leading zeros allowed.
  std::uint32_t port = 0;
  for (const char c : rest) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + static_cast<std::uint32_t>(c - '0');
    if (port > 65535) return std::nullopt;
  }
  if (port < lowestPort) return std::nullopt;
  return HostPort{std::string(host), static_cast<std::uint16_t>(port)};
}

std::string HostPortText(const std::string& host, std::uint16_t port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace verdelo

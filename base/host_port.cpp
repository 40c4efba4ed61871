#include "base/host_port.h"

#include <algorithm>
#include <cctype>

namespace verdelo {
namespace {

bool IsNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool IsName(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsNameCharacter);
}

// Hex digits, ':' and '.' (an embedded IPv4 address) with at least one ':',
// then perhaps '%' and the zone a link-local address needs.
bool IsIpv6Literal(std::string_view text) {
  const std::size_t percent = text.find('%');
  const std::string_view address = text.substr(0, percent);
  if (address.find(':') == std::string_view::npos) return false;
  for (const char c : address)
    if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
  return percent == std::string_view::npos || IsName(text.substr(percent + 1));
}

// Digits, leading zeros allowed, worth 1 to 65535.
std::optional<std::uint16_t> PortNumber(std::string_view digits) {
  std::uint32_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > 65535) return std::nullopt;
  }
  if (value == 0) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<HostPort> ParseHostPort(std::string_view text, std::uint16_t defaultPort) {
  std::string_view host;
  std::string_view rest;  // empty, or ':' and the port
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    rest = text.substr(close + 1);
    if (!IsIpv6Literal(host) || !(rest.empty() || rest.front() == ':')) return std::nullopt;
  } else {
    const std::size_t colon = text.find(':');
    host = text.substr(0, colon);
    if (colon != std::string_view::npos) rest = text.substr(colon);
    if (!IsName(host)) return std::nullopt;
  }
  const std::string_view digits = rest.empty() ? rest : rest.substr(1);
  const std::optional<std::uint16_t> port = digits.empty() && defaultPort != 0 ? defaultPort : PortNumber(digits);
  if (!port) return std::nullopt;
  return HostPort{std::string(host), *port};
}

std::string HostPortText(const std::string& host, std::uint16_t port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace verdelo

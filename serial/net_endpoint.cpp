#include "serial/net_endpoint.h"

#include <cctype>

#include "serial/com_types.h"

namespace verdelo {
namespace {

constexpr std::string_view kRawScheme = "tcp://";
constexpr std::string_view kRfc2217Scheme = "rfc2217://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

bool ParsePort(std::string_view digits, uint16_t& port) {
  if (digits.empty() || digits.size() > 5) return false;
  uint32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool IsHostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

}  // namespace

bool IsNetworkAddress(std::string_view name) {
  return StartsWithNoCase(name, kRawScheme) || StartsWithNoCase(name, kRfc2217Scheme);
}

int32_t ParseNetEndpoint(std::string_view address, NetEndpoint& endpoint) {
  NetEndpoint parsed;
  std::string_view rest;
  if (StartsWithNoCase(address, kRawScheme)) {
    rest = address.substr(kRawScheme.size());
  } else if (StartsWithNoCase(address, kRfc2217Scheme)) {
    parsed.protocol = NetProtocol::kRfc2217;
    rest = address.substr(kRfc2217Scheme.size());
  } else {
    return ERROR_INVALID_NETNAME;
  }

  std::string_view host;
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {
    const auto close = rest.find(']');
    if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
      return ERROR_INVALID_NETNAME;
    host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
    for (char c : host)
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.')
        return ERROR_INVALID_NETNAME;
    if (host.find(':') == std::string_view::npos) return ERROR_INVALID_NETNAME;
  } else {
    const auto colon = rest.find(':');
    if (colon == std::string_view::npos) return ERROR_INVALID_NETNAME;
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    for (char c : host)
      if (!IsHostCharacter(c)) return ERROR_INVALID_NETNAME;
  }
  if (host.empty() || !ParsePort(port, parsed.port)) return ERROR_INVALID_NETNAME;
  parsed.host = std::string(host);
  endpoint = std::move(parsed);
  return 0;
}

std::string HostPortText(const std::string& host, uint16_t port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace verdelo

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

}  // namespace

bool IsNetworkAddress(std::string_view name) {
  return StartsWithNoCase(name, kRawScheme) || StartsWithNoCase(name, kRfc2217Scheme);
}

int32_t ParseNetEndpoint(std::string_view address, NetEndpoint& endpoint) {
  const bool raw = StartsWithNoCase(address, kRawScheme);
  if (!raw && !StartsWithNoCase(address, kRfc2217Scheme)) return ERROR_INVALID_NETNAME;
  const auto hostPort = ParseHostPort(address.substr(raw ? kRawScheme.size() : kRfc2217Scheme.size()));
  if (!hostPort) return ERROR_INVALID_NETNAME;
  endpoint = {raw ? NetProtocol::kRawTcp : NetProtocol::kRfc2217, hostPort->host, hostPort->port};
  return 0;
}

}  // namespace verdelo

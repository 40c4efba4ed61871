// Network addresses as typed into the port list or written in config.txt:
// whatever the text, one that parses names its scheme, a host of the allowed
// characters and a port of 1 to 65535, and its scheme with HostPortText
// parses back to the same endpoint.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "serial/com_types.h"
#include "serial/net_endpoint.h"

using namespace verdelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  NetEndpoint endpoint;
  const std::int32_t result = ParseNetEndpoint(text, endpoint);
  if (!IsNetworkAddress(text)) FUZZ_CHECK(result == ERROR_INVALID_NETNAME);
  if (result != 0) {
    FUZZ_CHECK(result == ERROR_INVALID_NETNAME);
    return 0;
  }
  FUZZ_CHECK(IsNetworkAddress(text));
  FUZZ_CHECK(!endpoint.host.empty());
  FUZZ_CHECK(endpoint.port >= 1);
  FUZZ_CHECK(endpoint.host.find_first_of("[]/@ ") == std::string::npos);

  const std::string scheme = endpoint.protocol == NetProtocol::kRfc2217 ? "rfc2217://" : "tcp://";
  NetEndpoint again;
  FUZZ_CHECK(ParseNetEndpoint(scheme + HostPortText(endpoint.host, endpoint.port), again) == 0);
  FUZZ_CHECK(again.protocol == endpoint.protocol);
  FUZZ_CHECK(again.host == endpoint.host);
  FUZZ_CHECK(again.port == endpoint.port);
  return 0;
}

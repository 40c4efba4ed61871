// What telemetry reads from outside: the command topic's payloads and the
// [MQTT_BROKER] address. The first byte picks which one the rest is.
// A command is taken exactly when it is one of the command words; an
// address read has a host that cannot reach into a path or credentials and
// a port in range; an address shown never carries what stood before its '@'.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "telemetry/commands.h"
#include "telemetry/settings.h"

using namespace verdelo;

namespace {

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

void Command(std::string_view payload) {
  const std::optional<int> button = CommandButton(payload);
  bool known = false;
  for (const CommandName& command : AllCommands()) known = known || Trimmed(payload) == command.payload;
  // "key 07" names the same key as "key 7" and is taken too.
  if (!Trimmed(payload).starts_with("key ")) FUZZ_CHECK(button.has_value() == known);
  if (known) FUZZ_CHECK(button.has_value());
  const std::string shown = ShownPayload(payload);
  FUZZ_CHECK(shown.size() <= 64 + 3);
  FUZZ_CHECK(shown == Trimmed(shown));
}

void Address(const std::string& text) {
  const std::string shown = RedactedBrokerAddress(text);
  FUZZ_CHECK(RedactedBrokerAddress(shown) == shown);
  const std::optional<BrokerAddress> address = ParseBrokerAddress(text);
  if (!address) return;
  FUZZ_CHECK(shown == text);  // nothing to hide in an address that reads
  FUZZ_CHECK(!address->host.empty() && address->host.find_first_of("/@ ") == std::string::npos);
  FUZZ_CHECK(address->port >= 1 && address->port <= 65535);
  FUZZ_CHECK(address->tls == text.starts_with("mqtts://"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0)
    Command(rest);
  else
    Address(rest);
  return 0;
}

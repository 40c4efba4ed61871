// The telemetry keys of config.txt: where the broker is, the mower's name in
// the topics, how to log in, how to trust the broker's certificate and
// whether commands are taken. Without [MQTT_BROKER] there is no telemetry.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/config_file.h"
#include "console/config_keys.h"

namespace verdelo {

std::span<const ConfigKeyInfo> TelemetryConfigKeys();

inline constexpr const char* kDefaultMqttName = "verdelo";

struct BrokerAddress {
  bool tls = false;
  std::string host;
  int port = 0;
};

// "mqtt://HOST:PORT" or "mqtts://HOST:PORT"; the port may be left out (1883,
// 8883). An IPv6 address goes in brackets. Nothing when the text is not one.
std::optional<BrokerAddress> ParseBrokerAddress(const std::string& text);
// What is said of an [MQTT_BROKER] value ParseBrokerAddress cannot read.
std::string BrokerAddressError(const std::string& text);
// A broker address as it may be shown (tooltip, stderr, events, the config
// check): a user and password written into it ("mqtt://me:pw@hub") become
// "***" ("mqtt://***@hub"); anything else stays as written.
std::string RedactedBrokerAddress(std::string_view text);

struct TelemetrySettings {
  BrokerAddress broker;
  std::string brokerText;  // as written less any credentials, for messages
  std::string name = kDefaultMqttName;
  std::string user;
  std::filesystem::path passwordFile;
  std::filesystem::path caFile;
  bool insecure = false;
  bool commands = false;
  // What is wrong with the keys but does not stop the telemetry, for the
  // port window's status tooltip.
  std::vector<std::string> warnings;
};

// The settings, or nothing when [MQTT_BROKER] is absent. A broker address
// that cannot be read still gives settings (with an empty host), so the
// reason can be shown; `error` says it.
std::optional<TelemetrySettings> ReadTelemetrySettings(const std::vector<ConfigEntry>& entries,
                                                       std::string& error);

// A name for topics: letters, digits, '-' and '_' only, so it cannot reach
// into other topics ('/', '+', '#') or be empty.
bool IsTopicName(const std::string& name);

// The password: the first line of the file, without its line end. Adds a
// warning when the file can be read by other users; nothing (with `error`)
// when it cannot be read.
std::optional<std::string> ReadPasswordFile(const std::filesystem::path& file,
                                            std::vector<std::string>& warnings, std::string& error);

// The password of [MQTT_PASSWORD_FILE], when it names a file; what is
// wrong with the file joins `warnings`.
std::optional<std::string> TelemetryPassword(const TelemetrySettings& settings,
                                             std::vector<std::string>& warnings);

}  // namespace verdelo

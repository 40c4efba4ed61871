#include "telemetry/settings.h"

#include <sys/stat.h>

#include <cctype>
#include <fstream>

#include "base/host_port.h"
#include "base/text_trim.h"
#include "console/text.h"

namespace verdelo {

namespace {

constexpr ConfigKeyInfo kTelemetryKeys[] = {
    {"MQTT_BROKER", ConfigKind::Text, "the MQTT broker, mqtt://HOST:PORT or mqtts://HOST:PORT (TLS); turns telemetry on",
     "absent"},
    {"MQTT_NAME", ConfigKind::Text, "the mower's name in the topics verdelo/NAME/...", kDefaultMqttName},
    {"MQTT_USER", ConfigKind::Text, "the user name the broker knows the console by", "absent"},
    {"MQTT_PASSWORD_FILE", ConfigKind::Text, "the file whose first line is the broker password", "absent"},
    {"MQTT_CA_FILE", ConfigKind::Text, "the certificate authority that signed the broker's certificate",
     "the system's"},
    {"MQTT_INSECURE", ConfigKind::Presence, "does not verify the broker's certificate", "absent"},
    {"MQTT_COMMANDS", ConfigKind::Switch, "takes commands from verdelo/NAME/command", "off"},
};

}  // namespace

std::span<const ConfigKeyInfo> TelemetryConfigKeys() { return kTelemetryKeys; }

std::string BrokerAddressError(const std::string& text) {
  return "[MQTT_BROKER]" + RedactedBrokerAddress(text) + " is not mqtt://HOST:PORT or mqtts://HOST:PORT";
}

std::string RedactedBrokerAddress(std::string_view text) {
  const std::size_t scheme = text.find("://");
  const std::size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
  // The credentials end at the last '@' before the path: a password may
  // hold '@' itself.
  const std::size_t at = text.substr(0, text.find('/', start)).rfind('@');
  if (at == std::string_view::npos || at < start) return std::string(text);
  return std::string(text.substr(0, start)) + "***" + std::string(text.substr(at));
}

std::optional<BrokerAddress> ParseBrokerAddress(const std::string& text) {
  BrokerAddress address;
  std::string_view rest = text;
  if (rest.starts_with("mqtt://")) {
    rest.remove_prefix(7);
  } else if (rest.starts_with("mqtts://")) {
    rest.remove_prefix(8);
    address.tls = true;
  } else {
    return std::nullopt;
  }
  if (rest.ends_with('/')) rest.remove_suffix(1);
  const auto hostPort = ParseHostPort(rest, address.tls ? 8883 : 1883);
  if (!hostPort) return std::nullopt;
  address.host = hostPort->host;
  address.port = hostPort->port;
  return address;
}

bool IsTopicName(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')) return false;
  return true;
}

std::optional<TelemetrySettings> ReadTelemetrySettings(const std::vector<ConfigEntry>& entries,
                                                       std::string& error) {
  error.clear();
  TelemetrySettings settings;
  bool present = false;
  // The last line of a key wins, as for the other text settings.
  for (const ConfigEntry& entry : entries) {
    const std::string value(Trimmed(entry.value, " \t"));
    if (entry.key == "MQTT_BROKER") {
      present = true;
      settings.brokerText = value;
    } else if (entry.key == "MQTT_NAME") {
      settings.name = value;
    } else if (entry.key == "MQTT_USER") {
      settings.user = value;
    } else if (entry.key == "MQTT_PASSWORD_FILE") {
      settings.passwordFile = value;
    } else if (entry.key == "MQTT_CA_FILE") {
      settings.caFile = value;
    } else if (entry.key == "MQTT_INSECURE") {
      settings.insecure = true;
    } else if (entry.key == "MQTT_COMMANDS") {
      settings.commands = ToInt(entry.value) != 0;
    }
  }
  if (!present) return std::nullopt;
  if (const auto address = ParseBrokerAddress(settings.brokerText)) {
    settings.broker = *address;
  } else {
    error = BrokerAddressError(settings.brokerText);
  }
  settings.brokerText = RedactedBrokerAddress(settings.brokerText);
  if (!IsTopicName(settings.name)) {
    settings.warnings.push_back("[MQTT_NAME]" + settings.name +
                                " is not a topic name (letters, digits, - and _); \"" + kDefaultMqttName +
                                "\" is used");
    settings.name = kDefaultMqttName;
  }
  if (settings.insecure && settings.broker.tls)
    settings.warnings.push_back("the broker's certificate is not verified ([MQTT_INSECURE])");
  return settings;
}

std::optional<std::string> ReadPasswordFile(const std::filesystem::path& file,
                                            std::vector<std::string>& warnings, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  std::string password;
  if (!in || !std::getline(in, password)) {
    error = "cannot read the password file " + file.string();
    return std::nullopt;
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  struct stat info {};
  if (::stat(file.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0)
    warnings.push_back("the password file " + file.string() + " can be read by other users");
  return password;
}

std::optional<std::string> TelemetryPassword(const TelemetrySettings& settings,
                                             std::vector<std::string>& warnings) {
  if (settings.passwordFile.empty()) return std::nullopt;
  std::string error;
  std::optional<std::string> password = ReadPasswordFile(settings.passwordFile, warnings, error);
  if (!password) warnings.push_back(error);
  return password;
}

}  // namespace verdelo

#include "telemetry/settings.h"

#include <sys/stat.h>

#include <cctype>
#include <charconv>
#include <fstream>

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

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

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
  std::string_view port;
  if (rest.starts_with('[')) {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    address.host = std::string(rest.substr(1, close - 1));
    rest.remove_prefix(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
    }
  } else {
    const std::size_t colon = rest.find(':');
    address.host = std::string(rest.substr(0, colon));
    if (colon != std::string_view::npos) port = rest.substr(colon + 1);
  }
  if (address.host.empty() || address.host.find_first_of("/@ ") != std::string::npos) return std::nullopt;
  address.port = address.tls ? 8883 : 1883;
  if (!port.empty()) {
    int number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (error != std::errc() || end != port.data() + port.size() || number < 1 || number > 65535)
      return std::nullopt;
    address.port = number;
  }
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
    const std::string value = Trimmed(entry.value);
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

}  // namespace verdelo
